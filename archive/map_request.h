// The messages between the run and its worker about one map, encoded and
// decoded only here so both sides agree.
//
// Request: the map's path, then each embedded file's name, each ended by a
// zero byte, so the worker uses them where they lie. Reply: one byte
// telling whether the map opened, then each file's result field by field,
// in this machine's layout: both ends are the same program.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

#include "archive/extracted_file.h"

namespace korvanel {

void EncodeMapRequest(std::string_view path, std::span<const char* const> names, std::vector<std::byte>& message);
// Points `path` and `names` into `message`, which must outlive them. False
// for a message that is no request.
bool DecodeMapRequest(std::span<const std::byte> message, const char*& path, std::vector<const char*>& names);

void EncodeMapReply(bool opened, std::span<const ExtractedFile> files, std::vector<std::byte>& message);
// False when the map did not open, or the message does not answer a
// request for `count` files.
bool DecodeMapReply(std::span<const std::byte> message, std::size_t count, std::vector<ExtractedFile>& files);

}  // namespace korvanel
