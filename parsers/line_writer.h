// Where parsers send the lines of a map's record. The run's info file
// implements it; tests collect the lines in memory.
#pragma once

#include <string_view>

namespace korvanel {

class LineWriter {
 public:
  virtual ~LineWriter() = default;
  // One complete line, its own line end included.
  virtual void WriteInfoText(std::string_view text) = 0;
};

}  // namespace korvanel
