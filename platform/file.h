// A thin owner of an open file descriptor, the error texts shown after
// "Reason:\n", and the file operations several folders share. Each caller
// opens its files itself, with the flags its use needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace korvanel {

// The system's description of an error number as a short sentence with a
// line end, e.g. "No space left on device.\n".
std::string ErrorReason(int error);
// The same as a phrase for a diagnostic line: "No space left on device".
std::string ErrorText(int error);

// True for a folder, or a link to one.
bool IsExistingDirectory(const std::string& path);
// 0 when `path` names something (a dangling link too), else why not.
int PathError(const std::string& path);
// True when both paths name one existing file (links followed).
bool IsSameFile(const std::string& a, const std::string& b);
// The same, and also when both would name one file once it is created
// ("new.txt" and "./new.txt").
bool IsSamePlace(const std::string& a, const std::string& b);

// Makes the folder `path` unless it is one already (a link to one is
// not taken). Returns 0 or the error number.
int MakeFolder(const std::string& path);

// What tells whether a file changed: its size and modification time.
struct FileStamp {
  std::uint64_t size = 0;
  std::int64_t modifiedSeconds = 0;  // since 1970, UTC
  std::uint32_t modifiedNanoseconds = 0;
};
// The stamp of the regular file at `path` (links followed). Returns 0 or the
// error number (EINVAL for something else than a regular file).
int ReadFileStamp(const std::string& path, FileStamp& stamp);

class File {
 public:
  File() = default;
  explicit File(int fd) : fd_(fd) {}
  File(File&& other) noexcept : fd_(other.Release()) {}
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File() { Close(); }

  bool IsOpen() const { return fd_ >= 0; }
  int Descriptor() const { return fd_; }
  int Release();
  // Returns 0 or the error number of a failed close.
  int Close();

  // Each returns 0 on success or an error number.
  int WriteAll(std::span<const std::byte> bytes);
  int WriteAll(std::string_view text);
  // At `offset`, leaving the file position alone.
  int WriteAllAt(std::uint64_t offset, std::span<const std::byte> bytes);
  int ReadAt(std::uint64_t offset, std::span<std::byte> into, std::size_t& got) const;
  int Truncate();
  int Resize(std::uint64_t size);
  int Rewind();
  int Size(std::uint64_t& size) const;
  // How large this process may make the file: the file system's limit or
  // the process's (`ulimit -f`), whichever is lower.
  std::uint64_t LargestSize() const;

 private:
  int fd_ = -1;
};

// A file that gets its name only once it is complete, so that a process
// killed before then (SIGKILL, a power cut) leaves nothing behind.
// Creates an unnamed regular file in `directory`, readable and writable,
// with `mode` as for a new file. Returns 0 or the error number.
int CreateUnnamedFile(const std::string& directory, unsigned mode, File& file);
// Gives the unnamed `file` the name `path`, never replacing anything that
// has it (EEXIST). Returns 0 or the error number.
int NameUnnamedFile(const File& file, const std::string& path);
// True for an error of those two that means the file system has no
// unnamed files or no hard links (FAT, exFAT): the file is then to be
// created under its name.
bool IsUnsupported(int error);

}  // namespace korvanel
