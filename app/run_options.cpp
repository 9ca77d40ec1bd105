#include "app/run_options.h"

#include "app/messages.h"
#include "output/catalogue_writer.h"

namespace korvanel {

// An update reads only the maps that changed, so it can write nothing but
// the catalogue, which must be a file to be read back.
std::string_view UpdateProblem(const RunOptions& options) {
  if (!options.updateCatalogue) return {};
  if (options.cataloguePath.empty() || options.cataloguePath == CatalogueWriter::kStandardOutput)
    return kUpdateWithoutCatalogue;
  if (options.writeInfoFile || options.writeMinimaps || !options.picturesDirectory.empty())
    return kUpdateWithOtherOutputs;
  return {};
}

}  // namespace korvanel
