// Helpers shared by the tests: temporary folders, fixture lookup, and a
// line writer that keeps what it is given.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "parsers/line_writer.h"

namespace korvanel::test {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary directory, removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const fs::path& Path() const { return path_; }
  fs::path operator/(std::string_view name) const { return path_ / name; }

 private:
  fs::path path_;
};

// Runs inside `folder`, returning to the previous one at the end of the
// scope; the folder may be changed again meanwhile.
class ScopedFolder {
 public:
  explicit ScopedFolder(const fs::path& folder) : old_(fs::current_path()) { fs::current_path(folder); }
  ~ScopedFolder() { fs::current_path(old_); }
  ScopedFolder(const ScopedFolder&) = delete;
  ScopedFolder& operator=(const ScopedFolder&) = delete;

 private:
  fs::path old_;
};

// Sets or removes (value null) an environment variable for one scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value);
  ScopedEnv(const char* name, const std::string& value) : ScopedEnv(name, value.c_str()) {}
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class CollectingWriter : public LineWriter {
 public:
  void WriteInfoText(std::string_view text) override {
    text_.append(text);
    lines_.emplace_back(text);
  }
  const std::string& Text() const { return text_; }
  const std::vector<std::string>& Lines() const { return lines_; }

 private:
  std::string text_;
  std::vector<std::string> lines_;
};

inline std::span<const std::byte> Bytes(std::string_view s) {
  return std::as_bytes(std::span(s.data(), s.size()));
}

// Little-endian 32-bit value as four bytes, for building map files in tests.
std::string Le32(std::int32_t value);

// A war3map.mmp entry and file: version 0 and the entries' count unless
// `count` is given.
struct MmpEntry {
  std::int32_t type, x, y;
  std::uint8_t blue, green, red, alpha;
};
std::string MakeMmp(const std::vector<MmpEntry>& entries, std::optional<std::int32_t> count = {});

// A binary model with a version chunk and a texture chunk of these paths.
std::string MakeMdx(const std::vector<std::string>& texturePaths);

// The shared fixtures folder, or an empty path when it is not there.
fs::path FixturesDir();
// Path of one fixture file; the calling test is skipped with a message when
// it is absent.
#define KVL_REQUIRE_FIXTURE(var, relative)                                      \
  const ::std::filesystem::path var = ::korvanel::test::FixturesDir() / (relative); \
  if (::korvanel::test::FixturesDir().empty() || !::std::filesystem::exists(var)) \
    GTEST_SKIP() << "fixture " << (relative) << " not found; skipped"

// Runs `check` in a child process that has dropped to the unprivileged
// user "nobody" when this one is root, since permissions do not bind root.
// True when `check` returned true there.
bool AsUnprivilegedUser(const std::function<bool()>& check);

std::string ReadFile(const fs::path& path);
void WriteFile(const fs::path& path, std::string_view bytes);

// The catalogue's lines, each parsed strictly (a parse error fails the
// test); a text member as its exact bytes, from "<key>_base64" when present.
std::vector<nlohmann::ordered_json> ParseCatalogue(const std::string& text);
std::string CatalogueText(const nlohmann::ordered_json& object, const std::string& key);

}  // namespace korvanel::test

namespace korvanel::test {

struct ProcessResult {
  int status = -1;  // exit status, or 128 + signal
  std::string out;
  std::string err;  // standard error
  long maxResidentKiB = 0;  // the process's peak memory
};

// How the program is started, besides its arguments and environment.
struct StartWith {
  fs::path folder{};              // to start in; empty for this process's own
  std::vector<int> ignoring{};    // signals ignored from the start, as nohup does
  bool ownProcessGroup = false;   // so that one kill(-pid, ...) reaches its worker too, as a terminal's signals do
  bool outputClosed = false;      // standard output a pipe whose reader is gone, as in `korvanel ... | head -0`
  // As on FAT or exFAT (a USB stick): no unnamed files (EOPNOTSUPP), or
  // no hard links (EPERM). See FileSystemLimitsPossible.
  bool noUnnamedFiles = false;
  bool noHardLinks = false;
  std::uint64_t fileSizeLimit = 0;  // as `ulimit -f` sets it (bytes); 0 for none
  // Standard descriptors (0, 1, 2) closed at the start, as `<&-`, `>&-` and
  // `2>&-` leave them; what the closed one would have carried is empty.
  std::vector<int> closed{};
  fs::path program{};  // a copy of the program to run instead of the one built
};

// Whether noUnnamedFiles and noHardLinks work on this machine.
bool FileSystemLimitsPossible();

// Runs the korvanel program with `arguments`, standard output and error
// captured, standard input closed; `environment` entries ("NAME=value") replace
// those of the same name. When KORVANEL_WRAPPER is set (e.g. "valgrind
// --error-exitcode=99"), its words are put in front of the program.
// Unless the test chose a TMPDIR (in `environment` or in this process's own
// environment), the program gets a fresh empty one of its own, so that what
// it leaves behind never lands in the machine's /tmp.
ProcessResult RunKorvanel(const std::vector<std::string>& arguments,
                          const std::vector<std::string>& environment = {}, const StartWith& how = {});
// The same with standard output on a pseudo-terminal in raw mode, so "\n"
// arrives as it was written; `.status` is -1 when there is no terminal.
ProcessResult RunKorvanelOnTerminal(const std::vector<std::string>& arguments);

// The same started in the background, standard output discarded; the
// caller waits for the process. Its own TMPDIR, when it gets one, is removed
// when the test program ends.
int StartKorvanel(const std::vector<std::string>& arguments, const std::vector<std::string>& environment = {},
                  const StartWith& how = {});

}  // namespace korvanel::test

#include "app/reporter.h"

namespace korvanel::test {

// Keeps every message, status and diagnostic, each kind apart and all in
// the one order a user sees them (`events`, diagnostics as standard error
// shows them); answers questions with `answer`.
class RecordingReporter : public Reporter {
 public:
  struct Message {
    std::string text;
    Icon icon;
  };
  void Report(std::string_view text, Icon icon) override {
    messages.push_back({std::string(text), icon});
    events.emplace_back(text);
  }
  Answer Ask(std::string_view text) override {
    messages.push_back({std::string(text), Icon::kQuestion});
    events.emplace_back(text);
    return answer;
  }
  void ShowMap(std::string_view name) override {
    statuses.emplace_back(name);
    events.push_back("Processing " + std::string(name));
  }
  void Diagnose(std::string_view line) override {
    diagnoses.emplace_back(line);
    events.push_back("korvanel: " + std::string(line));
  }
  std::string All() const {
    std::string all;
    for (const auto& m : messages) all += m.text;
    return all;
  }

  Answer answer = Answer::kCancel;
  std::vector<Message> messages;
  std::vector<std::string> statuses;
  std::vector<std::string> diagnoses;
  std::vector<std::string> events;
};

}  // namespace korvanel::test
