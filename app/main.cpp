#include <string>
#include <vector>

#include "app/extractor_app.h"

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  korvanel::ExtractorApp app;
  return app.Run(arguments);
}
