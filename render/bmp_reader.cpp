#include "render/bmp_reader.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string>

#include "render/image_set.h"

namespace kirune {
namespace {

// Far above any picture of the program, low enough that width * height * 4 cannot overflow anything.
constexpr std::uint64_t kMaxSide = 1u << 12;

// Little-endian reads from a byte range; any read past its end is a truncated file.
class Reader {
 public:
  Reader(std::string_view name, std::span<const std::uint8_t> data) : name_(name), data_(data) {}

  std::span<const std::uint8_t> slice(std::uint64_t offset, std::uint64_t size) const {
    if (offset > data_.size() || size > data_.size() - offset) {
      fail("ファイルが途中で切れています");
    }
    return data_.subspan(static_cast<std::size_t>(offset), static_cast<std::size_t>(size));
  }
  std::uint16_t u16(std::uint64_t offset) const {
    auto b = slice(offset, 2);
    return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
  }
  std::uint32_t u32(std::uint64_t offset) const {
    auto b = slice(offset, 4);
    return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
           (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
  }
  std::int32_t i32(std::uint64_t offset) const { return static_cast<std::int32_t>(u32(offset)); }

  std::size_t size() const { return data_.size(); }
  std::string_view name() const { return name_; }
  [[noreturn]] void fail(std::string_view detail) const { throwDecodeError(name_, detail); }

 private:
  std::string_view name_;
  std::span<const std::uint8_t> data_;
};

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
};

// The BITMAPINFOHEADER (or a later, longer version of it) and the palette that follows it.
struct Dib {
  std::uint64_t width = 0;
  std::uint64_t height = 0;  // of the colour image; an icon's header counts the AND mask too
  bool topDown = false;
  int bits = 0;
  std::uint64_t dataOffset = 0;  // just after the palette
  std::vector<Rgb> palette;
};

Dib readDib(const Reader& r, std::uint64_t at, bool inIcon) {
  const std::uint32_t headerSize = r.u32(at);
  if (headerSize < 40) {
    r.fail("対応していない BMP の種類です");
  }
  r.slice(at, headerSize);
  const std::int64_t width = r.i32(at + 4);
  std::int64_t height = r.i32(at + 8);
  const int planes = r.u16(at + 12);
  Dib dib;
  dib.bits = r.u16(at + 14);
  const std::uint32_t compression = r.u32(at + 16);
  const std::uint32_t colorsUsed = r.u32(at + 32);
  if (planes != 1) {
    r.fail("BMP の見出しが壊れています");
  }
  if (compression != 0) {
    r.fail("圧縮された BMP には対応していません");
  }
  if (inIcon) {
    // An icon's header counts the colour image and the AND mask below it.
    if (height <= 0 || height % 2 != 0) {
      r.fail("アイコンの見出しが壊れています");
    }
    height /= 2;
  }
  dib.topDown = height < 0;
  if (height < 0) {
    height = -height;
  }
  if (width <= 0 || height == 0 || static_cast<std::uint64_t>(width) > kMaxSide ||
      static_cast<std::uint64_t>(height) > kMaxSide) {
    r.fail("画像の大きさが正しくありません");
  }
  dib.width = static_cast<std::uint64_t>(width);
  dib.height = static_cast<std::uint64_t>(height);

  std::uint64_t paletteSize = 0;
  if (dib.bits == 1 || dib.bits == 4 || dib.bits == 8) {
    const std::uint64_t maxColors = 1u << dib.bits;
    paletteSize = colorsUsed == 0 ? maxColors : colorsUsed;
    if (paletteSize > maxColors) {
      r.fail("BMP の色表が壊れています");
    }
  } else if (dib.bits != 24 && dib.bits != 32) {
    r.fail("対応していない色数の BMP です");
  }
  const std::uint64_t paletteAt = at + headerSize;
  auto entries = r.slice(paletteAt, paletteSize * 4);
  dib.palette.resize(static_cast<std::size_t>(paletteSize));
  for (std::size_t i = 0; i < dib.palette.size(); ++i) {
    dib.palette[i] = Rgb{entries[4 * i + 2], entries[4 * i + 1], entries[4 * i]};
  }
  dib.dataOffset = paletteAt + paletteSize * 4;
  return dib;
}

// Bytes per stored row: rows are padded to whole 32-bit words.
std::uint64_t rowStride(std::uint64_t width, int bits) {
  return (width * static_cast<std::uint64_t>(bits) + 31) / 32 * 4;
}

// The stored rows of an image, read in top-down order whichever way they are stored.
class Rows {
 public:
  Rows(std::span<const std::uint8_t> data, std::uint64_t stride, std::uint64_t height, bool topDown)
      : data_(data), stride_(stride), height_(height), topDown_(topDown) {}

  std::span<const std::uint8_t> row(std::uint64_t y) const {
    const std::uint64_t stored = topDown_ ? y : height_ - 1 - y;
    return data_.subspan(static_cast<std::size_t>(stored * stride_), static_cast<std::size_t>(stride_));
  }

 private:
  std::span<const std::uint8_t> data_;
  std::uint64_t stride_;
  std::uint64_t height_;
  bool topDown_;
};

// Colour of pixel x of a stored row of `dib.bits` bits per pixel.
Rgb pixelAt(const Reader& r, const Dib& dib, std::span<const std::uint8_t> row, std::uint64_t x) {
  if (dib.bits == 24 || dib.bits == 32) {
    const std::size_t at = static_cast<std::size_t>(x * static_cast<std::uint64_t>(dib.bits / 8));
    return Rgb{row[at + 2], row[at + 1], row[at]};
  }
  const std::uint64_t bit = x * static_cast<std::uint64_t>(dib.bits);
  const unsigned shift = 8u - static_cast<unsigned>(dib.bits) - static_cast<unsigned>(bit % 8);
  const unsigned index = (row[static_cast<std::size_t>(bit / 8)] >> shift) & ((1u << dib.bits) - 1u);
  if (index >= dib.palette.size()) {
    r.fail("色表にない色番号があります");
  }
  return dib.palette[index];
}

Picture emptyPicture(std::string_view name, StoredFormat format, const Dib& dib, int channels) {
  Picture picture;
  picture.name = std::string(name);
  picture.format = format;
  picture.width = static_cast<int>(dib.width);
  picture.height = static_cast<int>(dib.height);
  picture.channels = channels;
  picture.pixels.resize(static_cast<std::size_t>(dib.width * dib.height) *
                        static_cast<std::size_t>(channels));
  return picture;
}

bool isGrey(const Rgb& c) { return c.r == c.g && c.g == c.b; }

}  // namespace

Picture decodeBmp(std::string_view name, StoredFormat format, std::span<const std::uint8_t> bytes) {
  const Reader r(name, bytes);
  if (bytes.size() < 2 || bytes[0] != 'B' || bytes[1] != 'M') {
    r.fail("BMP ファイルではありません");
  }
  const std::uint32_t pixelOffset = r.u32(10);
  const Dib dib = readDib(r, 14, false);

  const int expectedBits = format == StoredFormat::Bmp24 ? 24 : 8;
  if ((format != StoredFormat::Bmp24 && format != StoredFormat::Bmp8Palette &&
       format != StoredFormat::Bmp8Grey) ||
      dib.bits != expectedBits) {
    r.fail("BMP の色数が決められた形式と違います");
  }
  const bool grey = format == StoredFormat::Bmp8Grey;
  if (grey) {
    for (const Rgb& c : dib.palette) {
      if (!isGrey(c)) {
        r.fail("灰色の BMP ではありません");
      }
    }
  }

  const std::uint64_t stride = rowStride(dib.width, dib.bits);
  const Rows rows(r.slice(pixelOffset, stride * dib.height), stride, dib.height, dib.topDown);
  Picture picture = emptyPicture(name, format, dib, grey ? 1 : 3);
  std::uint8_t* out = picture.pixels.data();
  for (std::uint64_t y = 0; y < dib.height; ++y) {
    const auto row = rows.row(y);
    for (std::uint64_t x = 0; x < dib.width; ++x) {
      const Rgb c = pixelAt(r, dib, row, x);
      if (grey) {
        *out++ = c.r;
      } else {
        *out++ = c.r;
        *out++ = c.g;
        *out++ = c.b;
      }
    }
  }
  return picture;
}

Picture decodeIcon(std::string_view name, std::span<const std::uint8_t> bytes) {
  const Reader file(name, bytes);
  if (bytes.size() < 6 || file.u16(0) != 0 || file.u16(2) != 1) {
    file.fail("アイコンのファイルではありません");
  }
  const std::uint16_t count = file.u16(4);
  if (count == 0) {
    file.fail("アイコンに画像がありません");
  }
  file.slice(6, 16u * count);

  // The 32 x 32 image with the most colours; without one, the largest image.
  std::uint64_t best = 0;
  auto rank = [&](std::uint64_t i) {
    const std::uint64_t at = 6 + 16 * i;
    const std::uint64_t w = bytes[at] == 0 ? 256 : bytes[at];
    const std::uint64_t h = bytes[at + 1] == 0 ? 256 : bytes[at + 1];
    const bool wanted = w == 32 && h == 32;
    return std::array<std::uint64_t, 3>{wanted ? 1u : 0u, w * h, file.u16(at + 6)};
  };
  for (std::uint64_t i = 1; i < count; ++i) {
    if (rank(i) > rank(best)) {
      best = i;
    }
  }
  const std::uint64_t entry = 6 + 16 * best;
  const Reader r(name, file.slice(file.u32(entry + 12), file.u32(entry + 8)));
  static constexpr std::array<std::uint8_t, 4> kPng = {0x89, 'P', 'N', 'G'};
  if (r.size() >= 4 && std::equal(kPng.begin(), kPng.end(), r.slice(0, 4).begin())) {
    r.fail("PNG を収めたアイコンには対応していません");
  }

  const Dib dib = readDib(r, 0, true);
  const std::uint64_t stride = rowStride(dib.width, dib.bits);
  const std::uint64_t maskStride = rowStride(dib.width, 1);
  const Rows colours(r.slice(dib.dataOffset, stride * dib.height), stride, dib.height, dib.topDown);
  const std::uint64_t maskAt = dib.dataOffset + stride * dib.height;
  // 32-bit images carry their own alpha; some writers leave out the mask behind them.
  const bool hasMask = dib.bits != 32 || maskAt + maskStride * dib.height <= r.size();
  const Rows mask(hasMask ? r.slice(maskAt, maskStride * dib.height) : std::span<const std::uint8_t>{},
                  maskStride, dib.height, dib.topDown);

  bool useAlpha = false;
  if (dib.bits == 32) {
    // Old writers leave the fourth byte zero; then it is padding, not transparency.
    for (std::uint64_t y = 0; y < dib.height && !useAlpha; ++y) {
      const auto row = colours.row(y);
      for (std::uint64_t x = 0; x < dib.width; ++x) {
        if (row[static_cast<std::size_t>(4 * x + 3)] != 0) {
          useAlpha = true;
          break;
        }
      }
    }
  }

  Picture picture = emptyPicture(name, StoredFormat::Icon, dib, 3);
  std::uint8_t* out = picture.pixels.data();
  for (std::uint64_t y = 0; y < dib.height; ++y) {
    const auto row = colours.row(y);
    for (std::uint64_t x = 0; x < dib.width; ++x) {
      Rgb c = pixelAt(r, dib, row, x);
      if (hasMask && ((mask.row(y)[static_cast<std::size_t>(x / 8)] >> (7 - x % 8)) & 1u)) {
        c = Rgb{255, 255, 255};  // transparent: pictures are opaque on white
      } else if (useAlpha) {
        const unsigned a = row[static_cast<std::size_t>(4 * x + 3)];
        auto blend = [a](std::uint8_t v) {
          return static_cast<std::uint8_t>((v * a + 255u * (255u - a)) / 255u);
        };
        c = Rgb{blend(c.r), blend(c.g), blend(c.b)};
      }
      *out++ = c.r;
      *out++ = c.g;
      *out++ = c.b;
    }
  }
  return picture;
}

}  // namespace kirune
