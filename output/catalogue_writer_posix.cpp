#include <cerrno>
#include <fcntl.h>

#include "output/catalogue_writer.h"

namespace korvanel {

int CatalogueWriter::Open(const std::string& path) {
  Close();
  // Standard output is duplicated, so that closing the catalogue leaves it
  // open for the rest of the process.
  const int fd = path == kStandardOutput ? ::fcntl(1, F_DUPFD_CLOEXEC, 3)
                 : path.empty()          ? (errno = ENOENT, -1)
                                         : ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return errno;
  file_ = File(fd);
  return 0;
}

int CatalogueWriter::Write(const MapRecord& record) { return file_.WriteAll(CatalogueLine(record)); }

int CatalogueWriter::Close() { return file_.IsOpen() ? file_.Close() : 0; }

}  // namespace korvanel
