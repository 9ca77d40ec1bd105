#include "app/reporter.h"

#include <string>

#include "platform/file.h"

namespace korvanel {

void Reporter::Diagnose(std::string_view line) {
  File err(2);
  err.WriteAll("korvanel: " + std::string(line) + "\n");
  err.Release();
}

}  // namespace korvanel
