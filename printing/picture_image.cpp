#include "printing/picture_image.h"

#include <cstddef>

#include "render/image_set.h"

namespace kirune {

QImage toQImage(const Picture& shown) {
  const Picture& picture = withPixels(shown);
  const qsizetype rowBytes = static_cast<qsizetype>(picture.width) * picture.channels;
  const bool complete =
      picture.width > 0 && picture.height > 0 && (picture.channels == 1 || picture.channels == 3) &&
      picture.pixels.size() >= static_cast<std::size_t>(rowBytes) * static_cast<std::size_t>(picture.height);
  if (!complete) return {};
  // Wraps the decoded rows, then copies so the image owns its pixels.
  return QImage(picture.pixels.data(), picture.width, picture.height, rowBytes,
                picture.channels == 1 ? QImage::Format_Grayscale8 : QImage::Format_RGB888)
      .copy();
}

bool isGrey(const Picture& shown) {
  const Picture& picture = withPixels(shown);
  if (picture.channels == 1) return true;
  if (picture.channels != 3) return false;
  for (std::size_t i = 0; i + 2 < picture.pixels.size(); i += 3) {
    if (picture.pixels[i] != picture.pixels[i + 1] || picture.pixels[i] != picture.pixels[i + 2])
      return false;
  }
  return true;
}

}  // namespace kirune
