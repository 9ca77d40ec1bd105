#include "archive/map_request.h"

#include <cstdint>
#include <cstring>

namespace korvanel {
namespace {

template <typename T>
void Put(std::vector<std::byte>& out, const T& value) {
  const auto* bytes = reinterpret_cast<const std::byte*>(&value);
  out.insert(out.end(), bytes, bytes + sizeof value);
}
template <typename T>
void Take(const std::byte*& in, T& value) {
  std::memcpy(&value, in, sizeof value);
  in += sizeof value;
}
constexpr std::size_t kReplyFileSize = sizeof(bool) + sizeof(int) + 2 * sizeof(std::uint64_t);

void PutText(std::vector<std::byte>& out, std::string_view text) {
  const auto* bytes = reinterpret_cast<const std::byte*>(text.data());
  out.insert(out.end(), bytes, bytes + text.size());
  out.push_back(std::byte{0});
}

}  // namespace

void EncodeMapRequest(std::string_view path, std::span<const char* const> names, MapRequestFlags flags,
                      std::vector<std::byte>& message) {
  message.clear();
  message.push_back(std::byte{flags.identify} | (std::byte{flags.loadingScreen} << 1));
  PutText(message, path);
  for (const char* name : names) PutText(message, name);
}

bool DecodeMapRequest(std::span<const std::byte> message, const char*& path, std::vector<const char*>& names,
                      MapRequestFlags& flags) {
  names.clear();
  // Every part ends with its zero byte, the last one too.
  if (message.size() < 2 || message.back() != std::byte{0}) return false;
  flags.identify = (message[0] & std::byte{1}) != std::byte{0};
  flags.loadingScreen = (message[0] & std::byte{2}) != std::byte{0};
  message = message.subspan(1);
  const char* const text = reinterpret_cast<const char*>(message.data());
  path = text;
  for (std::size_t at = std::strlen(text) + 1; at < message.size(); at += std::strlen(text + at) + 1)
    names.push_back(text + at);
  return true;
}

void EncodeMapReply(const MapAnswer& answer, std::span<const ExtractedFile> files, std::vector<std::byte>& message) {
  message.clear();
  Put(message, answer);
  for (const ExtractedFile& f : files) {
    Put(message, f.found);
    Put(message, f.fileError);
    Put(message, f.offset);
    Put(message, f.size);
  }
}

bool DecodeMapReply(std::span<const std::byte> message, std::size_t count, MapAnswer& answer,
                    std::vector<ExtractedFile>& files) {
  files.clear();
  if (message.size() < sizeof answer) return false;
  const std::byte* at = message.data();
  Take(at, answer);
  if (!answer.opened) return message.size() == sizeof answer;
  if (message.size() != sizeof answer + count * kReplyFileSize) return false;
  files.resize(count);
  for (ExtractedFile& f : files) {
    Take(at, f.found);
    Take(at, f.fileError);
    Take(at, f.offset);
    Take(at, f.size);
  }
  return true;
}

}  // namespace korvanel
