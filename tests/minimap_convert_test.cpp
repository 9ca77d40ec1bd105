#include "output/minimap_convert.h"
#include "output/minimap_pool.h"

#include <gtest/gtest.h>

#include <jpeglib.h>
#include <sys/wait.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <csetjmp>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "blp_builder.h"
#include "map_builder.h"
#include "test_support.h"

namespace korvanel::test {
namespace {

struct Conversion {
  MinimapStage stage = MinimapStage::kDone;
  std::string output;
};


Conversion Convert(MinimapConverter& converter, const std::string& blp, int quality) {
  const ConvertedMinimap converted = converter.Convert(Bytes(blp), quality);
  return {converted.stage, std::string(reinterpret_cast<const char*>(converted.jpeg.data()), converted.jpeg.size())};
}

Conversion Convert(const std::string& blp, int quality = 85) {
  MinimapConverter fresh;
  return Convert(fresh, blp, quality);
}

// libjpeg, used directly so that the check does not share the converter's
// decoding path.
struct Picture {
  int width = 0;
  int height = 0;
  int components = 0;
  bool fullSampling = true;
  bool progressive = false;
  int firstQuantValue = 0;
  std::vector<std::uint8_t> pixels;
};

struct JpegError {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

[[noreturn]] void OnJpegError(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1);
}

bool DecodeInto(const std::string& jpeg, J_COLOR_SPACE colourSpace, Picture& picture) {
  jpeg_decompress_struct cinfo{};
  JpegError error{};
  cinfo.err = jpeg_std_error(&error.manager);
  error.manager.error_exit = OnJpegError;
  error.manager.output_message = [](j_common_ptr) {};
  if (setjmp(error.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(jpeg.data()), jpeg.size());
  jpeg_read_header(&cinfo, TRUE);
  picture.components = cinfo.num_components;
  for (int c = 0; c < cinfo.num_components; ++c)
    picture.fullSampling = picture.fullSampling && cinfo.comp_info[c].h_samp_factor == 1 &&
                           cinfo.comp_info[c].v_samp_factor == 1;
  picture.progressive = cinfo.progressive_mode;
  picture.firstQuantValue = cinfo.quant_tbl_ptrs[0] ? cinfo.quant_tbl_ptrs[0]->quantval[0] : 0;
  cinfo.out_color_space = colourSpace;
  jpeg_start_decompress(&cinfo);
  picture.width = static_cast<int>(cinfo.output_width);
  picture.height = static_cast<int>(cinfo.output_height);
  const std::size_t stride = cinfo.output_width * static_cast<std::size_t>(cinfo.output_components);
  picture.pixels.assign(stride * cinfo.output_height, 0);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = picture.pixels.data() + stride * cinfo.output_scanline;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  const bool clean = error.manager.num_warnings == 0;
  jpeg_destroy_decompress(&cinfo);
  return clean;
}

std::optional<Picture> DecodeJpeg(const std::string& jpeg, J_COLOR_SPACE colourSpace) {
  Picture picture;
  if (!DecodeInto(jpeg, colourSpace, picture)) return std::nullopt;
  return picture;
}

std::int32_t At(const std::string& bytes, std::size_t offset) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes[offset + i]);
  return static_cast<std::int32_t>(v);
}

// Mipmap 0's JPEG stream, put together from the BLP by hand.
std::string MipmapZeroStream(const std::string& blp) {
  return blp.substr(160, At(blp, 156)) + blp.substr(At(blp, 28), At(blp, 92));
}

// Stored components blue, green, red (alpha dropped), as red, green, blue.
std::vector<std::uint8_t> RgbFromStored(const Picture& stored) {
  std::vector<std::uint8_t> rgb;
  for (std::size_t i = 0; i + 3 < stored.pixels.size(); i += 4)
    rgb.insert(rgb.end(), {stored.pixels[i + 2], stored.pixels[i + 1], stored.pixels[i]});
  return rgb;
}

std::vector<std::uint8_t> SwapRedBlue(std::vector<std::uint8_t> rgb) {
  for (std::size_t i = 0; i + 2 < rgb.size(); i += 3) std::swap(rgb[i], rgb[i + 2]);
  return rgb;
}

double Psnr(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
  if (a.size() != b.size() || a.empty()) return 0;
  double sum = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const double d = double(a[i]) - double(b[i]);
    sum += d * d;
  }
  if (sum == 0) return 99;
  return 10 * std::log10(255.0 * 255.0 / (sum / double(a.size())));
}

// Converts a real picture and compares with an independent decode of its
// stream; returns {PSNR, PSNR with red and blue swapped}.
std::pair<double, double> CheckRealPicture(const std::string& blp, int width, int height) {
  const Conversion done = Convert(blp);
  EXPECT_EQ(done.stage, MinimapStage::kDone);
  const std::optional<Picture> out = DecodeJpeg(done.output, JCS_RGB);
  const std::optional<Picture> stored = DecodeJpeg(MipmapZeroStream(blp), JCS_CMYK);
  if (!out || !stored) {
    ADD_FAILURE() << "output or reference does not decode";
    return {0, 0};
  }
  EXPECT_EQ(out->width, width);
  EXPECT_EQ(out->height, height);
  EXPECT_EQ(out->components, 3);
  EXPECT_TRUE(out->fullSampling);
  EXPECT_FALSE(out->progressive);
  EXPECT_EQ(stored->components, 4);
  const std::vector<std::uint8_t> reference = RgbFromStored(*stored);
  const double psnr = Psnr(out->pixels, reference);
  const double swapped = Psnr(out->pixels, SwapRedBlue(reference));
  EXPECT_GE(psnr, 30.0);
  EXPECT_LT(swapped, psnr - 10.0);
  std::printf("%dx%d picture: PSNR %.1f dB, red/blue swapped %.1f dB\n", width, height, psnr, swapped);
  return {psnr, swapped};
}

TEST(ConvertMinimap, RealMapPicture) {
  KVL_REQUIRE_FIXTURE(map, "maps/smallest_roc.w3m");
  const std::optional<std::string> blp = ReadEmbedded(map, "war3mapMap.blp");
  ASSERT_TRUE(blp.has_value());
  CheckRealPicture(*blp, 256, 256);
}

TEST(ConvertMinimap, RealIconPicture) {
  KVL_REQUIRE_FIXTURE(icon, "blp/icon64.blp");
  // This one carries further mipmaps, which are not read.
  CheckRealPicture(ReadFile(icon), 64, 64);
}

Bgra Gradient(int x, int y, std::uint8_t alpha) {
  return {static_cast<std::uint8_t>(x * 5), static_cast<std::uint8_t>(y * 6),
          static_cast<std::uint8_t>(200 - x * 2 - y), alpha};
}

std::vector<std::uint8_t> GradientRgb(int width, int height) {
  std::vector<std::uint8_t> rgb;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const Bgra p = Gradient(x, y, 0);
      rgb.insert(rgb.end(), {p[2], p[1], p[0]});
    }
  return rgb;
}

TEST(ConvertMinimap, KeepsColoursAndSizeAndDropsAlpha) {
  // Not square and not a multiple of the block size, so that a swapped width
  // and height or a wrong row length shows.
  const int w = 45, h = 37;
  const std::string opaque = MakeBlp(w, h, [](int x, int y) { return Gradient(x, y, 255); });
  const Conversion done = Convert(opaque);
  ASSERT_EQ(done.stage, MinimapStage::kDone);
  const std::optional<Picture> out = DecodeJpeg(done.output, JCS_RGB);
  ASSERT_TRUE(out.has_value());
  EXPECT_EQ(out->width, w);
  EXPECT_EQ(out->height, h);
  EXPECT_EQ(out->components, 3);
  EXPECT_TRUE(out->fullSampling);
  EXPECT_GE(Psnr(out->pixels, GradientRgb(w, h)), 35.0);
  EXPECT_LT(Psnr(out->pixels, SwapRedBlue(GradientRgb(w, h))), 20.0);
  // Quality 85 scales the first luminance step (16) to 5; quality 50 keeps it.
  EXPECT_EQ(out->firstQuantValue, 5);
  const std::optional<Picture> q50 = DecodeJpeg(Convert(opaque, 50).output, JCS_RGB);
  ASSERT_TRUE(q50.has_value());
  EXPECT_EQ(q50->firstQuantValue, 16);

  // Alpha is coded apart from the colours, so it must leave no trace.
  const std::string patchy =
      MakeBlp(w, h, [](int x, int y) { return Gradient(x, y, (x ^ y) & 1 ? 0 : 255); });
  EXPECT_EQ(Convert(patchy).output, done.output);

  // Mipmap 1 pointing far outside the file is never looked at.
  std::string withMipmaps = opaque;
  withMipmaps.replace(32, 4, Le32(INT_MAX));
  withMipmaps.replace(96, 4, Le32(INT_MAX));
  const Conversion ignored = Convert(withMipmaps);
  EXPECT_EQ(ignored.stage, MinimapStage::kDone);
  EXPECT_EQ(ignored.output, done.output);
}

std::string Picture64() {
  return EncodeBgraJpeg(64, 64, [](int x, int y) { return Gradient(x, y, 255); });
}

void ExpectStage(const std::string& blp, MinimapStage stage, const std::string& what) {
  const Conversion result = Convert(blp);
  EXPECT_EQ(result.stage, stage) << what;
  EXPECT_TRUE(result.output.empty()) << what << ": something was written";
}

TEST(ConvertMinimap, RefusesDamagedHeaders) {
  const std::string jpeg = Picture64();
  const std::string good = MakeBlpFromJpeg(64, 64, jpeg);
  ASSERT_EQ(Convert(good).stage, MinimapStage::kDone);
  const auto with = [&](BlpOverrides o) { return MakeBlpFromJpeg(64, 64, jpeg, o); };
  const auto kHeader = MinimapStage::kHeader;
  const auto size = static_cast<std::int32_t>(good.size());

  ExpectStage(with({.magic = "BLP2"}), kHeader, "later format");
  ExpectStage(with({.magic = "blp1"}), kHeader, "magic in other case");
  ExpectStage("", kHeader, "empty file");
  ExpectStage(good.substr(0, 31), kHeader, "31 bytes");
  ExpectStage(good.substr(0, 32), kHeader, "32 bytes, header cut");
  ExpectStage(good.substr(0, 159), kHeader, "159 bytes, header cut");
  ExpectStage(good.substr(0, good.size() - 1), kHeader, "mipmap 0 cut by a byte");
  ExpectStage(with({.mipmapSize = 0}), kHeader, "empty mipmap 0");
  ExpectStage(with({.mipmapSize = -1}), kHeader, "negative mipmap 0 size");

  for (std::int32_t side : {0, -1, 16385, INT_MAX, INT_MIN}) {
    ExpectStage(with({.width = side}), kHeader, "width " + std::to_string(side));
    ExpectStage(with({.height = side}), kHeader, "height " + std::to_string(side));
  }
  // 65536 x 65536 x 4 wraps to 0 in 32 bits.
  ExpectStage(with({.width = 65536, .height = 65536}), kHeader, "size product wraps");

  ExpectStage(with({.mipmapOffset = -1}), kHeader, "negative mipmap offset");
  ExpectStage(with({.mipmapOffset = size}), kHeader, "mipmap offset at the end");
  ExpectStage(with({.mipmapOffset = INT_MAX, .mipmapSize = INT_MAX}), kHeader, "offset + size wraps");
  ExpectStage(with({.sharedHeaderSize = -1}), kHeader, "negative shared header size");
  ExpectStage(with({.sharedHeaderSize = size - 159}), kHeader, "shared header past the end");
  ExpectStage(with({.sharedHeaderSize = INT_MAX}), kHeader, "huge shared header");

  // A whole, valid picture whose stream is larger than 4 bytes a pixel.
  const std::string tiny = MakeBlp(8, 8, [](int x, int y) { return Gradient(x, y, 255); });
  ASSERT_GT(tiny.size() - 160, 8u * 8u * 4u);
  ExpectStage(tiny, kHeader, "stream larger than the picture's buffer");
}

TEST(ConvertMinimap, FailsToDecodeForeignPictureData) {
  const std::string jpeg = Picture64();
  const auto with = [&](BlpOverrides o) { return MakeBlpFromJpeg(64, 64, jpeg, o); };
  const auto kDecode = MinimapStage::kDecode;

  // The header's size decides the buffers; the stream's own must agree.
  ExpectStage(with({.height = 48}), kDecode, "stream taller than header");
  ExpectStage(with({.width = 48}), kDecode, "stream wider than header");
  ExpectStage(with({.width = 65, .height = 64}), kDecode, "stream narrower than header");
  // At the size limit: refused by the stream's size, before any allocation.
  ExpectStage(with({.width = 16384, .height = 16384}), kDecode, "largest header size");

  const std::string good = MakeBlpFromJpeg(64, 64, jpeg);
  const std::int32_t mipmapSize = At(good, 92);
  ExpectStage(with({.mipmapSize = mipmapSize / 2}), kDecode, "mipmap 0 cut short");
  std::string garbled = good;
  for (std::size_t i = static_cast<std::size_t>(At(good, 28)); i < garbled.size(); ++i) garbled[i] = 'x';
  ExpectStage(garbled, kDecode, "mipmap 0 not JPEG data");

  // Three components cannot be taken as the four stored ones.
  std::vector<unsigned char> rgb(64 * 64 * 3, 90);
  tjhandle encoder = tjInitCompress();
  unsigned char* out = nullptr;
  unsigned long outSize = 0;
  ASSERT_EQ(tjCompress2(encoder, rgb.data(), 64, 0, 64, TJPF_RGB, &out, &outSize, TJSAMP_444, 85, 0), 0);
  const std::string threeComponents(reinterpret_cast<char*>(out), outSize);
  tjFree(out);
  tjDestroy(encoder);
  ExpectStage(MakeBlpFromJpeg(64, 64, threeComponents), kDecode, "three-component stream");

  // A paletted picture is not refused by its header: its first palette entry
  // stands where the shared header size would be.
  std::array<Bgra, 256> palette{};
  const auto index = [](int x, int y) { return static_cast<std::uint8_t>(x + y); };
  ExpectStage(MakePalettedBlp(32, 32, palette, index), kDecode, "paletted, black first entry");
  // When that entry, read as a size, points past the file, it is a bad header.
  palette[0] = {255, 255, 255, 0};
  ExpectStage(MakePalettedBlp(32, 32, palette, index), MinimapStage::kHeader,
              "paletted, white first entry");
}

// A run converts every map's picture with one converter; what one picture
// leaves in it, failed or not, must not show in the next.
TEST(ConvertMinimap, OneConverterForManyPictures) {
  const std::string jpeg = Picture64();
  std::string garbled = MakeBlpFromJpeg(64, 64, jpeg);
  for (std::size_t i = static_cast<std::size_t>(At(garbled, 28)) + 40; i < garbled.size(); ++i) garbled[i] = 'x';
  const std::string sequence[] = {
      MakeBlpFromJpeg(64, 64, jpeg),
      MakeBlp(45, 37, [](int x, int y) { return Gradient(x, y, 255); }),
      garbled,
      MakeBlpFromJpeg(64, 64, jpeg, {.height = 48}),
      MakeBlp(300, 200, [](int x, int y) { return Gradient(x % 40, y % 30, 9); }),
      MakeBlp(45, 37, [](int x, int y) { return Gradient(y, x, 255); }),
      "BLP1",
      MakeBlpFromJpeg(64, 64, jpeg),
  };
  MinimapConverter shared;
  for (int quality : {85, 40}) {
    for (std::size_t i = 0; i < std::size(sequence); ++i) {
      SCOPED_TRACE(testing::Message() << "picture " << i << " at quality " << quality);
      const Conversion fresh = Convert(sequence[i], quality);
      const Conversion reused = Convert(shared, sequence[i], quality);
      EXPECT_EQ(reused.stage, fresh.stage);
      EXPECT_EQ(reused.output, fresh.output);
    }
  }

  // The run's pool: a converter a thread, each picture taken back by its
  // number, in whatever order, whichever thread finished first; with no
  // thread, on the taker's. A pool dropped with pictures given waits for
  // none of them.
  for (std::size_t threads : {0, 1, 3}) {
    SCOPED_TRACE(testing::Message() << threads << " threads");
    MinimapPool pool;
    pool.SetThreads(threads);
    std::vector<std::pair<std::uint64_t, std::size_t>> given;  // number, picture
    for (int round = 0; round < 3; ++round)
      for (std::size_t i = 0; i < std::size(sequence); ++i) given.push_back({pool.Give(Bytes(sequence[i])), i});
    std::reverse(given.begin(), given.begin() + static_cast<std::ptrdiff_t>(std::size(sequence)));
    for (const auto& [number, i] : given) {
      const Conversion fresh = Convert(sequence[i], 85);
      const ConvertedMinimap& taken = pool.Take(number).minimap;
      EXPECT_EQ(taken.stage, fresh.stage) << "picture " << i;
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(taken.jpeg.data()), taken.jpeg.size()), fresh.output)
          << "picture " << i;
    }
    MinimapPool dropped;
    dropped.SetThreads(threads);
    for (const std::string& blp : sequence) dropped.Give(Bytes(blp));
  }
}

// A child made while a thread is inside the allocator inherits its lock
// held, and waits on it for good (the archive workers are such children).
// The pool's threads are still while a child is made, so every child can
// allocate and end.
TEST(ConvertMinimap, ChildrenMadeWhileThePoolConvertsCanAllocate) {
  const std::string blp = MakeBlp(300, 200, [](int x, int y) { return Gradient(x % 40, y % 30, 9); });
  MinimapPool pool;
  pool.SetThreads(3);
  std::vector<std::uint64_t> given;
  for (int i = 0; i < 60; ++i) given.push_back(pool.Give(Bytes(blp)));
  for (int i = 0; i < 40; ++i) {
    const pid_t child = ::fork();
    if (child == 0) {
      for (std::size_t size = 16; size < (std::size_t{1} << 22); size *= 2) std::free(std::malloc(size));
      ::_exit(0);
    }
    ASSERT_GT(child, 0);
    int status = -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (::waitpid(child, &status, WNOHANG) == 0 && std::chrono::steady_clock::now() < deadline) ::usleep(1000);
    if (!WIFEXITED(status)) {
      ::kill(child, SIGKILL);
      ::waitpid(child, nullptr, 0);
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child " << i << " stuck";
  }
  for (std::uint64_t number : given) EXPECT_EQ(pool.Take(number).minimap.stage, MinimapStage::kDone);
}

TEST(ConvertMinimap, FailsToEncodeAtAQualityOutOfRange) {
  const std::string blp = MakeBlp(32, 32, [](int x, int y) { return Gradient(x, y, 255); });
  for (int quality : {-1, 101}) {
    const Conversion refused = Convert(blp, quality);
    EXPECT_EQ(refused.stage, MinimapStage::kEncode) << quality;
    EXPECT_EQ(refused.output, "") << quality;
  }
}

}  // namespace
}  // namespace korvanel::test
