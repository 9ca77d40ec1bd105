// The run keeps its texts as byte strings in the locale's encoding (paths
// are bytes on disk); Qt wants QString.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace korvanel {

inline QString ToQString(std::string_view text) {
  return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string ToBytes(const QString& text) { return text.toLocal8Bit().toStdString(); }

}  // namespace korvanel
