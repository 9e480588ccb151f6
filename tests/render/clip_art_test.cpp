#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "render/clip_art.h"

namespace kirune {
namespace {

// Every catalogue entry as a small white picture: the selection only moves references around, so the
// pixels do not matter, and the tests do not depend on the artwork.
ImageSet catalogueStandIns() {
  std::vector<Picture> pictures;
  for (const CatalogueEntry& e : catalogue()) {
    pictures.push_back(Picture{std::string(e.name), e.format, 1, 1, 1, {255}});
  }
  return ImageSet(std::move(pictures));
}

const CatalogueEntry* entryNamed(std::string_view name) {
  for (const CatalogueEntry& e : catalogue())
    if (e.name == name) return &e;
  return nullptr;
}

TEST(ClipArtNumbering, RunsThroughFourBlocksOfPictures) {
  const std::pair<int, std::string_view> cases[] = {{1, "TForm2.Image1"},
                                                    {10, "TForm2.Image10"},
                                                    {11, "TForm2.Image21"},
                                                    {20, "TForm2.Image30"},
                                                    {21, "TForm2.Image36"},
                                                    {25, "TForm2.Image40"},
                                                    {26, "TForm2.Image44"},
                                                    {30, "TForm2.Image48"},
                                                    {32, "TForm2.Image50"},
                                                    {0, ""},
                                                    {33, ""},
                                                    {-1, ""}};
  for (const auto& [n, name] : cases) EXPECT_EQ(clipArtPictureName(n), name) << n;
}

TEST(ClipArtNumbering, EveryNumberIsASquareClipArtNeverAGlyph) {
  std::set<std::string_view> seen;
  for (int n = 1; n <= 32; ++n) {
    SCOPED_TRACE(n);
    const CatalogueEntry* e = entryNamed(clipArtPictureName(n));
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->format, StoredFormat::Jpeg);
    EXPECT_EQ(e->width, 480);  // 120 x 120 drawn four times finer, to print sharp
    EXPECT_EQ(e->height, 480);
    EXPECT_TRUE(seen.insert(e->name).second) << "two numbers share " << e->name;
  }
}

TEST(Session, SlotsStartWithTheWindowsOwnPictures) {
  const ImageSet images = catalogueStandIns();
  Random rng(1);
  const Session session(images, rng);
  EXPECT_EQ(session.Image, &images.get("TForm1.Image"));
  EXPECT_EQ(session.Image5, &images.get("TForm1.Image5"));
  EXPECT_EQ(session.cut, nullptr);

  const ImageSet small({Picture{"TForm2.Image11", StoredFormat::Bmp8Palette, 1, 1, 1, {0}}});
  const Session bare(small, rng);
  EXPECT_EQ(bare.Image, nullptr);
  EXPECT_EQ(bare.Image5, nullptr);
}

TEST(Print03Click, AFixedNumberGivesItsPictureOnEveryCall) {
  const ImageSet images = catalogueStandIns();
  Random rng(5);
  for (const auto& [n, name] :
       {std::pair{1, "TForm2.Image1"}, std::pair{11, "TForm2.Image21"}, std::pair{26, "TForm2.Image44"},
        std::pair{30, "TForm2.Image48"}, std::pair{32, "TForm2.Image50"}}) {
    Session session(images, rng);
    session.settings.CheckBox4 = true;
    session.settings.SpinEdit4 = n;
    for (int call = 0; call < 3; ++call) {
      print03Click(session);
      EXPECT_EQ(session.cut, &images.get(name)) << n << " call " << call;
    }
  }
}

TEST(Print03Click, ANumberOutsideTheTableKeepsThePreviousPicture) {
  const ImageSet images = catalogueStandIns();
  Random rng(5);
  for (int n : {0, 33}) {
    SCOPED_TRACE(n);
    Session session(images, rng);
    session.settings.CheckBox4 = true;
    session.settings.SpinEdit4 = n;
    print03Click(session);
    EXPECT_EQ(session.cut, nullptr) << "an empty cut stays empty";

    session.settings.SpinEdit4 = 7;
    print03Click(session);
    session.settings.SpinEdit4 = n;
    print03Click(session);
    EXPECT_EQ(session.cut, &images.get("TForm2.Image7"));
  }
}

TEST(Print03Click, ReseedsAndDrawsEvenWhenTheNumberIsFixed) {
  const ImageSet images = catalogueStandIns();
  Random used(99);
  Session session(images, used);
  session.settings.CheckBox4 = true;
  session.settings.SpinEdit4 = 3;
  print03Click(session);

  Random drew(99);
  drew.reseed();
  drew.random(32);
  Random onlyReseeded(99);
  onlyReseeded.reseed();
  const int afterDraw = drew.random(1 << 30);
  ASSERT_NE(afterDraw, onlyReseeded.random(1 << 30)) << "the two streams must be told apart";
  EXPECT_EQ(used.random(1 << 30), afterDraw);
}

TEST(Print03Click, WithoutAFixedNumberDrawsEveryClipArtAndIgnoresSpinEdit4) {
  const ImageSet images = catalogueStandIns();
  std::set<std::string_view> clipArt;
  for (int n = 1; n <= 32; ++n) clipArt.insert(clipArtPictureName(n));

  Random rngA(2024), rngB(2024);
  Session a(images, rngA), b(images, rngB);
  a.settings.SpinEdit4 = 1;
  b.settings.SpinEdit4 = 32;
  std::set<std::string_view> drawn;
  for (int call = 0; call < 2000; ++call) {
    print03Click(a);
    print03Click(b);
    ASSERT_NE(a.cut, nullptr);
    ASSERT_TRUE(clipArt.count(a.cut->name)) << a.cut->name;
    ASSERT_EQ(a.cut, b.cut) << "SpinEdit4 counts only with CheckBox4";
    drawn.insert(a.cut->name);
  }
  EXPECT_EQ(drawn, clipArt);
}

TEST(SpinEdit4Change, SelectsThenCopiesCutIntoImage5) {
  const ImageSet images = catalogueStandIns();
  Random rng(3);
  Session session(images, rng);
  session.settings.CheckBox4 = true;
  session.settings.SpinEdit4 = 12;
  SpinEdit4Change(session);
  EXPECT_EQ(session.cut, &images.get("TForm2.Image22"));
  EXPECT_EQ(session.Image5, session.cut);

  session.settings.CheckBox4 = false;
  SpinEdit4Change(session);
  EXPECT_EQ(session.Image5, session.cut);

  // An empty cut is copied as it is.
  Session fresh(images, rng);
  fresh.settings.CheckBox4 = true;
  fresh.settings.SpinEdit4 = 0;
  SpinEdit4Change(fresh);
  EXPECT_EQ(fresh.cut, nullptr);
  EXPECT_EQ(fresh.Image5, nullptr);
}

}  // namespace
}  // namespace kirune
