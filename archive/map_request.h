// The messages between the run and its worker about one map, encoded and
// decoded only here so both sides agree.
//
// Request: one byte of flags (whether the map is to be identified, whether
// its loading screen is to be followed), then the map's path and each
// embedded file's name, each ended by a zero byte, so the worker uses them
// where they lie. Reply: the map's answer, then each
// file's result field by field, in this machine's layout: both ends are the
// same program.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

#include "archive/extracted_file.h"
#include "archive/map_answer.h"

namespace korvanel {

// What the worker does besides copying the files named.
struct MapRequestFlags {
  bool identify = false;
  bool loadingScreen = false;  // see MapReader::CopyMapFiles
};

void EncodeMapRequest(std::string_view path, std::span<const char* const> names, MapRequestFlags flags,
                      std::vector<std::byte>& message);
// Points `path` and `names` into `message`, which must outlive them. False
// for a message that is no request.
bool DecodeMapRequest(std::span<const std::byte> message, const char*& path, std::vector<const char*>& names,
                      MapRequestFlags& flags);

void EncodeMapReply(const MapAnswer& answer, std::span<const ExtractedFile> files, std::vector<std::byte>& message);
// False when the message does not answer a request for `count` files; the
// files are given only for a map that opened.
bool DecodeMapReply(std::span<const std::byte> message, std::size_t count, MapAnswer& answer,
                    std::vector<ExtractedFile>& files);

}  // namespace korvanel
