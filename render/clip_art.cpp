#include "render/clip_art.h"

#include <array>
#include <string>

#include "render/picture_names.h"

namespace kirune {
namespace {

// Clip-art numbers run through four blocks of pictures of the image form.
struct ClipArtBlock {
  int first;   // first clip-art number of the block
  int last;    // last clip-art number of the block
  int offset;  // picture number = clip-art number + offset
};

constexpr std::array<ClipArtBlock, 4> kClipArtBlocks = {{
    {1, 10, 0},    // Image1..Image10
    {11, 20, 10},  // Image21..Image30
    {21, 25, 15},  // Image36..Image40
    {26, 32, 18},  // Image44..Image50
}};

constexpr int kClipArtCount = 32;

}  // namespace

std::string_view clipArtPictureName(int n) {
  static const std::array<std::string, kClipArtCount + 1> names = [] {
    std::array<std::string, kClipArtCount + 1> table;
    for (const ClipArtBlock& block : kClipArtBlocks) {
      for (int k = block.first; k <= block.last; ++k) {
        table[static_cast<std::size_t>(k)] =
            std::string(pictures::kImageForm) + std::to_string(k + block.offset);
      }
    }
    return table;
  }();
  if (n < 1 || n > kClipArtCount) {
    return {};
  }
  return names[static_cast<std::size_t>(n)];
}

void print03Click(Session& session) {
  session.rng.reseed();
  // The draw is made whatever the settings, so the generator's stream does not depend on CheckBox4.
  int n = session.rng.random(kClipArtCount) + 1;
  if (session.settings.CheckBox4) {
    n = session.settings.SpinEdit4;
  }
  const std::string_view name = clipArtPictureName(n);
  if (!name.empty()) {
    session.cut = &session.images.get(name);
  }
}

void SpinEdit4Change(Session& session) {
  print03Click(session);
  session.Image5 = session.cut;
}

}  // namespace kirune
