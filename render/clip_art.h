#pragma once

#include <string_view>

#include "render/session.h"

namespace kirune {

/// The picture of clip-art number n (1..32), e.g. 11 -> "TForm2.Image21"; empty for any other n.
std::string_view clipArtPictureName(int n);

/// `print03Click`: reseeds, draws 1 + random(32) whatever the settings, takes `SpinEdit4` instead when
/// `CheckBox4` is on, and copies that clip-art into `cut`; a number outside 1..32 leaves `cut` as it was.
void print03Click(Session& session);

/// `SpinEdit4Change`: `print03Click`, then `Image5` takes a copy of `cut`.
void SpinEdit4Change(Session& session);

}  // namespace kirune
