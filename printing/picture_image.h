#pragma once

#include <QImage>

#include "render/picture.h"

namespace kirune {

/// The picture as a QImage that owns its pixels: greyscale for one channel, RGB for three. Decodes a
/// picture of the built-in set if it was not yet (throws DecodeError as ImageSet::withPixels does). A
/// null image when the picture holds fewer pixels than its size says.
QImage toQImage(const Picture& picture);

/// True when every pixel of `picture` is grey (one channel, or three equal ones).
bool isGrey(const Picture& picture);

}  // namespace kirune
