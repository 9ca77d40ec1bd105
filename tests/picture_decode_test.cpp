#include "output/png_encoder.h"
#include "parsers/blp_picture.h"
#include "parsers/byte_reader.h"
#include "parsers/tga_picture.h"

#include <gtest/gtest.h>

#include <spng.h>
#include <turbojpeg.h>

#include <array>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "blp_builder.h"
#include "map_builder.h"
#include "output/minimap_convert.h"
#include "test_support.h"

namespace korvanel::test {
namespace {

using Clock = std::chrono::steady_clock;

Bgra Gradient(int x, int y, std::uint8_t alpha) {
  return {static_cast<std::uint8_t>(x * 5), static_cast<std::uint8_t>(y * 6),
          static_cast<std::uint8_t>(200 - x * 2 - y), alpha};
}

// What a picture built from `bgra` decodes to: R, G, B, A, rows top to bottom.
std::vector<std::uint8_t> Expected(int width, int height, const BgraPicture& bgra, bool alpha) {
  std::vector<std::uint8_t> rgba;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const Bgra p = bgra(x, y);
      rgba.insert(rgba.end(), {p[2], p[1], p[0], alpha ? p[3] : std::uint8_t{255}});
    }
  return rgba;
}

// Over the colour components alone (channel 0..2), or alpha alone (3).
double Psnr(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b, bool alphaOnly = false) {
  if (a.size() != b.size() || a.empty()) return 0;
  double sum = 0;
  std::size_t count = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if ((i % 4 == 3) != alphaOnly) continue;
    const double d = double(a[i]) - double(b[i]);
    sum += d * d;
    ++count;
  }
  if (sum == 0) return 99;
  return 10 * std::log10(255.0 * 255.0 / (sum / double(count)));
}

PictureError Blp(const std::string& blp, Picture& out) { return DecodeBlp(Bytes(blp), out); }
PictureError Tga(const std::string& tga, Picture& out) { return DecodeTga(Bytes(tga), out); }

// Refused for `error`, quickly, and `out` untouched: no picture's worth of
// memory was taken for data that cannot fill it.
void ExpectRefused(PictureError (*decode)(const std::string&, Picture&), const std::string& bytes,
                   PictureError error, const std::string& what) {
  Picture out;
  const auto start = Clock::now();
  EXPECT_EQ(decode(bytes, out), error) << what;
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(200)) << what;
  EXPECT_EQ(out.width, 0) << what;
  EXPECT_EQ(out.rgba.capacity(), 0u) << what;
}

std::array<Bgra, 256> TestPalette() {
  std::array<Bgra, 256> palette{};
  for (int i = 0; i < 256; ++i)
    palette[i] = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i),
                  static_cast<std::uint8_t>(i * 7), static_cast<std::uint8_t>(i % 3)};  // alpha unused
  return palette;
}

std::uint8_t PaletteIndex(int x, int y) { return static_cast<std::uint8_t>(x * 11 + y * 3); }

// --- BLP1, paletted ---

TEST(DecodeBlp, PalettedAtEveryAlphaDepth) {
  // 13 x 7 = 91 pixels, so that the packed alpha ends inside a byte.
  const int w = 13, h = 7;
  const std::array<Bgra, 256> palette = TestPalette();
  for (std::int32_t depth : {0, 1, 4, 8}) {
    SCOPED_TRACE(testing::Message() << "alpha depth " << depth);
    const PixelValue alpha = [depth](int x, int y) {
      return static_cast<std::uint8_t>((x * 5 + y * 9) & ((1 << depth) - 1));
    };
    Picture out;
    ASSERT_EQ(Blp(MakePalettedBlp(w, h, palette, PaletteIndex, {depth, alpha}), out), PictureError::kNone);
    EXPECT_EQ(out.width, w);
    EXPECT_EQ(out.height, h);
    EXPECT_EQ(out.alpha, depth > 0);
    const int scale = depth == 0 ? 0 : 255 / ((1 << depth) - 1);
    std::vector<std::uint8_t> expected;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const Bgra p = palette[PaletteIndex(x, y)];
        expected.insert(expected.end(),
                        {p[2], p[1], p[0], static_cast<std::uint8_t>(depth == 0 ? 255 : alpha(x, y) * scale)});
      }
    EXPECT_EQ(out.rgba, expected);
  }
}

// The packed alpha's order, set by hand: the first pixel in the lowest bits.
TEST(DecodeBlp, PackedAlphaStartsAtTheLowestBits) {
  const std::array<Bgra, 256> palette = TestPalette();
  const auto zero = [](int, int) { return std::uint8_t{0}; };
  std::string oneBit = MakePalettedBlp(8, 1, palette, zero, {1, zero});
  oneBit.back() = '\x05';  // pixels 0 and 2
  std::string fourBits = MakePalettedBlp(2, 1, palette, zero, {4, zero});
  fourBits.back() = '\x3A';  // pixel 0: 0xA, pixel 1: 0x3
  Picture out;
  ASSERT_EQ(Blp(oneBit, out), PictureError::kNone);
  for (int x = 0; x < 8; ++x) EXPECT_EQ(out.rgba[x * 4 + 3], x == 0 || x == 2 ? 255 : 0) << x;
  ASSERT_EQ(Blp(fourBits, out), PictureError::kNone);
  EXPECT_EQ(out.rgba[3], 0xA * 17);
  EXPECT_EQ(out.rgba[7], 0x3 * 17);
}

// --- BLP1, JPEG kind ---

TEST(DecodeBlp, JpegKindWithAndWithoutAlpha) {
  const int w = 45, h = 37;  // not a multiple of the block size
  const BgraPicture bgra = [](int x, int y) { return Gradient(x, y, static_cast<std::uint8_t>(x * 4 + y * 2)); };
  Picture out;
  ASSERT_EQ(Blp(MakeBlp(w, h, bgra), out), PictureError::kNone);
  EXPECT_EQ(out.width, w);
  EXPECT_EQ(out.height, h);
  EXPECT_TRUE(out.alpha);
  const std::vector<std::uint8_t> expected = Expected(w, h, bgra, true);
  EXPECT_GE(Psnr(out.rgba, expected), 35.0);
  EXPECT_GE(Psnr(out.rgba, expected, true), 35.0);

  ASSERT_EQ(Blp(MakeBlp(w, h, bgra, {.alphaBits = 0}), out), PictureError::kNone);
  EXPECT_FALSE(out.alpha);
  EXPECT_GE(Psnr(out.rgba, Expected(w, h, bgra, false)), 35.0);
  EXPECT_EQ(Psnr(out.rgba, Expected(w, h, bgra, false), true), 99) << "every alpha 255";
}

// The minimap JPEG is encoded from the very pixels the decoder gives.
TEST(DecodeBlp, AgreesWithTheMinimapConversion) {
  const int w = 64, h = 48;
  const std::string blp = MakeBlp(w, h, [](int x, int y) { return Gradient(x, y, 255); });
  Picture decoded;
  ASSERT_EQ(Blp(blp, decoded), PictureError::kNone);
  const ConvertedMinimap minimap = MinimapConverter().Convert(Bytes(blp), 100);
  ASSERT_EQ(minimap.stage, MinimapStage::kDone);
  std::vector<std::uint8_t> fromMinimap(static_cast<std::size_t>(w) * h * 4);
  tjhandle handle = tjInitDecompress();
  ASSERT_EQ(tjDecompress2(handle, reinterpret_cast<const unsigned char*>(minimap.jpeg.data()), minimap.jpeg.size(),
                          fromMinimap.data(), w, 0, h, TJPF_RGBA, 0),
            0);
  tjDestroy(handle);
  EXPECT_GE(Psnr(decoded.rgba, fromMinimap), 45.0);
}

// A decoder keeps the pixels of the last stream it decoded, for the picture
// export after the minimap conversion; each picture still gets its own.
TEST(DecodeBlp, OneDecoderGivesEachPictureItsOwnPixels) {
  const int w = 32, h = 24;
  const std::string a = MakeBlp(w, h, [](int x, int y) { return Gradient(x, y, 255); });
  const std::string b = MakeBlp(w, h, [](int x, int y) { return Gradient(y, x, 255); });
  // The same stream's length with other bytes, and the same stream under
  // another size.
  std::string garbled = a, wider = a;
  for (std::size_t i = garbled.size() / 2; i + 2 < garbled.size(); ++i) garbled[i] = 'x';
  wider.replace(12, 4, Le32(w + 8));
  Picture unused;
  ASSERT_EQ(Blp(garbled, unused), PictureError::kDamaged);
  MinimapConverter converter;
  ASSERT_EQ(converter.Convert(Bytes(a), 85).stage, MinimapStage::kDone);
  for (const std::string* blp : std::vector<const std::string*>{&a, &a, &b, &wider, &a, &garbled, &a}) {
    Picture fresh, shared;
    const PictureError expected = Blp(*blp, fresh);
    EXPECT_EQ(converter.Decoder().Decode(Bytes(*blp), shared), expected);
    EXPECT_EQ(shared.rgba, fresh.rgba);
  }
}

TEST(DecodeBlp, RefusesWhatItCannotDecode) {
  const auto ok = [](int x, int y) { return Gradient(x, y, 255); };
  const std::string jpegKind = MakeBlp(64, 64, ok);
  const std::string paletted = MakePalettedBlp(64, 64, TestPalette(), PaletteIndex);
  const auto with = [&](BlpOverrides o) { return MakeBlp(64, 64, ok, o); };
  const auto field = [](std::string blp, std::size_t offset, std::int32_t value) {
    return blp.replace(offset, 4, Le32(value));
  };

  ExpectRefused(Blp, with({.magic = "BLP2"}), PictureError::kUnsupported, "later format");
  ExpectRefused(Blp, with({.magic = "BLP0"}), PictureError::kUnsupported, "earlier format");
  ExpectRefused(Blp, with({.magic = "PNG!"}), PictureError::kDamaged, "not a BLP");
  ExpectRefused(Blp, with({.compression = 2}), PictureError::kUnsupported, "compression 2");
  ExpectRefused(Blp, field(paletted, 8, 3), PictureError::kUnsupported, "alpha depth 3");
  ExpectRefused(Blp, "BL", PictureError::kTruncated, "2 bytes");
  ExpectRefused(Blp, paletted.substr(0, 159), PictureError::kTruncated, "header cut");
  ExpectRefused(Blp, paletted.substr(0, 1000), PictureError::kTruncated, "palette cut");

  for (const std::string* kind : {&jpegKind, &paletted}) {
    const std::string name = kind == &jpegKind ? "JPEG kind, " : "paletted, ";
    ExpectRefused(Blp, kind->substr(0, kind->size() - 1), PictureError::kTruncated, name + "mipmap 0 cut by a byte");
    ExpectRefused(Blp, field(*kind, 28, INT_MAX), PictureError::kTruncated, name + "mipmap 0 past the end");
    for (std::int32_t side : {0, -1, INT_MIN}) {
      ExpectRefused(Blp, field(*kind, 12, side), PictureError::kDamaged, name + "width " + std::to_string(side));
      ExpectRefused(Blp, field(*kind, 16, side), PictureError::kDamaged, name + "height " + std::to_string(side));
    }
    for (std::int32_t side : {4097, INT_MAX}) {
      ExpectRefused(Blp, field(*kind, 12, side), PictureError::kTooLarge, name + "width " + std::to_string(side));
      ExpectRefused(Blp, field(*kind, 16, side), PictureError::kTooLarge, name + "height " + std::to_string(side));
    }
  }
  // The largest size each kind accepts, claimed by a small file.
  ExpectRefused(Blp, field(field(paletted, 12, 4096), 16, 4096), PictureError::kTruncated, "paletted 4096 x 4096");
  ExpectRefused(Blp, with({.width = 4096, .height = 4096}), PictureError::kTooLarge, "JPEG kind 4096 x 4096");
  ExpectRefused(Blp, with({.width = 2048, .height = 2048}), PictureError::kDamaged, "JPEG kind, stream smaller");
  // Within the sides, more pixels than are decoded, every one of them there.
  ExpectRefused(Blp, MakePalettedBlp(2049, 2048, TestPalette(), PaletteIndex, {.depth = 0}), PictureError::kTooLarge,
                "paletted 2049 x 2048");

  std::string garbled = jpegKind;
  for (std::size_t i = 1000; i < garbled.size(); ++i) garbled[i] = 'x';
  ExpectRefused(Blp, garbled, PictureError::kDamaged, "mipmap 0 not JPEG data");
  ExpectRefused(Blp, with({.mipmapSize = 0}), PictureError::kDamaged, "empty mipmap 0");
}

// --- TGA ---

TEST(DecodeTga, EveryTypeRowOrderAndDepth) {
  // Width 5 with runs of 7 equal pixels: packets run on across rows.
  const int w = 5, h = 9;
  const BgraPicture bgra = [](int x, int y) {
    const int run = (y * 5 + x) / 7;
    return Bgra{static_cast<std::uint8_t>(run * 30), static_cast<std::uint8_t>(y < 4 ? 10 : x * 40),
                static_cast<std::uint8_t>(200 - run), static_cast<std::uint8_t>(run * 20 + 3)};
  };
  for (bool runLength : {false, true})
    for (int bits : {24, 32})
      for (bool topRowFirst : {false, true}) {
        SCOPED_TRACE(testing::Message() << (runLength ? "run-length " : "plain ") << bits << " bits, "
                                        << (topRowFirst ? "top" : "bottom") << " row first");
        const std::string tga = MakeTga(w, h, bgra, {runLength, bits, topRowFirst, "an id field"});
        Picture out;
        ASSERT_EQ(Tga(tga, out), PictureError::kNone);
        EXPECT_EQ(out.width, w);
        EXPECT_EQ(out.height, h);
        EXPECT_EQ(out.alpha, bits == 32);
        EXPECT_EQ(out.rgba, Expected(w, h, bgra, bits == 32));
      }
}

TEST(DecodeTga, RefusesWhatItCannotDecode) {
  const auto ok = [](int x, int y) { return Gradient(x, y, 255); };
  const std::string plain = MakeTga(16, 8, ok);
  const std::string runs = MakeTga(16, 8, [](int, int) { return Bgra{1, 2, 3, 4}; }, {.runLength = true});
  ASSERT_EQ(runs.size(), 18u + 4u);  // one packet of 128 pixels
  const auto byte = [](std::string tga, std::size_t offset, int value) {
    tga[offset] = static_cast<char>(value);
    return tga;
  };

  for (int type : {0, 1, 3, 9, 11, 32})
    ExpectRefused(Tga, byte(plain, 2, type), PictureError::kUnsupported, "image type " + std::to_string(type));
  for (int bits : {8, 15, 16})
    ExpectRefused(Tga, byte(plain, 16, bits), PictureError::kUnsupported, std::to_string(bits) + " bits");
  ExpectRefused(Tga, byte(plain, 17, 0x10), PictureError::kUnsupported, "right to left");
  ExpectRefused(Tga, plain.substr(0, 17), PictureError::kTruncated, "header cut");
  ExpectRefused(Tga, plain.substr(0, plain.size() - 1), PictureError::kTruncated, "pixels cut by a byte");
  ExpectRefused(Tga, byte(plain, 0, 255), PictureError::kTruncated, "id field past the pixels");
  ExpectRefused(Tga, byte(plain, 12, 0), PictureError::kDamaged, "width 0");
  ExpectRefused(Tga, byte(byte(plain, 14, 0), 15, 0), PictureError::kDamaged, "height 0");
  ExpectRefused(Tga, byte(byte(plain, 12, 0x01), 13, 0x10), PictureError::kTooLarge, "width 4097");
  ExpectRefused(Tga, byte(byte(plain, 14, 0xFF), 15, 0xFF), PictureError::kTooLarge, "height 65535");
  // The largest accepted size, claimed by a small file of either type.
  const auto huge = [&](std::string tga) { return byte(byte(byte(byte(tga, 12, 0), 13, 0x10), 14, 0), 15, 0x10); };
  ExpectRefused(Tga, huge(plain), PictureError::kTruncated, "plain, 4096 x 4096");
  ExpectRefused(Tga, huge(runs), PictureError::kTruncated, "run-length, 4096 x 4096");
  ExpectRefused(Tga, MakeTga(2048, 2049, ok, {.runLength = true}), PictureError::kTooLarge, "run-length, 2048 x 2049");

  // Run-length packets that end early or run past the picture.
  ExpectRefused(Tga, runs.substr(0, runs.size() - 1), PictureError::kTruncated, "repeated pixel cut");
  std::string rawPackets = byte(runs, 18, 0x7F);  // 128 stored pixels, not one
  rawPackets.append(127 * 3 - 20, 'x');           // enough for the least data, short of the packet
  ExpectRefused(Tga, rawPackets, PictureError::kTruncated, "stored pixels cut");
  std::string pastTheEnd = byte(runs, 18, 0x80 | 99);  // 100 pixels, then 100 more of 28 left
  pastTheEnd += pastTheEnd.substr(18);
  ExpectRefused(Tga, pastTheEnd, PictureError::kDamaged, "packet past the picture");
}

// --- PNG ---

// libspng's decoder, for the check: R, G, B, A whatever the file's kind.
std::optional<Picture> ReadPng(const std::vector<std::byte>& png, int& colourType) {
  spng_ctx* ctx = spng_ctx_new(0);
  Picture picture;
  spng_ihdr header{};
  std::size_t size = 0;
  bool ok = spng_set_png_buffer(ctx, png.data(), png.size()) == 0 && spng_get_ihdr(ctx, &header) == 0 &&
            spng_decoded_image_size(ctx, SPNG_FMT_RGBA8, &size) == 0;
  if (ok) {
    picture.rgba.resize(size);
    ok = spng_decode_image(ctx, picture.rgba.data(), size, SPNG_FMT_RGBA8, 0) == 0;
  }
  spng_ctx_free(ctx);
  if (!ok) return std::nullopt;
  picture.width = static_cast<std::int32_t>(header.width);
  picture.height = static_cast<std::int32_t>(header.height);
  colourType = header.color_type;
  return picture;
}

Picture Noise(int width, int height, bool alpha) {
  Picture picture{width, height, alpha, {}};
  std::uint32_t state = 12345;
  for (int i = 0; i < width * height; ++i) {
    state = state * 1103515245 + 12345;
    const auto x = static_cast<std::uint8_t>(i % width), y = static_cast<std::uint8_t>(i / width);
    // Smooth as a map's preview, with a little noise.
    picture.rgba.insert(picture.rgba.end(), {static_cast<std::uint8_t>(x + (state >> 29)), y,
                                             static_cast<std::uint8_t>(x ^ y),
                                             alpha ? static_cast<std::uint8_t>(state >> 24) : std::uint8_t{255}});
  }
  return picture;
}

TEST(EncodePng, DecodesBackToEveryPixel) {
  for (bool alpha : {false, true}) {
    SCOPED_TRACE(alpha ? "with alpha" : "without alpha");
    const Picture picture = Noise(45, 37, alpha);
    std::vector<std::byte> png;
    ASSERT_TRUE(EncodePng(picture, png));
    int colourType = -1;
    const std::optional<Picture> back = ReadPng(png, colourType);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(colourType, alpha ? SPNG_COLOR_TYPE_TRUECOLOR_ALPHA : SPNG_COLOR_TYPE_TRUECOLOR);
    EXPECT_EQ(back->width, 45);
    EXPECT_EQ(back->height, 37);
    EXPECT_EQ(back->rgba, picture.rgba);
  }
  std::vector<std::byte> png(3);
  EXPECT_FALSE(EncodePng(Picture{}, png));
  EXPECT_TRUE(png.empty());
  Picture inconsistent = Noise(4, 4, true);
  inconsistent.rgba.pop_back();
  EXPECT_FALSE(EncodePng(inconsistent, png));
}

// A run encodes thousands of previews: about a millisecond each at most.
TEST(EncodePng, PreviewSizeIsFast) {
  for (bool alpha : {false, true}) {
    const Picture picture = Noise(256, 256, alpha);
    std::vector<std::byte> png;
    constexpr int kRounds = 20;
    const auto start = Clock::now();
    for (int i = 0; i < kRounds; ++i) ASSERT_TRUE(EncodePng(picture, png));
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count() / kRounds;
    std::printf("256 x 256 %s: %.2f ms, %zu bytes\n", alpha ? "RGBA" : "RGB", ms, png.size());
    // Loose, for slow and sanitizer builds; the figure above is the measure.
    EXPECT_LT(ms, 20.0);
  }
}

// --- The real pictures, against Pillow ---

// A Python that has Pillow; the one on the path may not be the system's.
std::string PythonWithPillow() {
  for (const char* python : {"python3", "/usr/bin/python3"}) {
    const std::string probe = std::string(python) + " -c 'import PIL' 2>/dev/null";
    if (std::system(probe.c_str()) == 0) return python;
  }
  return {};
}

struct Reference {
  Picture picture;
  std::string kind;
};

std::optional<Reference> DecodeWithPillow(const std::string& python, const std::string& bytes) {
  TempDir dir;
  WriteFile(dir / "in", bytes);
  const std::string command = python + " '" + (fs::path(KORVANEL_SOURCE_DIR) / "tests/reference_picture.py").string() +
                              "' '" + (dir / "in").string() + "' '" + (dir / "out").string() + "'";
  if (std::system(command.c_str()) != 0) return std::nullopt;
  std::istringstream out(ReadFile(dir / "out"));
  Reference reference;
  int alpha = 0;
  out >> reference.picture.width >> reference.picture.height >> alpha;
  out.get();
  std::getline(out, reference.kind);
  reference.picture.alpha = alpha != 0;
  const std::string pixels((std::istreambuf_iterator<char>(out)), std::istreambuf_iterator<char>());
  reference.picture.rgba.assign(pixels.begin(), pixels.end());
  return reference;
}

// Pillow's reader of four-component JPEG streams takes them for inverted
// CMYK, so the JPEG kind is checked against known pixels and the minimap
// conversion instead (DecodeBlp.JpegKindWithAndWithoutAlpha,
// DecodeBlp.AgreesWithTheMinimapConversion).
void CheckAgainstPillow(const std::string& python, const std::string& name, const std::string& bytes, bool blp) {
  SCOPED_TRACE(name);
  if (blp && ByteReader(Bytes(bytes)).I32(4) == 0) return;
  Picture picture;
  ASSERT_EQ(blp ? DecodeBlp(Bytes(bytes), picture) : DecodeTga(Bytes(bytes), picture), PictureError::kNone);
  const std::optional<Reference> reference = DecodeWithPillow(python, bytes);
  ASSERT_TRUE(reference.has_value());
  EXPECT_EQ(picture.width, reference->picture.width);
  EXPECT_EQ(picture.height, reference->picture.height);
  EXPECT_EQ(picture.alpha, reference->picture.alpha);
  EXPECT_EQ(picture.rgba, reference->picture.rgba);
  std::printf("%s: %dx%d, %s\n", name.c_str(), picture.width, picture.height, reference->kind.c_str());
}

TEST(DecodePictures, RealPicturesAgreeWithPillow) {
  KVL_REQUIRE_FIXTURE(icon, "blp/icon64.blp");
  const std::string python = PythonWithPillow();
  if (python.empty()) GTEST_SKIP() << "Pillow (python3-pil, scripts/deps) not installed: the real pictures were not checked";
  CheckAgainstPillow(python, "icon64.blp", ReadFile(icon), true);
  int pictures = 1;
  for (const char* folder : {"maps", "w3x", "bench"}) {
    const fs::path dir = FixturesDir() / folder;
    if (!fs::is_directory(dir)) continue;
    for (const auto& entry : fs::directory_iterator(dir)) {
      for (const auto& [embedded, blp] : {std::pair{"war3mapMap.blp", true}, {"war3mapPreview.tga", false}}) {
        const std::optional<std::string> bytes = ReadEmbedded(entry.path(), embedded);
        if (!bytes) continue;
        CheckAgainstPillow(python, entry.path().filename().string() + " " + embedded, *bytes, blp);
        ++pictures;
      }
    }
  }
  EXPECT_GT(pictures, 1);
}

// Made from pictures of known pixels, of every kind.
TEST(DecodePictures, BuiltPicturesAgreeWithPillow) {
  const std::string python = PythonWithPillow();
  if (python.empty()) GTEST_SKIP() << "Pillow (python3-pil, scripts/deps) not installed: not checked";
  const BgraPicture bgra = [](int x, int y) { return Gradient(x, y, static_cast<std::uint8_t>(x * 4 + y)); };
  for (std::int32_t depth : {0, 1, 4, 8})
    CheckAgainstPillow(python, "paletted, alpha depth " + std::to_string(depth),
                       MakePalettedBlp(13, 7, TestPalette(), PaletteIndex,
                                       {depth, [](int x, int y) { return static_cast<std::uint8_t>(x * 3 + y); }}),
                       true);
  for (bool runLength : {false, true})
    for (int bits : {24, 32})
      for (bool top : {false, true})
        CheckAgainstPillow(python, "TGA", MakeTga(45, 37, bgra, {runLength, bits, top, "id"}), false);
}

}  // namespace
}  // namespace korvanel::test
