// Every picture of a map that --pictures writes, decoded and encoded as
// files' bytes, ready to publish: the minimap (war3mapMap.blp, every kind
// of BLP1 the game writes), the preview (war3mapPreview.tga) and the
// minimap with the start locations and gold mines of war3map.mmp drawn on
// it, and the loading screen the map imports. Writes no file: the run publishes them.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "parsers/picture.h"

namespace korvanel {

class BlpDecoder;
struct ConvertedMinimap;

struct EncodedPicture {
  std::string_view kind;  // "minimap", "preview", "minimap-icons", "loading-screen"
  std::string fileName;   // e.g. "minimap.png"
  std::vector<std::byte> bytes;
  std::int32_t width = 0;
  std::int32_t height = 0;
};

// A picture the map holds that could not be made, and why.
struct PictureFailure {
  std::string_view kind;
  std::string file;  // the embedded file; empty for the loading screen, whose
                     // name the map information gives
  PictureError error = PictureError::kDamaged;
};

struct MapPictures {
  std::vector<EncodedPicture> pictures;
  std::vector<PictureFailure> failures;
};

// The map's embedded pictures, each empty when the map lacks it.
struct PictureSources {
  std::vector<std::byte> minimap;  // war3mapMap.blp
  std::vector<std::byte> preview;  // war3mapPreview.tga
  std::vector<std::byte> icons;    // war3map.mmp
  // The picture the map information names for the loading screen, or the
  // first texture of the model it names: a BLP1 or a TGA picture.
  std::vector<std::byte> loadingScreen;
};

// Decodes BLP pictures with the minimap conversion's decoder: its handle
// and buffers are kept from one map to the next, and a minimap that the
// conversion has just decoded is not decoded again.
class PictureMaker {
 public:
  explicit PictureMaker(BlpDecoder& decoder) : blp_(decoder) {}
  PictureMaker(const PictureMaker&) = delete;
  PictureMaker& operator=(const PictureMaker&) = delete;

  // `jpegMinimap`, the /m minimap made of the same picture, is reused: a
  // minimap of the JPEG kind without alpha is that very file.
  MapPictures Make(const PictureSources& sources, const ConvertedMinimap* jpegMinimap = nullptr);

 private:
  BlpDecoder& blp_;
};

}  // namespace korvanel
