#pragma once

// Small picture files built in memory: a BMP and ICO writer of our own and libjpeg's compressor, so the
// decoders are tested against real files of every supported kind without depending on assets/.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#include <jpeglib.h>

namespace kirune::fixtures {

using Bytes = std::vector<std::uint8_t>;

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline void put16(Bytes& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void put32(Bytes& out, std::uint32_t v) {
  put16(out, v & 0xffff);
  put16(out, v >> 16);
}
inline void set32(Bytes& out, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

inline std::size_t strideOf(int width, int bits) {
  return static_cast<std::size_t>((width * bits + 31) / 32 * 4);
}

/// BITMAPINFOHEADER with BI_RGB.
inline void putInfoHeader(Bytes& out, int width, int height, int bits, int colorsUsed) {
  put32(out, 40);
  put32(out, static_cast<std::uint32_t>(width));
  put32(out, static_cast<std::uint32_t>(height));
  put16(out, 1);
  put16(out, static_cast<std::uint32_t>(bits));
  put32(out, 0);  // BI_RGB
  put32(out, 0);
  put32(out, 2835);
  put32(out, 2835);
  put32(out, static_cast<std::uint32_t>(colorsUsed));
  put32(out, 0);
}

/// Pixels given top-down as palette indices (bits 1, 4, 8) or packed into Rgb for 24 and 32 bits.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<Rgb> palette;         // empty for 24/32 bits
  std::vector<std::uint8_t> index;  // palette images: width * height indices, top-down
  std::vector<Rgb> rgb;             // 24/32-bit images: width * height colours, top-down
  std::vector<std::uint8_t> alpha;  // 32-bit images only
  Rgb at(int x, int y) const {
    const auto i = static_cast<std::size_t>(y * width + x);
    return palette.empty() ? rgb[i] : palette[index[i]];
  }
};

/// Writes the colour rows of `image` at `bits` per pixel, bottom-up unless `topDown`.
inline void putRows(Bytes& out, const Image& image, int bits, bool topDown) {
  const std::size_t stride = strideOf(image.width, bits);
  for (int k = 0; k < image.height; ++k) {
    const int y = topDown ? k : image.height - 1 - k;
    Bytes row(stride, 0);
    for (int x = 0; x < image.width; ++x) {
      const auto i = static_cast<std::size_t>(y * image.width + x);
      if (bits <= 8) {
        const int bit = x * bits;
        row[static_cast<std::size_t>(bit / 8)] |=
            static_cast<std::uint8_t>(image.index[i] << (8 - bits - bit % 8));
      } else {
        const auto at = static_cast<std::size_t>(x * bits / 8);
        row[at] = image.rgb[i].b;
        row[at + 1] = image.rgb[i].g;
        row[at + 2] = image.rgb[i].r;
        if (bits == 32) row[at + 3] = image.alpha[i];
      }
    }
    out.insert(out.end(), row.begin(), row.end());
  }
}

inline void putPalette(Bytes& out, const std::vector<Rgb>& palette) {
  for (const Rgb& c : palette) {
    out.push_back(c.b);
    out.push_back(c.g);
    out.push_back(c.r);
    out.push_back(0);
  }
}

/// A .bmp file: 8 bits with the image's palette, or 24 bits.
inline Bytes bmpFile(const Image& image, int bits, bool topDown = false) {
  Bytes out = {'B', 'M'};
  put32(out, 0);  // file size, set below
  put32(out, 0);
  put32(out, 0);  // pixel offset, set below
  putInfoHeader(out, image.width, topDown ? -image.height : image.height, bits,
                static_cast<int>(image.palette.size()));
  putPalette(out, image.palette);
  set32(out, 10, static_cast<std::uint32_t>(out.size()));
  putRows(out, image, bits, topDown);
  set32(out, 2, static_cast<std::uint32_t>(out.size()));
  return out;
}

/// One image of an icon: colour rows at `bits`, and the AND mask (1 = transparent).
struct IconImage {
  Image image;
  int bits = 4;
  std::vector<std::uint8_t> mask;  // width * height, top-down, 1 = transparent
};

inline Bytes icoFile(const std::vector<IconImage>& images) {
  std::vector<Bytes> blobs;
  for (const IconImage& icon : images) {
    const Image& image = icon.image;
    Bytes blob;
    putInfoHeader(blob, image.width, 2 * image.height, icon.bits, 0);
    if (icon.bits <= 8) {
      std::vector<Rgb> palette = image.palette;
      palette.resize(std::size_t{1} << icon.bits);
      putPalette(blob, palette);
    }
    putRows(blob, image, icon.bits, false);
    Image mask{image.width, image.height, {{0, 0, 0}, {255, 255, 255}}, icon.mask, {}, {}};
    putRows(blob, mask, 1, false);
    blobs.push_back(std::move(blob));
  }
  Bytes out;
  put16(out, 0);
  put16(out, 1);
  put16(out, static_cast<std::uint32_t>(images.size()));
  std::size_t offset = 6 + 16 * images.size();
  for (std::size_t i = 0; i < images.size(); ++i) {
    const IconImage& icon = images[i];
    out.push_back(static_cast<std::uint8_t>(icon.image.width));
    out.push_back(static_cast<std::uint8_t>(icon.image.height));
    out.push_back(icon.bits == 4 ? 16 : 0);
    out.push_back(0);
    put16(out, 1);
    put16(out, static_cast<std::uint32_t>(icon.bits));
    put32(out, static_cast<std::uint32_t>(blobs[i].size()));
    put32(out, static_cast<std::uint32_t>(offset));
    offset += blobs[i].size();
  }
  for (const Bytes& blob : blobs) out.insert(out.end(), blob.begin(), blob.end());
  return out;
}

/// A real JPEG made by libjpeg from `pixels` (top-down, 1 or 3 channels).
inline Bytes jpegFile(int width, int height, int channels, const std::vector<std::uint8_t>& pixels,
                      int quality = 95) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr error;
  cinfo.err = jpeg_std_error(&error);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = channels;
  cinfo.in_color_space = channels == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  const auto stride = static_cast<std::size_t>(width * channels);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPLE*>(pixels.data() + stride * cinfo.next_scanline);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  Bytes out(buffer, buffer + size);
  std::free(buffer);
  return out;
}

}  // namespace kirune::fixtures
