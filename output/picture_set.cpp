#include "output/picture_set.h"

#include "output/minimap_convert.h"
#include "output/minimap_icons_draw.h"
#include "output/png_encoder.h"
#include "parsers/blp_picture.h"
#include "parsers/byte_reader.h"
#include "parsers/minimap_icons.h"
#include "parsers/tga_picture.h"

namespace korvanel {
namespace {

constexpr char kMinimapFile[] = "war3mapMap.blp";
constexpr char kPreviewFile[] = "war3mapPreview.tga";
constexpr char kIconsFile[] = "war3map.mmp";

// A JPEG-kind BLP1 without alpha: the /m minimap is the whole picture.
bool IsOpaqueJpegKind(std::span<const std::byte> blp) {
  const ByteReader header(blp);
  return header.I32(4) == 0 && header.I32(8) == 0;
}

// The picture as a PNG file, or a failure when it cannot be encoded.
void AddPng(const Picture& picture, std::string_view kind, std::string fileName, const std::string& from, MapPictures& into) {
  EncodedPicture encoded{kind, std::move(fileName), {}, picture.width, picture.height};
  if (!EncodePng(picture, encoded.bytes)) {
    into.failures.push_back({kind, from, PictureError::kDamaged});
    return;
  }
  into.pictures.push_back(std::move(encoded));
}

// The same for a picture just decoded from `from`, or why it was not.
void AddDecoded(PictureError decoded, const Picture& picture, std::string_view kind, std::string fileName,
                const std::string& from, MapPictures& into) {
  if (decoded != PictureError::kNone) {
    into.failures.push_back({kind, from, decoded});
    return;
  }
  AddPng(picture, kind, std::move(fileName), from, into);
}

}  // namespace

MapPictures PictureMaker::Make(const PictureSources& sources, const ConvertedMinimap* jpegMinimap) {
  MapPictures made;
  if (!sources.minimap.empty()) {
    const bool asJpeg = jpegMinimap && IsOpaqueJpegKind(sources.minimap);
    Picture minimap;
    // Decoded for its pixels only where they are needed.
    const PictureError error = asJpeg && sources.icons.empty() ? PictureError::kNone : blp_.Decode(sources.minimap, minimap);
    if (error != PictureError::kNone) {
      made.failures.push_back({"minimap", kMinimapFile, error});
    } else if (asJpeg) {
      made.pictures.push_back({"minimap", "minimap.jpg", jpegMinimap->jpeg, jpegMinimap->size.width, jpegMinimap->size.height});
    } else {
      AddPng(minimap, "minimap", "minimap.png", kMinimapFile, made);
    }
    if (error == PictureError::kNone && !sources.icons.empty()) {
      MinimapIconFacts icons;
      // A damaged list still gives the icons it holds whole.
      if (!ParseMinimapIcons(sources.icons, icons)) made.failures.push_back({"minimap-icons", kIconsFile, PictureError::kTruncated});
      AddPng(DrawMinimapIcons(minimap, icons.icons), "minimap-icons", "minimap-icons.png", kIconsFile, made);
    }
  }
  if (!sources.preview.empty()) {
    Picture preview;
    AddDecoded(DecodeTga(sources.preview, preview), preview, "preview", "preview.png", kPreviewFile, made);
  }
  if (!sources.loadingScreen.empty()) {
    Picture screen;
    // TGA has no signature; BLP has, and the game takes either for a
    // texture whatever the name.
    const bool blp = ByteReader(sources.loadingScreen).MagicAt(0, "BLP");
    const PictureError error = blp ? blp_.Decode(sources.loadingScreen, screen) : DecodeTga(sources.loadingScreen, screen);
    AddDecoded(error, screen, "loading-screen", "loading-screen.png", "", made);
  }
  blp_.Trim();
  return made;
}

}  // namespace korvanel
