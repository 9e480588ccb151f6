#pragma once

#include <string>

#include "problems/problem_pool.h"
#include "problems/random.h"
#include "problems/settings.h"
#include "render/image_set.h"
#include "render/picture.h"
#include "render/picture_names.h"

namespace kirune {

/// Everything one window (or one kirune-print run) owns for the length of the run, passed down to the
/// engines: the settings, the pool, the random generator, the pictures and the working picture slots.
struct Session {
  /// The slots start as the window's own pictures do: `Image` with TForm1.Image and `Image5` with
  /// TForm1.Image5, when the image set has them; `cut` starts empty.
  Session(const ImageSet& imageSet, Random& random)
      : images(imageSet),
        rng(random),
        Image(imageSet.find(pictures::kWindowZero)),
        Image5(imageSet.find(pictures::kClipArtPreview)) {}

  Settings settings;
  ProblemPool pool;
  const ImageSet& images;
  Random& rng;

  // Working slots hold a copy of the picture last copied into them; pictures are immutable, so the
  // copy is a reference to the catalogue's picture.
  const Picture* Image = nullptr;   ///< staging slot of the glyph selector; starts with TForm1.Image
  const Picture* cut = nullptr;     ///< clip-art of the next sheet; starts empty
  const Picture* Image5 = nullptr;  ///< second copy of the clip-art; starts with TForm1.Image5
  int glyphCode = 0;                ///< input of the glyph selector
  int pageHeight = 0;
  int pageWidth = 0;
  /// What the running preset prints ("くりあがり ２０"), handed to each document it starts.
  std::string title;
};

}  // namespace kirune
