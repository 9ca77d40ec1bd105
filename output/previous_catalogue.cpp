#include "output/previous_catalogue.h"

#include <cerrno>
#include <fcntl.h>
#include <nlohmann/json.hpp>
#include <optional>
#include <vector>

#include "output/catalogue_writer.h"

namespace korvanel {
namespace {

using Json = nlohmann::json;

constexpr std::size_t kChunk = 1 << 20;

std::optional<std::string> FromBase64(std::string_view text) {
  auto value = [](char c) -> int {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    return c == '+' ? 62 : c == '/' ? 63 : -1;
  };
  if (text.size() % 4 != 0) return std::nullopt;
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); i += 4) {
    std::uint32_t group = 0;
    int padding = 0;
    for (std::size_t k = 0; k < 4; ++k) {
      const char c = text[i + k];
      const int v = c == '=' && i + 4 == text.size() && k >= 2 ? (++padding, 0) : value(c);
      if (v < 0 || (padding > 0 && c != '=')) return std::nullopt;
      group = group << 6 | static_cast<std::uint32_t>(v);
    }
    bytes += static_cast<char>(group >> 16);
    if (padding < 2) bytes += static_cast<char>(group >> 8);
    if (padding < 1) bytes += static_cast<char>(group);
  }
  return bytes;
}

// The members of a line's object that decide whether it is kept, taken as
// the parser passes them, without building the object.
class LineFacts : public nlohmann::json_sax<Json> {
 public:
  bool null() override { return Value(); }
  bool boolean(bool value) override {
    if (Top("later_formats")) laterFormats = value;
    return Value();
  }
  bool number_integer(number_integer_t value) override {
    if (Top("schema_version")) version = value;
    return Value();
  }
  bool number_unsigned(number_unsigned_t value) override {
    if (Top("schema_version")) version = static_cast<std::int64_t>(value);
    if (Top("size")) size = value;
    return Value();
  }
  bool number_float(number_float_t, const string_t&) override { return Value(); }
  bool string(string_t& value) override {
    if (Top("path")) path = value;
    if (Top("path_base64")) pathBase64 = value;
    if (Top("modified")) modified = value;
    if (Top("sha1")) sha1 = value;
    return Value();
  }
  bool binary(binary_t&) override { return Value(); }
  bool start_object(std::size_t) override {
    if (depth_ == 0) object = true;
    return ++depth_ > 0;
  }
  bool key(string_t& name) override {
    if (depth_ == 1) last = name;
    return true;
  }
  bool end_object() override { return --depth_ >= 0; }
  bool start_array(std::size_t) override { return ++depth_ > 0; }
  bool end_array() override { return --depth_ >= 0; }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }

  bool object = false;
  std::string last;  // the last member's name
  std::optional<std::int64_t> version;
  std::optional<std::string> path, pathBase64, modified, sha1;
  std::optional<std::uint64_t> size;
  std::optional<bool> laterFormats;

 private:
  bool Top(std::string_view name) const { return depth_ == 1 && last == name; }
  bool Value() const { return depth_ > 0; }

  int depth_ = 0;
};

}  // namespace

PreviousCatalogue::ReadResult PreviousCatalogue::Read(const std::string& path) {
  entries_.clear();
  ReadResult result;
  file_ = File(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!file_.IsOpen()) {
    if (errno != ENOENT) result.error = errno;
    return result;
  }
  result.found = true;
  auto reject = [&](Problem problem, std::size_t line) {
    entries_.clear();
    result.problem = problem;
    result.line = line;
    return result;
  };
  std::vector<std::byte> chunk(kChunk);
  std::string carried;  // the start of a line that goes on in the next chunk
  std::uint64_t offset = 0, lineStart = 0;
  std::size_t number = 0;
  for (;;) {
    std::size_t got = 0;
    if (const int error = file_.ReadAt(offset, chunk, got); error != 0) {
      entries_.clear();
      result.error = error;
      return result;
    }
    if (got == 0) break;
    offset += got;
    std::string_view text(reinterpret_cast<const char*>(chunk.data()), got);
    for (std::size_t feed; (feed = text.find('\n')) != std::string_view::npos; text.remove_prefix(feed + 1)) {
      carried.append(text.substr(0, feed + 1));
      ++number;
      LineFacts facts;
      if (!Json::sax_parse(carried, &facts) || !facts.object) return reject(Problem::kDamaged, number);
      if (!facts.version || !facts.path || !facts.laterFormats || (facts.last != "duplicate_of" && facts.last != "duplicate_of_base64"))
        return reject(facts.version && *facts.version != kCatalogueVersion ? Problem::kOtherVersion : Problem::kForeign, number);
      if (*facts.version != kCatalogueVersion) return reject(Problem::kOtherVersion, number);
      std::optional<std::string> exact = facts.pathBase64 ? FromBase64(*facts.pathBase64) : facts.path;
      if (!exact) return reject(Problem::kForeign, number);
      Entry entry;
      entry.offset = lineStart;
      entry.length = carried.size();
      entry.identified = facts.size && facts.modified && facts.sha1;
      entry.size = facts.size.value_or(0);
      entry.modified = facts.modified.value_or("");
      entry.sha1 = facts.sha1.value_or("");
      entry.laterFormats = *facts.laterFormats;
      entries_.insert_or_assign(std::move(*exact), std::move(entry));
      lineStart += carried.size();
      carried.clear();
    }
    carried.append(text);
  }
  // A last line without its line feed was cut short.
  if (!carried.empty()) return reject(Problem::kDamaged, number + 1);
  return result;
}

const PreviousCatalogue::Entry* PreviousCatalogue::Find(const std::string& path) const {
  const auto found = entries_.find(path);
  return found == entries_.end() ? nullptr : &found->second;
}

int PreviousCatalogue::Line(const Entry& entry, std::string& line) const {
  line.resize(entry.length);
  std::size_t got = 0;
  const int error = file_.ReadAt(entry.offset, std::as_writable_bytes(std::span(line.data(), line.size())), got);
  if (error != 0) return error;
  // The file changed under the run: the line is not what was checked.
  return got == entry.length && line.back() == '\n' ? 0 : EIO;
}

}  // namespace korvanel
