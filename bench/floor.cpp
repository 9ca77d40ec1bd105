// The floor: the same library work korvanel does per map and nothing else,
// so a run of korvanel can be measured against it.
//
//   korvanel-floor [--work-file] [--identify] [--slice K/N] <map folder> <line file> <picture folder>
//
// With --slice only the K-th of N equal slices of the sorted maps is done
// (K from 0): N such processes started together, one per core, are the
// parallel floor, the most the libraries allow on this machine.
// Every *.w3m of the folder (sorted by name) is opened read-only, its eight
// embedded files are read whole into memory, the preview is turned into a
// JPEG and written, and one line per map goes to the line file. No work
// file, no parsing, no messages; decoder, encoder and buffers are reused.
// With --work-file each embedded file also makes a round trip through a
// temporary file (truncate, write, rewind, size, read back), and the CPU
// time of those round trips is printed on standard error. That bounds the
// work file's share of a run from above: korvanel writes each file once at
// a free place (pwrite), reads it back there (pread), and looks at the
// file's size once per map, cutting it only when it has grown far beyond
// what the last maps' files need (archive/work_file.h, archive/map_reader.h).
// With --identify each map file is also read whole, in the chunks
// korvanel's workers read it in, and its SHA-1 (nettle) and CRC-32 (libdeflate)
// computed: what the workers add for the catalogue, as they read the whole
// file anyway for the header check. The digests go into the line file, the
// CPU time of the hashing alone onto standard error: the reads are not
// counted, since korvanel makes them with or without the catalogue.
#include <StormLib.h>
#include <libdeflate.h>
#include <nettle/sha1.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// In korvanel's order: the picture first.
constexpr const char* kEmbedded[] = {"war3mapMap.blp", "war3map.wts",      "war3map.w3i", "war3map.w3e",
                                     "war3map.doo",    "war3mapUnits.doo", "war3map.j",   "war3map.mmp"};
constexpr std::size_t kBlpHeader = 160;

using Bytes = std::vector<unsigned char>;

// The process's CPU time so far, in seconds.
double CpuNow() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9;
}

// Grows only; the bytes are never zeroed, as the library overwrites them.
struct Buffer {
  std::unique_ptr<unsigned char[]> data;
  std::size_t capacity = 0;
  std::size_t size = 0;

  unsigned char* Reserve(std::size_t length) {
    if (length > capacity) {
      data.reset(new unsigned char[length]);
      capacity = length;
    }
    size = length;
    return data.get();
  }
};

bool ReadEmbedded(HANDLE archive, const char* name, Buffer& into) {
  into.size = 0;
  HANDLE file = nullptr;
  if (!SFileOpenFileEx(archive, name, SFILE_OPEN_FROM_MPQ, &file)) return false;
  DWORD high = 0;
  const DWORD size = SFileGetFileSize(file, &high);
  if (size == SFILE_INVALID_SIZE || high != 0) {
    SFileCloseFile(file);
    return false;
  }
  DWORD got = 0;
  if (size > 0) SFileReadFile(file, into.Reserve(size), size, &got, nullptr);
  into.size = std::min<DWORD>(got, size);
  SFileCloseFile(file);
  return true;
}

// A write and a read back per embedded file, with more system calls than
// korvanel makes (see the top of this file); the bytes read back replace
// the buffer's.
class WorkFile {
 public:
  WorkFile() {
    const char* dir = std::getenv("TMPDIR");
    path_ = std::string(dir && *dir ? dir : "/tmp") + "/~KVLfloor" + std::to_string(getpid());
    fd_ = open(path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  }
  ~WorkFile() {
    if (fd_ < 0) return;
    close(fd_);
    unlink(path_.c_str());
  }
  bool IsOpen() const { return fd_ >= 0; }

  // The CPU time spent in round trips so far, in seconds.
  double Seconds() const { return seconds_; }

  bool RoundTrip(Buffer& data) {
    const double start = CpuNow();
    const bool ok = Copy(data);
    seconds_ += CpuNow() - start;
    bytes_ += data.size;
    return ok;
  }
  std::size_t ByteCount() const { return bytes_; }

 private:
  bool Copy(Buffer& data) {
    struct stat st {};
    if (ftruncate(fd_, 0) != 0 || lseek(fd_, 0, SEEK_SET) != 0 ||
        write(fd_, data.data.get(), data.size) != static_cast<ssize_t>(data.size) ||
        lseek(fd_, 0, SEEK_SET) != 0 || fstat(fd_, &st) != 0)
      return false;
    const auto size = static_cast<std::size_t>(st.st_size);
    return pread(fd_, back_.Reserve(size), size, 0) == static_cast<ssize_t>(size) &&
           (std::swap(data, back_), true);
  }

  std::string path_;
  int fd_ = -1;
  Buffer back_;
  double seconds_ = 0;
  std::size_t bytes_ = 0;
};

std::uint32_t Le32(const unsigned char* b) {
  return b[0] | b[1] << 8 | b[2] << 16 | std::uint32_t{b[3]} << 24;
}

struct Converter {
  tjhandle decoder = tjInitDecompress();
  tjhandle encoder = tjInitCompress();
  Bytes stream, pixels, colours;
  unsigned char* jpeg = nullptr;
  unsigned long jpegSize = 0;

  ~Converter() {
    tjFree(jpeg);
    tjDestroy(decoder);
    tjDestroy(encoder);
  }

  // BLP1, JPEG kind: the shared header at 160 followed by mipmap 0.
  bool Convert(const Buffer& blp) {
    const unsigned char* b = blp.data.get();
    if (blp.size < kBlpHeader || std::memcmp(b, "BLP1", 4) != 0) return false;
    const std::size_t shared = Le32(b + 156), offset = Le32(b + 28), length = Le32(b + 92);
    if (shared > blp.size - kBlpHeader || offset > blp.size || length > blp.size - offset)
      return false;
    stream.assign(b + kBlpHeader, b + kBlpHeader + shared);
    stream.insert(stream.end(), b + offset, b + offset + length);

    int width = 0, height = 0, subsampling = 0, colourSpace = 0;
    if (tjDecompressHeader3(decoder, stream.data(), stream.size(), &width, &height, &subsampling,
                            &colourSpace) != 0)
      return false;
    const std::size_t count = std::size_t(width) * height;
    pixels.resize(count * 4);
    if (tjDecompress2(decoder, stream.data(), stream.size(), pixels.data(), width, width * 4,
                      height, TJPF_CMYK, 0) != 0)
      return false;
    colours.resize(count * 3);
    const unsigned char* in = pixels.data();
    unsigned char* out = colours.data();
    for (std::size_t i = 0; i < count; ++i, in += 4, out += 3) {
      out[0] = in[0];
      out[1] = in[1];
      out[2] = in[2];
    }
    return tjCompress2(encoder, colours.data(), width, width * 3, height, TJPF_BGR, &jpeg,
                       &jpegSize, TJSAMP_444, 85, 0) == 0;
  }
};

// The map file's SHA-1 and CRC-32 as one text, or "unreadable"; the CPU
// time of the hashing is added to `hashing`.
std::string Identify(const fs::path& map, Buffer& chunk, double& hashing) {
  constexpr std::size_t kChunk = 1 << 20;
  const int fd = open(map.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return "unreadable";
  sha1_ctx sha1;
  sha1_init(&sha1);
  std::uint32_t crc = 0;
  unsigned char* bytes = chunk.Reserve(kChunk);
  ssize_t got = 0;
  for (off_t at = 0; (got = pread(fd, bytes, kChunk, at)) > 0; at += got) {
    const double start = CpuNow();
    sha1_update(&sha1, static_cast<std::size_t>(got), bytes);
    crc = libdeflate_crc32(crc, bytes, static_cast<std::size_t>(got));
    hashing += CpuNow() - start;
  }
  close(fd);
  if (got < 0) return "unreadable";
  unsigned char digest[SHA1_DIGEST_SIZE];
  sha1_digest(&sha1, sizeof digest, digest);
  char text[2 * SHA1_DIGEST_SIZE + 10] = {};
  for (std::size_t i = 0; i < sizeof digest; ++i) std::snprintf(text + 2 * i, 3, "%02x", digest[i]);
  std::snprintf(text + 2 * SHA1_DIGEST_SIZE, 10, " %08lx", crc);
  return text;
}

bool WriteWhole(const std::string& path, const unsigned char* data, std::size_t size) {
  std::FILE* out = std::fopen(path.c_str(), "wbx");
  if (!out) return false;
  const bool ok = std::fwrite(data, 1, size, out) == size;
  return std::fclose(out) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  char** args = argv + 1;
  bool throughWorkFile = false, identify = false;
  for (; args < argv + argc; ++args) {
    if (std::strcmp(*args, "--work-file") == 0) throughWorkFile = true;
    else if (std::strcmp(*args, "--identify") == 0) identify = true;
    else break;
  }
  unsigned slice = 0, slices = 1;
  if (args < argv + argc && std::strcmp(*args, "--slice") == 0) {
    if (args + 1 == argv + argc || std::sscanf(args[1], "%u/%u", &slice, &slices) != 2 || slice >= slices) slices = 0;
    args += 2;
  }
  if (argv + argc - args != 3 || slices == 0) {
    std::fprintf(stderr,
                 "usage: korvanel-floor [--work-file] [--identify] [--slice K/N] <map folder> <line file> <picture folder>\n");
    return 2;
  }
  std::vector<fs::path> maps;
  for (const fs::directory_entry& e : fs::directory_iterator(args[0]))
    if (e.is_regular_file() && e.path().extension() == ".w3m") maps.push_back(e.path());
  std::sort(maps.begin(), maps.end());
  const std::size_t first = maps.size() * slice / slices, last = maps.size() * (slice + 1) / slices;
  maps = std::vector<fs::path>(maps.begin() + first, maps.begin() + last);

  std::unique_ptr<WorkFile> work;
  if (throughWorkFile && !(work = std::make_unique<WorkFile>())->IsOpen()) return 1;
  std::FILE* lines = std::fopen(args[1], "wb");
  if (!lines) return 1;
  const std::string pictures = std::string(args[2]) + "/";
  Converter converter;
  Buffer data, chunk;
  double identifying = 0;
  int failures = 0;
  for (const fs::path& map : maps) {
    if (identify) {
      const std::string identity = Identify(map, chunk, identifying);
      std::fprintf(lines, "%s: %s\n", map.c_str(), identity.c_str());
    }
    HANDLE archive = nullptr;
    if (!SFileOpenArchive(map.c_str(), 0, MPQ_OPEN_READ_ONLY, &archive)) {
      std::fprintf(lines, "%s: not opened\n", map.c_str());
      ++failures;
      continue;
    }
    std::size_t total = 0;
    bool picture = false;
    for (const char* name : kEmbedded) {
      if (!ReadEmbedded(archive, name, data)) continue;
      if (work && !work->RoundTrip(data)) ++failures;
      total += data.size;
      if (name == kEmbedded[0])
        picture = converter.Convert(data) &&
                  WriteWhole(pictures + map.stem().string() + ".jpg", converter.jpeg,
                             converter.jpegSize);
    }
    SFileCloseArchive(archive);
    std::fprintf(lines, "%s: %zu bytes%s\n", map.c_str(), total, picture ? ", picture" : "");
    if (!picture) ++failures;
  }
  if (work)
    std::fprintf(stderr, "work file: %.3f s CPU for %.1f MB\n", work->Seconds(), work->ByteCount() / 1e6);
  if (identify) std::fprintf(stderr, "identity: %.3f s CPU\n", identifying);
  return std::fclose(lines) == 0 && failures == 0 ? 0 : 1;
}
