#pragma once

#include <QImage>

#include "render/picture.h"

namespace kirune {

/// The picture as a QImage that owns its pixels: greyscale for one channel, RGB for three. A null image
/// when the picture holds fewer pixels than its size says.
QImage toQImage(const Picture& picture);

/// True when every pixel of `picture` is grey (one channel, or three equal ones).
bool isGrey(const Picture& picture);

}  // namespace kirune
