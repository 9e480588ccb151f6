#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "render/image_set.h"
#include "tests/render/picture_fixtures.h"

namespace kirune {
namespace {

using fixtures::Bytes;
using fixtures::Image;
using fixtures::Rgb;

constexpr const char* kName = "TForm2.Image99";

// 7 x 5: an odd width, so every stored row carries padding.
Image paletteImage() {
  Image image{7, 5, {{10, 20, 30}, {200, 0, 0}, {0, 150, 0}, {5, 5, 250}}, {}, {}, {}};
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) image.index.push_back(static_cast<std::uint8_t>((x + 2 * y) % 4));
  return image;
}

Image greyImage() {
  Image image{5, 4, {{0, 0, 0}, {90, 90, 90}, {180, 180, 180}, {255, 255, 255}}, {}, {}, {}};
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) image.index.push_back(static_cast<std::uint8_t>((x * y + x) % 4));
  return image;
}

Image rgbImage(int width, int height) {
  Image image{width, height, {}, {}, {}, {}};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      image.rgb.push_back(Rgb{static_cast<std::uint8_t>(40 * x), static_cast<std::uint8_t>(60 * y),
                              static_cast<std::uint8_t>(255 - 7 * (x + y))});
      image.alpha.push_back(255);
    }
  return image;
}

Rgb decodedAt(const Picture& p, int x, int y) {
  const auto i = static_cast<std::size_t>((y * p.width + x) * p.channels);
  if (p.channels == 1) return Rgb{p.pixels[i], p.pixels[i], p.pixels[i]};
  return Rgb{p.pixels[i], p.pixels[i + 1], p.pixels[i + 2]};
}

void expectSamePixels(const Picture& picture, const Image& image) {
  ASSERT_EQ(picture.width, image.width);
  ASSERT_EQ(picture.height, image.height);
  ASSERT_EQ(picture.pixels.size(), static_cast<std::size_t>(image.width * image.height * picture.channels));
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x)
      ASSERT_EQ(decodedAt(picture, x, y), image.at(x, y)) << x << "," << y;
}

TEST(BmpDecoding, ReadsEveryLayoutPixelForPixel) {
  struct Case {
    const char* label;
    Image image;
    int bits;
    bool topDown;
    StoredFormat format;
    int channels;
  };
  const Case cases[] = {
      {"8-bit palette, bottom-up", paletteImage(), 8, false, StoredFormat::Bmp8Palette, 3},
      {"8-bit palette, top-down", paletteImage(), 8, true, StoredFormat::Bmp8Palette, 3},
      {"8-bit grey", greyImage(), 8, false, StoredFormat::Bmp8Grey, 1},
      {"24-bit, bottom-up", rgbImage(3, 4), 24, false, StoredFormat::Bmp24, 3},
      {"24-bit, top-down", rgbImage(5, 2), 24, true, StoredFormat::Bmp24, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const Picture picture = decodePicture(kName, c.format, fixtures::bmpFile(c.image, c.bits, c.topDown));
    EXPECT_EQ(picture.name, kName);
    EXPECT_EQ(picture.format, c.format);
    EXPECT_EQ(picture.channels, c.channels);
    expectSamePixels(picture, c.image);
  }
}

// A 32 x 32 icon image at `bits` whose left four columns are masked out, behind a 16 x 16 image that
// comes first in the directory.
Bytes iconFile(int bits) {
  fixtures::IconImage small{Image{16, 16, {{255, 0, 0}}, std::vector<std::uint8_t>(256, 0), {}, {}}, 4,
                            std::vector<std::uint8_t>(256, 0)};
  fixtures::IconImage large;
  large.bits = bits;
  if (bits <= 8) {
    large.image = Image{32, 32, {}, {}, {}, {}};
    for (int i = 0; i < 16; ++i)
      large.image.palette.push_back(
          Rgb{static_cast<std::uint8_t>(16 * i), 0, static_cast<std::uint8_t>(255 - 16 * i)});
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x) large.image.index.push_back(static_cast<std::uint8_t>((x + y) % 16));
  } else {
    large.image = rgbImage(32, 32);
  }
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) large.mask.push_back(x < 4 ? 1 : 0);
  return fixtures::icoFile({small, large});
}

TEST(IconDecoding, TakesThe32x32ImageAndWhitensWhatTheMaskHides) {
  for (int bits : {4, 8, 24, 32}) {
    SCOPED_TRACE(bits);
    const Picture picture = decodePicture(kName, StoredFormat::Icon, iconFile(bits));
    ASSERT_EQ(picture.width, 32);
    ASSERT_EQ(picture.height, 32);
    ASSERT_EQ(picture.channels, 3);
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x) {
        const Rgb expected = x < 4       ? Rgb{255, 255, 255}
                             : bits <= 8 ? Rgb{static_cast<std::uint8_t>(16 * ((x + y) % 16)), 0,
                                               static_cast<std::uint8_t>(255 - 16 * ((x + y) % 16))}
                                         : rgbImage(32, 32).at(x, y);
        ASSERT_EQ(decodedAt(picture, x, y), expected) << x << "," << y;
      }
  }
}

// Flat 8 x 8 blocks survive JPEG compression within a few levels.
Bytes jpegBlocks(int channels, int width = 24, int height = 16) {
  std::vector<std::uint8_t> pixels;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const int block = (x / 8 + y / 8) % 3;
      if (channels == 1) {
        pixels.push_back(static_cast<std::uint8_t>(block * 120));
      } else {
        const Rgb colours[] = {{250, 250, 250}, {200, 30, 30}, {20, 20, 20}};
        pixels.push_back(colours[block].r);
        pixels.push_back(colours[block].g);
        pixels.push_back(colours[block].b);
      }
    }
  return fixtures::jpegFile(width, height, channels, pixels);
}

TEST(JpegDecoding, GreyGivesOneChannelAndColourThree) {
  for (int channels : {1, 3}) {
    SCOPED_TRACE(channels);
    const Picture picture = decodePicture(kName, StoredFormat::Jpeg, jpegBlocks(channels));
    EXPECT_EQ(picture.name, kName);
    EXPECT_EQ(picture.format, StoredFormat::Jpeg);
    ASSERT_EQ(picture.width, 24);
    ASSERT_EQ(picture.height, 16);
    ASSERT_EQ(picture.channels, channels);
    ASSERT_EQ(picture.pixels.size(), std::size_t{24 * 16} * static_cast<std::size_t>(channels));
    // The centre of each block keeps its colour.
    for (int by = 0; by < 2; ++by)
      for (int bx = 0; bx < 3; ++bx) {
        const int block = (bx + by) % 3;
        const Rgb got = decodedAt(picture, 8 * bx + 4, 8 * by + 4);
        const Rgb want = channels == 1 ? Rgb{static_cast<std::uint8_t>(block * 120),
                                             static_cast<std::uint8_t>(block * 120),
                                             static_cast<std::uint8_t>(block * 120)}
                         : block == 0  ? Rgb{250, 250, 250}
                         : block == 1  ? Rgb{200, 30, 30}
                                       : Rgb{20, 20, 20};
        EXPECT_NEAR(got.r, want.r, 12);
        EXPECT_NEAR(got.g, want.g, 12);
        EXPECT_NEAR(got.b, want.b, 12);
      }
  }
}

struct Sample {
  const char* label;
  StoredFormat format;
  Bytes bytes;
};

std::vector<Sample> validSamples() {
  return {
      {"8-bit BMP", StoredFormat::Bmp8Palette, fixtures::bmpFile(paletteImage(), 8)},
      {"grey BMP", StoredFormat::Bmp8Grey, fixtures::bmpFile(greyImage(), 8, true)},
      {"24-bit BMP", StoredFormat::Bmp24, fixtures::bmpFile(rgbImage(3, 4), 24)},
      {"4-bit icon", StoredFormat::Icon, iconFile(4)},
      {"32-bit icon", StoredFormat::Icon, iconFile(32)},
      {"grey JPEG", StoredFormat::Jpeg, jpegBlocks(1)},
      {"colour JPEG", StoredFormat::Jpeg, jpegBlocks(3)},
  };
}

void expectRejected(StoredFormat format, const Bytes& bytes) {
  try {
    decodePicture(kName, format, bytes);
    ADD_FAILURE() << "decoded without complaint";
  } catch (const DecodeError& e) {
    EXPECT_NE(std::string(e.what()).find(kName), std::string::npos) << e.what();
  }
}

TEST(Decoding, RejectsAFileCutAnywhere) {
  for (const Sample& sample : validSamples()) {
    SCOPED_TRACE(sample.label);
    ASSERT_NO_THROW(decodePicture(kName, sample.format, sample.bytes));
    for (std::size_t size = 0; size < sample.bytes.size(); ++size) {
      SCOPED_TRACE(size);
      expectRejected(sample.format,
                     Bytes(sample.bytes.begin(), sample.bytes.begin() + static_cast<long>(size)));
    }
  }
}

TEST(Decoding, RejectsForeignFiles) {
  const Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R',
                     0,    0,   0,   32,  0,    0,    0,    32,   8, 6, 0, 0,  0,   0,   0,   0};
  std::mt19937 rng(7);
  Bytes noise(600);
  for (auto& b : noise) b = static_cast<std::uint8_t>(rng());
  const Bytes text = {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '\n'};
  const StoredFormat formats[] = {StoredFormat::Bmp8Palette, StoredFormat::Bmp8Grey, StoredFormat::Bmp24,
                                  StoredFormat::Jpeg, StoredFormat::Icon};
  for (StoredFormat format : formats) {
    SCOPED_TRACE(static_cast<int>(format));
    for (const Bytes& bytes : {png, noise, text}) expectRejected(format, bytes);
  }
  // A real picture of the wrong kind is as foreign as noise.
  expectRejected(StoredFormat::Bmp8Palette, jpegBlocks(3));
  expectRejected(StoredFormat::Jpeg, fixtures::bmpFile(paletteImage(), 8));
  expectRejected(StoredFormat::Icon, fixtures::bmpFile(paletteImage(), 8));
  expectRejected(StoredFormat::Bmp8Palette, fixtures::bmpFile(rgbImage(3, 4), 24));
  expectRejected(StoredFormat::Bmp24, fixtures::bmpFile(paletteImage(), 8));
  expectRejected(StoredFormat::Bmp8Grey, fixtures::bmpFile(paletteImage(), 8));  // colour palette
}

void put32At(Bytes& bytes, std::size_t at, std::uint32_t value) { fixtures::set32(bytes, at, value); }

TEST(Decoding, RejectsHeadersThatLie) {
  const Bytes bmp = fixtures::bmpFile(paletteImage(), 8);
  const Bytes ico = iconFile(4);
  struct Case {
    const char* label;
    StoredFormat format;
    Bytes bytes;
  };
  std::vector<Case> cases;
  auto bmpWith = [&](const char* label, std::size_t at, std::uint32_t value) {
    Bytes b = bmp;
    put32At(b, at, value);
    cases.push_back({label, StoredFormat::Bmp8Palette, b});
  };
  bmpWith("huge width", 18, 100000);
  bmpWith("huge height", 22, 0x7fffffff);
  bmpWith("most negative height", 22, 0x80000000);
  bmpWith("large size with no pixels behind it", 18, 4000);
  bmpWith("zero width", 18, 0);
  bmpWith("negative width", 18, 0xfffffff0);
  bmpWith("run-length compressed", 30, 1);
  bmpWith("pixel data past the end", 10, 0xfffffff0);
  bmpWith("palette larger than 8 bits allow", 46, 300);
  bmpWith("header size past the end", 14, 0xffffff00);
  {
    Bytes b = bmp;
    put32At(b, 46, 2);  // two palette colours, but the pixels use indices up to 3
    cases.push_back({"index outside the palette", StoredFormat::Bmp8Palette, b});
  }
  {
    Bytes b = ico;
    b[4] = b[5] = 0;
    cases.push_back({"icon without images", StoredFormat::Icon, b});
  }
  {
    Bytes b = ico;
    put32At(b, 6 + 16 + 12, static_cast<std::uint32_t>(ico.size()));  // 32 x 32 entry's offset
    cases.push_back({"icon image past the end", StoredFormat::Icon, b});
  }
  {
    Bytes b = ico;
    const std::size_t at = std::size_t{ico[6 + 16 + 12]} | (std::size_t{ico[6 + 16 + 13]} << 8);
    b[at] = 0x89, b[at + 1] = 'P', b[at + 2] = 'N', b[at + 3] = 'G';
    cases.push_back({"icon holding a PNG", StoredFormat::Icon, b});
  }
  {
    Bytes b = jpegBlocks(3);
    for (std::size_t i = 0; i + 8 < b.size(); ++i)
      if (b[i] == 0xff && b[i + 1] == 0xc0) {
        b[i + 5] = b[i + 6] = b[i + 7] = b[i + 8] = 0xfe;  // 65278 x 65278
        break;
      }
    cases.push_back({"JPEG of giant size", StoredFormat::Jpeg, b});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    expectRejected(c.format, c.bytes);
  }
}

// Damaged files either decode to a consistent picture or are rejected; under the sanitizers this also
// shows that no damage makes a decoder read or write outside its buffers.
TEST(Decoding, DamagedFilesNeverEscapeTheDecoder) {
  std::mt19937 rng(20240601);
  for (const Sample& sample : validSamples()) {
    SCOPED_TRACE(sample.label);
    for (int round = 0; round < 400; ++round) {
      Bytes bytes = sample.bytes;
      const int changes = 1 + static_cast<int>(rng() % 4);
      for (int k = 0; k < changes; ++k) {
        // Mostly the headers, where a wrong value steers the decoder.
        const std::size_t span = rng() % 2 ? std::min<std::size_t>(bytes.size(), 128) : bytes.size();
        bytes[rng() % span] = static_cast<std::uint8_t>(rng());
      }
      try {
        const Picture picture = decodePicture(kName, sample.format, bytes);
        EXPECT_EQ(picture.pixels.size(), static_cast<std::size_t>(picture.width) *
                                             static_cast<std::size_t>(picture.height) *
                                             static_cast<std::size_t>(picture.channels));
      } catch (const DecodeError& e) {
        EXPECT_NE(std::string(e.what()).find(kName), std::string::npos);
      }
    }
  }
}

}  // namespace
}  // namespace kirune
