#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "assets/embedded_assets.h"
#include "problems/random.h"
#include "render/fill_in_engine.h"
#include "render/image_set.h"
#include "render/picture_names.h"
#include "render/presets.h"
#include "render/session.h"
#include "render/trace_canvas.h"
#include "trace_fixture.h"

namespace kirune {
namespace {

// Where a picture has ink (dark strokes): its bounding box and how much of it there is.
struct Ink {
  int left = 0, top = 0, right = -1, bottom = -1;  // inclusive; right < left when there is none
  double fraction = 0;
  int width() const { return right - left + 1; }
  int height() const { return bottom - top + 1; }
  double centreY() const { return (top + bottom) / 2.0; }
};

// A picture of the built-in set with its pixels decoded.
const Picture& decodedPicture(std::string_view name) { return withPixels(ImageSet::builtIn().get(name)); }

int grey(const Picture& p, int x, int y) {
  const auto i = static_cast<std::size_t>((y * p.width + x) * p.channels);
  return p.channels == 1 ? p.pixels[i] : (p.pixels[i] + p.pixels[i + 1] + p.pixels[i + 2]) / 3;
}

Ink inkOf(const Picture& p) {
  Ink ink{p.width, p.height, -1, -1, 0};
  int dark = 0;
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x)
      if (grey(p, x, y) < 128) {
        ++dark;
        ink.left = std::min(ink.left, x);
        ink.right = std::max(ink.right, x);
        ink.top = std::min(ink.top, y);
        ink.bottom = std::max(ink.bottom, y);
      }
  ink.fraction = static_cast<double>(dark) / (p.width * p.height);
  return ink;
}

// The ink of a digit or sign picture in the pixels of its 101 x 142 cell, whatever multiple it is stored at.
Ink inCell(const Picture& p) {
  Ink ink = inkOf(p);
  const int k = p.height / 142;
  if (k > 1) {
    ink.left /= k;
    ink.right /= k;
    ink.top /= k;
    ink.bottom /= k;
  }
  return ink;
}

// Share of pixels that stand out from the most common grey level: near 0 for a blank picture.
double offBackground(const Picture& p) {
  std::vector<int> histogram(256, 0);
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) ++histogram[static_cast<std::size_t>(grey(p, x, y))];
  const int background =
      static_cast<int>(std::max_element(histogram.begin(), histogram.end()) - histogram.begin());
  int off = 0;
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) off += std::abs(grey(p, x, y) - background) > 64 ? 1 : 0;
  return static_cast<double>(off) / (p.width * p.height);
}

std::string extensionOf(StoredFormat format) {
  switch (format) {
    case StoredFormat::Jpeg:
      return ".jpg";
    case StoredFormat::Icon:
      return ".ico";
    default:
      return ".bmp";
  }
}

TEST(Catalogue, NamesEachPictureOnceWithAFileOfItsFormat) {
  std::set<std::string_view> names, files;
  for (const CatalogueEntry& e : catalogue()) {
    SCOPED_TRACE(std::string(e.name));
    EXPECT_TRUE(names.insert(e.name).second);
    EXPECT_TRUE(files.insert(e.file).second);
    EXPECT_EQ(std::string(e.file), std::string(e.name) + extensionOf(e.format));
    EXPECT_GT(e.width, 0);
    EXPECT_GT(e.height, 0);
  }
  // Image1..Image52 of the image form and eight pictures of the main window; `cut` stores nothing.
  EXPECT_EQ(names.size(), 60u);
  for (int k = 1; k <= 52; ++k) EXPECT_TRUE(names.count("TForm2.Image" + std::to_string(k))) << k;
  EXPECT_FALSE(names.count("TForm1.cut"));
}

// A misspelt constant would only fail when a sheet or the window first asks for that picture.
TEST(Catalogue, HoldsEveryNamedPicture) {
  const std::vector<std::string_view> named = {
      pictures::kNameLabel,  pictures::kOpenParen,      pictures::kCloseParen,  pictures::kMinutes,
      pictures::kSeconds,    pictures::kRemainder,      pictures::kEmptyCircle, pictures::kEmptyBox,
      pictures::kWindowZero, pictures::kClipArtPreview, pictures::kWindowIcon,  pictures::kPrinterSetupIcon,
      pictures::kBanner};
  std::set<std::string_view> names;
  for (const CatalogueEntry& e : catalogue()) names.insert(e.name);
  for (std::string_view name : named) EXPECT_TRUE(names.count(name)) << name;
  for (std::string_view name : pictures::kGlyphs) EXPECT_TRUE(names.count(name)) << name;
}

TEST(Catalogue, EveryFileIsCompiledInAndNothingElse) {
  std::vector<std::string_view> expected;
  for (const CatalogueEntry& e : catalogue()) expected.push_back(e.file);
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(assetFiles(), expected);
  EXPECT_TRUE(assetBytes("no-such-picture.bmp").empty());
}

TEST(BuiltInImages, EveryPictureDecodesInItsCatalogueSizeAndIsNotBlank) {
  const ImageSet& images = ImageSet::builtIn();
  EXPECT_EQ(&images, &ImageSet::builtIn());  // one set for the process
  ASSERT_EQ(images.pictures().size(), catalogue().size());
  for (const CatalogueEntry& e : catalogue()) {
    SCOPED_TRACE(std::string(e.name));
    const Picture& undecoded = images.get(e.name);
    const Picture& p = images.withPixels(undecoded);
    EXPECT_EQ(&p, &undecoded);  // decoded in place: what get() handed out holds the pixels now
    EXPECT_EQ(p.format, e.format);
    EXPECT_EQ(p.width, e.width);
    EXPECT_EQ(p.height, e.height);
    EXPECT_EQ(p.pixels.size(), static_cast<std::size_t>(p.width * p.height * p.channels));
    if (e.format == StoredFormat::Bmp8Grey) {
      EXPECT_EQ(p.channels, 1);
    } else if (e.format != StoredFormat::Jpeg) {
      EXPECT_EQ(p.channels, 3);
    }
    EXPECT_GT(offBackground(p), 0.005) << "blank";
    // Everything drawn on paper is dark strokes on white; only the window's buttons may be otherwise.
    if (!e.name.starts_with("TForm1.BitBtn")) {
      const Ink ink = inkOf(p);
      EXPECT_GT(ink.fraction, 0.005) << "no strokes";
      EXPECT_LT(ink.fraction, 0.6) << "no white background";
    }
  }
}

// The shapes the pictures are drawn for, stored at an integer multiple so that they print sharp.
// Pictures are decoded when their pixels are first asked for: threads asking at once for the same
// pictures all get the one copy, decoded exactly as the stored file says.
TEST(BuiltInImages, ThreadsAskingAtOnceGetOneCopyDecodedOnce) {
  const ImageSet& images = ImageSet::builtIn();
  std::vector<std::vector<const Picture*>> seen(4);
  std::vector<std::thread> threads;
  for (auto& mine : seen) {
    threads.emplace_back([&images, &mine] {
      for (const CatalogueEntry& e : catalogue()) mine.push_back(&withPixels(images.get(e.name)));
    });
  }
  for (std::thread& t : threads) t.join();
  for (std::size_t i = 0; i < catalogue().size(); ++i) {
    const CatalogueEntry& e = catalogue()[i];
    SCOPED_TRACE(std::string(e.name));
    for (const auto& mine : seen) EXPECT_EQ(mine[i], seen[0][i]);
    EXPECT_EQ(images.indexOf(*seen[0][i]), static_cast<std::ptrdiff_t>(i));
    EXPECT_EQ(seen[0][i]->pixels, decodePicture(e.name, e.format, assetBytes(e.file)).pixels);
  }
  const Picture elsewhere = *seen[0][0];
  EXPECT_EQ(images.indexOf(elsewhere), -1);
}

TEST(BuiltInImages, ShapesAreThoseTheEnginesStretchThemTo) {
  struct Shape {
    const char* name;
    int width, height;
    int multiple;
  };
  const Shape shapes[] = {
      {"TForm2.Image11", 101, 142, 2}, {"TForm2.Image13", 101, 142, 2}, {"TForm2.Image35", 101, 142, 2},
      {"TForm2.Image51", 60, 76, 2},   {"TForm2.Image52", 100, 100, 3}, {"TForm2.Image41", 300, 100, 2},
      {"TForm2.Image42", 35, 113, 2},  {"TForm1.Image6", 61, 142, 1},   {"TForm1.Image8", 178, 86, 2},
      {"TForm1.Image4", 32, 32, 1},    {"TForm2.Image48", 120, 120, 4}, {"TForm1.Image5", 120, 120, 1}};
  for (const Shape& s : shapes) {
    const Picture& p = ImageSet::builtIn().get(s.name);
    EXPECT_EQ(p.width, s.width * s.multiple) << s.name;
    EXPECT_EQ(p.height, s.height * s.multiple) << s.name;
  }
  EXPECT_EQ(ImageSet::builtIn().get("TForm2.Image13").format, StoredFormat::Bmp24);
}

// Every picture a preset draws on an A4 page at 600 dpi has 300 pixels per inch or more there, at the
// largest size any preset draws it: every preset with every part of the sheet switched on.
TEST(BuiltInImages, EveryPicturePrintsAtThreeHundredPixelsPerInchOnA4) {
  std::map<std::string, std::pair<int, int>> largest;  // picture -> widest, tallest draw
  for (const Preset& preset : presets()) {
    for (std::uint64_t seed : {1U, 2U, 3U}) {
      Random rng{seed};
      Session session{ImageSet::builtIn(), rng};
      Settings& s = session.settings;
      s.CheckBox1 = s.CheckBox2 = s.CheckBox15 = s.CheckBox16 = true;
      for (auto box : Settings::timesRowBoxes) s.*box = true;
      for (auto box : Settings::decomposeBoxes) s.*box = true;
      std::ostringstream out;
      TraceCanvas canvas{out, 4958, 7017};
      runPreset(preset, session, canvas);
      for (const testing::Op& op : testing::parseTrace(out.str())) {
        if (op.kind != "draw") continue;
        auto& [w, h] = largest[op.name];
        w = std::max(w, op.numbers[2] - op.numbers[0]);
        h = std::max(h, op.numbers[3] - op.numbers[1]);
      }
    }
  }
  EXPECT_GE(largest.size(), 20u);
  for (const auto& [name, size] : largest) {
    const Picture& p = ImageSet::builtIn().get(name);
    EXPECT_GE(p.width * 600, 300 * size.first) << name << " drawn " << size.first << " wide";
    EXPECT_GE(p.height * 600, 300 * size.second) << name << " drawn " << size.second << " high";
  }
}

TEST(BuiltInImages, DigitsStandInTheirRowSpanClearOfTheCellEdges) {
  std::vector<std::string> digits = {"TForm1.Image"};  // the staging slot's own 0
  for (int k = 11; k <= 20; ++k) digits.push_back("TForm2.Image" + std::to_string(k));
  for (const std::string& name : digits) {
    SCOPED_TRACE(name);
    const Ink ink = inCell(decodedPicture(name));
    EXPECT_GE(ink.top, 6);
    EXPECT_LE(ink.top, 30);
    EXPECT_GE(ink.bottom, 112);
    EXPECT_LE(ink.bottom, 136);
    EXPECT_GE(ink.left, 2);
    EXPECT_LE(ink.right, 98);
  }
}

TEST(BuiltInImages, SignsSitAtMidHeightClearOfTheCellEdges) {
  struct Sign {
    const char* name;
    int minHeight, maxHeight;  // of the ink
  };
  const Sign signs[] = {{"TForm2.Image31", 8, 40},     // =
                        {"TForm2.Image32", 40, 100},   // +
                        {"TForm2.Image33", 2, 20},     // -
                        {"TForm2.Image34", 30, 90},    // ×
                        {"TForm2.Image35", 30, 100}};  // ÷
  for (const Sign& s : signs) {
    SCOPED_TRACE(s.name);
    const Ink ink = inCell(decodedPicture(s.name));
    EXPECT_NEAR(ink.centreY(), 71, 12);
    EXPECT_GE(ink.height(), s.minHeight);
    EXPECT_LE(ink.height(), s.maxHeight);
    EXPECT_GE(ink.left, 2);
    EXPECT_LE(ink.right, 98);
    EXPECT_GT(ink.width(), 40);
  }
}

TEST(BuiltInImages, BoxAndCircleRunEdgeToEdgeAndAreEmptyInside) {
  for (const char* name : {"TForm2.Image51", "TForm2.Image52"}) {
    SCOPED_TRACE(name);
    const Picture& p = decodedPicture(name);
    const Ink ink = inkOf(p);
    EXPECT_LE(ink.left, 2);
    EXPECT_LE(ink.top, 2);
    EXPECT_GE(ink.right, p.width - 3);
    EXPECT_GE(ink.bottom, p.height - 3);
    EXPECT_GT(grey(p, p.width / 2, p.height / 2), 200) << "the inside is for the pupil's answer";
  }
}

// On a fill-in answer sheet the digit's opaque picture lies over the box, kFillInBoxMargin inside its
// top and bottom: stretched to the largest fill-in box on A4, the box's lines must stay in that margin
// wherever the digit lies, or the digit cuts them.
TEST(BuiltInImages, BoxLinesStayClearOfTheAnswerDigitAtEveryFillInSize) {
  const Picture& box = decodedPicture(pictures::kEmptyBox);
  for (int item = 0; item <= 7; ++item) {
    const PageMetrics m = fillInPageMetrics(item, 7017);
    if (m.glyphHeight == 0) continue;
    SCOPED_TRACE(item);
    const double scaleX = static_cast<double>(m.glyphWidth + kFillInBoxExtra) / box.width;
    const double scaleY = static_cast<double>(m.glyphHeight + 2 * kFillInBoxMargin) / box.height;
    // Columns of the picture under the digit's cell, which starts kFillInDigitShift inside the box.
    const int from = static_cast<int>(kFillInDigitShift / scaleX);
    const int to = box.width - 1 - from;
    for (int x = from; x <= to; ++x) {
      for (int y = 0; y < box.height / 4; ++y) {
        if (grey(box, x, y) < 200) {
          EXPECT_LE((y + 1) * scaleY, kFillInBoxMargin) << "top, column " << x;
        }
        const int fromBottom = box.height - 1 - y;
        if (grey(box, x, fromBottom) < 200) {
          EXPECT_LE((y + 1) * scaleY, kFillInBoxMargin) << "bottom, column " << x;
        }
      }
    }
  }
}

TEST(BuiltInImages, HeaderWordsAndMarksHaveTheirShapes) {
  const Ink name = inkOf(decodedPicture("TForm2.Image41"));
  EXPECT_GT(name.width(), 2 * name.height()) << "なまえ is written in one wide line";
  for (const char* paren : {"TForm2.Image42", "TForm2.Image43"}) {
    const Ink ink = inkOf(decodedPicture(paren));
    EXPECT_GT(ink.height(), 3 * ink.width()) << paren;
  }
  // The left parenthesis bulges left, the right one right: their middles lie on opposite sides.
  const Picture& left = decodedPicture("TForm2.Image42");
  const Picture& right = decodedPicture("TForm2.Image43");
  auto inkColumnAtMiddle = [](const Picture& p) {
    for (int x = 0; x < p.width; ++x)
      if (grey(p, x, p.height / 2) < 128) return x;
    return -1;
  };
  EXPECT_LT(inkColumnAtMiddle(left), inkColumnAtMiddle(right));
}

}  // namespace
}  // namespace kirune
