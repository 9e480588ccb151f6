#include "render/image_set.h"

#include <array>
#include <stdexcept>
#include <string>

#include "assets/embedded_assets.h"
#include "render/bmp_reader.h"
#include "render/jpeg_reader.h"

namespace kirune {
namespace {

constexpr std::array kCatalogue = std::to_array<CatalogueEntry>({
    // Clip-art of the image form: line drawings, square.
    {"TForm2.Image1", "TForm2.Image1.jpg", StoredFormat::Jpeg, 480, 480},
    {"TForm2.Image2", "TForm2.Image2.jpg", StoredFormat::Jpeg, 480, 480},
    {"TForm2.Image3", "TForm2.Image3.jpg", StoredFormat::Jpeg, 480, 480},
    {"TForm2.Image4", "TForm2.Image4.jpg", StoredFormat::Jpeg, 480, 480},
    {"TForm2.Image5", "TForm2.Image5.jpg", StoredFormat::Jpeg, 480, 480},
    {"TForm2.Image6", "TForm2.Image6.jpg", StoredFormat::Jpeg, 480, 480},
    {"TForm2.Image7", "TForm2.Image7.jpg", StoredFormat::Jpeg, 480, 480},
    {"TForm2.Image8", "TForm2.Image8.jpg", StoredFormat::Jpeg, 480, 480},
    {"TForm2.Image9", "TForm2.Image9.jpg", StoredFormat::Jpeg, 480, 480},
    {"TForm2.Image10", "TForm2.Image10.jpg", StoredFormat::Jpeg, 480, 480},
    {"TForm2.Image21", "TForm2.Image21.jpg", StoredFormat::Jpeg, 480, 480},
    {"TForm2.Image22", "TForm2.Image22.jpg", StoredFormat::Jpeg, 480, 480},
    {"TForm2.Image23", "TForm2.Image23.jpg", StoredFormat::Jpeg, 480, 480},
    {"TForm2.Image24", "TForm2.Image24.jpg", StoredFormat::Jpeg, 480, 480},
    {"TForm2.Image25", "TForm2.Image25.jpg", StoredFormat::Jpeg, 480, 480},
    {"TForm2.Image26", "TForm2.Image26.jpg", StoredFormat::Jpeg, 480, 480},
    {"TForm2.Image27", "TForm2.Image27.jpg", StoredFormat::Jpeg, 480, 480},
    {"TForm2.Image28", "TForm2.Image28.jpg", StoredFormat::Jpeg, 480, 480},
    {"TForm2.Image29", "TForm2.Image29.jpg", StoredFormat::Jpeg, 480, 480},
    {"TForm2.Image30", "TForm2.Image30.jpg", StoredFormat::Jpeg, 480, 480},
    {"TForm2.Image36", "TForm2.Image36.jpg", StoredFormat::Jpeg, 480, 480},
    {"TForm2.Image37", "TForm2.Image37.jpg", StoredFormat::Jpeg, 480, 480},
    {"TForm2.Image38", "TForm2.Image38.jpg", StoredFormat::Jpeg, 480, 480},
    {"TForm2.Image39", "TForm2.Image39.jpg", StoredFormat::Jpeg, 480, 480},
    {"TForm2.Image40", "TForm2.Image40.jpg", StoredFormat::Jpeg, 480, 480},
    {"TForm2.Image44", "TForm2.Image44.jpg", StoredFormat::Jpeg, 480, 480},
    {"TForm2.Image45", "TForm2.Image45.jpg", StoredFormat::Jpeg, 480, 480},
    {"TForm2.Image46", "TForm2.Image46.jpg", StoredFormat::Jpeg, 480, 480},
    {"TForm2.Image47", "TForm2.Image47.jpg", StoredFormat::Jpeg, 480, 480},
    {"TForm2.Image48", "TForm2.Image48.jpg", StoredFormat::Jpeg, 480, 480},
    {"TForm2.Image49", "TForm2.Image49.jpg", StoredFormat::Jpeg, 480, 480},
    {"TForm2.Image50", "TForm2.Image50.jpg", StoredFormat::Jpeg, 480, 480},
    // Glyphs of the image form: digits 1..9 and 0, "=", "+", "-", "×", "÷", the box and the circle.
    {"TForm2.Image11", "TForm2.Image11.bmp", StoredFormat::Bmp8Palette, 202, 284},
    {"TForm2.Image12", "TForm2.Image12.bmp", StoredFormat::Bmp8Palette, 202, 284},
    {"TForm2.Image13", "TForm2.Image13.bmp", StoredFormat::Bmp24, 202, 284},
    {"TForm2.Image14", "TForm2.Image14.bmp", StoredFormat::Bmp8Palette, 202, 284},
    {"TForm2.Image15", "TForm2.Image15.bmp", StoredFormat::Bmp8Palette, 202, 284},
    {"TForm2.Image16", "TForm2.Image16.bmp", StoredFormat::Bmp8Palette, 202, 284},
    {"TForm2.Image17", "TForm2.Image17.bmp", StoredFormat::Bmp8Palette, 202, 284},
    {"TForm2.Image18", "TForm2.Image18.bmp", StoredFormat::Bmp8Palette, 202, 284},
    {"TForm2.Image19", "TForm2.Image19.bmp", StoredFormat::Bmp8Palette, 202, 284},
    {"TForm2.Image20", "TForm2.Image20.bmp", StoredFormat::Bmp8Palette, 202, 284},
    {"TForm2.Image31", "TForm2.Image31.bmp", StoredFormat::Bmp8Palette, 202, 284},
    {"TForm2.Image32", "TForm2.Image32.bmp", StoredFormat::Bmp8Palette, 202, 284},
    {"TForm2.Image33", "TForm2.Image33.bmp", StoredFormat::Bmp8Palette, 202, 284},
    {"TForm2.Image34", "TForm2.Image34.bmp", StoredFormat::Bmp8Palette, 202, 284},
    {"TForm2.Image35", "TForm2.Image35.jpg", StoredFormat::Jpeg, 202, 284},
    {"TForm2.Image51", "TForm2.Image51.bmp", StoredFormat::Bmp8Grey, 120, 152},
    {"TForm2.Image52", "TForm2.Image52.bmp", StoredFormat::Bmp8Grey, 300, 300},
    // Name header of the image form: "なまえ" and its parentheses.
    {"TForm2.Image41", "TForm2.Image41.bmp", StoredFormat::Bmp8Palette, 600, 200},
    {"TForm2.Image42", "TForm2.Image42.bmp", StoredFormat::Bmp8Grey, 70, 226},
    {"TForm2.Image43", "TForm2.Image43.bmp", StoredFormat::Bmp8Grey, 70, 226},
    // Pictures of the main window: staging slot, icon, clip-art copy, remainder mark, time words, buttons.
    {"TForm1.Image", "TForm1.Image.jpg", StoredFormat::Jpeg, 202, 284},
    {"TForm1.Image4", "TForm1.Image4.ico", StoredFormat::Icon, 32, 32},
    {"TForm1.Image5", "TForm1.Image5.jpg", StoredFormat::Jpeg, 120, 120},
    {"TForm1.Image6", "TForm1.Image6.jpg", StoredFormat::Jpeg, 61, 142},
    {"TForm1.Image7", "TForm1.Image7.jpg", StoredFormat::Jpeg, 133, 122},
    {"TForm1.Image8", "TForm1.Image8.jpg", StoredFormat::Jpeg, 356, 172},
    {"TForm1.BitBtn25", "TForm1.BitBtn25.bmp", StoredFormat::Bmp8Palette, 27, 24},
    {"TForm1.BitBtn128", "TForm1.BitBtn128.bmp", StoredFormat::Bmp24, 120, 36},
});

}  // namespace

std::span<const CatalogueEntry> catalogue() { return kCatalogue; }

Picture decodePicture(std::string_view name, StoredFormat format, std::span<const std::uint8_t> bytes) {
  switch (format) {
    case StoredFormat::Bmp8Palette:
    case StoredFormat::Bmp8Grey:
    case StoredFormat::Bmp24:
      return decodeBmp(name, format, bytes);
    case StoredFormat::Jpeg:
      return decodeJpeg(name, bytes);
    case StoredFormat::Icon:
      return decodeIcon(name, bytes);
  }
  throwDecodeError(name, "形式が分かりません");
}

const ImageSet& ImageSet::builtIn() {
  static const ImageSet set(kCatalogue);
  return set;
}

ImageSet::ImageSet(std::span<const CatalogueEntry> entries)
    : decodedOnce_(std::make_unique<std::once_flag[]>(entries.size())), stored_(entries) {
  pictures_.reserve(entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    Picture picture;
    picture.name = std::string(entries[i].name);
    picture.format = entries[i].format;
    picture.width = entries[i].width;
    picture.height = entries[i].height;
    pictures_.push_back(std::move(picture));
    index_.emplace(pictures_[i].name, i);
  }
}

ImageSet::ImageSet(std::vector<Picture> pictures) : pictures_(std::move(pictures)) {
  for (std::size_t i = 0; i < pictures_.size(); ++i) {
    index_.emplace(pictures_[i].name, i);
  }
}

const Picture& ImageSet::decoded(std::size_t index) const {
  if (stored_.empty()) return pictures_[index];
  // A fault throws here, from the call that wanted the picture, and again from the next: never a blank
  // square. The tests decode every picture of the catalogue.
  std::call_once(decodedOnce_[index], [this, index] {
    const CatalogueEntry& entry = stored_[index];
    const auto bytes = assetBytes(entry.file);
    if (bytes.empty()) {
      throwDecodeError(entry.name, "プログラムに組み込まれていません");
    }
    Picture picture = decodePicture(entry.name, entry.format, bytes);
    if (picture.width != entry.width || picture.height != entry.height) {
      throwDecodeError(entry.name, "大きさが " + std::to_string(entry.width) + "x" +
                                       std::to_string(entry.height) + " ではなく " +
                                       std::to_string(picture.width) + "x" + std::to_string(picture.height) +
                                       " です");
    }
    // Name, format and size are read by other threads meanwhile: only what nobody reads before this
    // call returns is written.
    Picture& slot = pictures_[index];
    slot.channels = picture.channels;
    slot.pixels = std::move(picture.pixels);
  });
  return pictures_[index];
}

const Picture& ImageSet::get(std::string_view name) const {
  if (const Picture* picture = find(name)) {
    return *picture;
  }
  throw MissingPictureError("no picture named " + std::string(name));
}

const Picture* ImageSet::find(std::string_view name) const {
  const auto it = index_.find(name);
  return it == index_.end() ? nullptr : &pictures_[it->second];
}

const Picture& ImageSet::withPixels(const Picture& picture) const {
  const std::ptrdiff_t index = indexOf(picture);
  return index < 0 ? picture : decoded(static_cast<std::size_t>(index));
}

const Picture& withPixels(const Picture& picture) { return ImageSet::builtIn().withPixels(picture); }

const std::vector<Picture>& ImageSet::pictures() const {
  for (std::size_t i = 0; i < pictures_.size(); ++i) decoded(i);
  return pictures_;
}

std::ptrdiff_t ImageSet::indexOf(const Picture& picture) const {
  if (pictures_.empty()) return -1;
  const std::less<const Picture*> before;
  if (before(&picture, pictures_.data()) || !before(&picture, pictures_.data() + pictures_.size())) return -1;
  return &picture - pictures_.data();
}

}  // namespace kirune
