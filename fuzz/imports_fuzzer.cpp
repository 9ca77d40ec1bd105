// war3map.imp: whatever the input, the list never holds more entries than
// its count, succeeds only with every entry read, and names a file of the
// archive by its stored path, the imported folder put in front or not.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "parsers/imports.h"

using namespace korvanel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ImportList list;
  const bool ok = ParseImportList(fuzz::AsBytes(data, size), list);
  if (size < 8 && ok) fuzz::Fail("short file accepted");
  if (!list.files.empty() && (!list.count || static_cast<std::int64_t>(list.files.size()) > *list.count))
    fuzz::Fail("more entries than the count");
  if (ok && *list.count > 0 && static_cast<std::int64_t>(list.files.size()) != *list.count)
    fuzz::Fail("success with entries missing");
  std::size_t bytes = 8;
  for (const ImportedFile& file : list.files) {
    const bool same = file.archiveName == file.stored;
    const bool completed = file.archiveName == std::string(kImportedFolder) + file.stored;
    if (!same && !completed) fuzz::Fail("archive name not made from the stored path", file.archiveName);
    bytes += file.stored.size() + 1;  // and its NUL
  }
  if (!list.files.empty() && bytes > size) fuzz::Fail("entries beyond the data");
  return 0;
}
