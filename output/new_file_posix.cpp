#include "output/new_file.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "platform/cleanup.h"
#include "platform/file.h"

namespace korvanel {
namespace {

// Where the file system has no unnamed files: created under its name,
// exclusively, so a file made by someone else since the existence check is
// still not overwritten, and removed should a signal stop the run.
int CreateNamed(const std::string& path, File& file) {
  int error = 0;
  HoldingSignals([&] {
    file = File(::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    error = file.IsOpen() ? 0 : errno;
    if (file.IsOpen()) RemovePartialOnSignal(path);
  });
  return error;
}

// Gives the finished unnamed picture its name; where the file system has
// no hard links, copies it into a file created under the name instead.
// Returns 0 or the error number; on error nothing is left under the name
// but what was there.
int NamePicture(File& picture, const std::string& path) {
  int error = NameUnnamedFile(picture, path);
  if (!IsUnsupported(error)) return error;
  File named;
  error = CreateNamed(path, named);
  if (error != 0) return error;
  std::uint64_t size = 0;
  std::size_t got = 0;
  std::vector<std::byte> bytes;
  error = picture.Size(size);
  if (error == 0) {
    bytes.resize(size);
    error = picture.ReadAt(0, bytes, got);
  }
  if (error == 0) error = named.WriteAll(std::span(bytes).first(got));
  if (error == 0) {
    picture = std::move(named);
    return 0;
  }
  named.Close();
  ::unlink(path.c_str());
  ForgetPartial();
  return error;
}

// Opens the file to be `path`: unnamed where the file system allows,
// else created under the name, then `named` is set. kWritten when open.
NewFile OpenNewFile(const std::string& path, File& output, bool& named, int& error) {
  error = 0;
  named = false;
  // A link in the way counts as taken too: it is never followed.
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0) return NewFile::kExists;
  error = CreateUnnamedFile(path.substr(0, path.rfind('/') + 1), 0666, output);
  if (IsUnsupported(error)) {
    error = CreateNamed(path, output);
    named = error == 0;
  }
  if (error == EEXIST) return NewFile::kExists;
  return error == 0 ? NewFile::kWritten : NewFile::kNotCreated;
}

}  // namespace

NewFile WriteNewFile(std::span<const std::byte> bytes, const std::string& path, int& error) {
  File output;
  // Whether `path` is ours, to be removed should the writing fail.
  bool named = false;
  if (const NewFile opened = OpenNewFile(path, output, named, error); opened != NewFile::kWritten) return opened;
  error = output.WriteAll(bytes);
  if (error == 0 && !named) {
    error = NamePicture(output, path);
    // Made by someone else since the check above: kept, as then.
    if (error == EEXIST) return NewFile::kExists;
    named = error == 0;
  }
  if (error == 0) error = output.Close();
  ForgetPartial();
  if (error == 0) return NewFile::kWritten;
  output.Close();
  if (named) ::unlink(path.c_str());
  return NewFile::kNotWritten;
}

bool HoldsExactly(const std::string& path, std::span<const std::byte> bytes) {
  File file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
  std::uint64_t size = 0;
  if (!file.IsOpen() || file.Size(size) != 0 || size != bytes.size()) return false;
  std::vector<std::byte> held(bytes.size());
  std::size_t got = 0;
  return file.ReadAt(0, held, got) == 0 && got == held.size() && std::equal(held.begin(), held.end(), bytes.begin());
}

NewFile ProbeNewFile(const std::string& path, int& error) {
  File output;
  bool named = false;
  const NewFile opened = OpenNewFile(path, output, named, error);
  output.Close();
  if (named) ::unlink(path.c_str());
  ForgetPartial();
  return opened;
}

}  // namespace korvanel
