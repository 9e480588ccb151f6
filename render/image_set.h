#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "render/errors.h"
#include "render/picture.h"

namespace kirune {

/// One row of the picture catalogue: what is stored in assets/ under `file`.
struct CatalogueEntry {
  std::string_view name;  ///< qualified name, "TForm2.Image41"
  std::string_view file;  ///< file name in assets/
  StoredFormat format;
  int width;
  int height;
};

/// Every picture of the program, in catalogue order.
std::span<const CatalogueEntry> catalogue();

/// Decodes a stored file of the given format; throws DecodeError (naming `name`) on any fault.
Picture decodePicture(std::string_view name, StoredFormat format, std::span<const std::uint8_t> bytes);

/// All pictures, each decoded once, when its pixels are first asked for. Lookup by qualified name.
class ImageSet {
 public:
  /// The pictures compiled into the program. get() and find() hand out a picture's name, format and size
  /// without decoding it; its pixels are decoded when withPixels() first asks for them (once per process),
  /// so a run decodes only what a raster canvas draws, and a PDF, which carries the samples made when
  /// the program was built, decodes nothing. Safe to use from several threads.
  static const ImageSet& builtIn();

  /// A set of pictures decoded already.
  explicit ImageSet(std::vector<Picture> pictures);

  /// The picture named `name`, its pixels not necessarily decoded; throws MissingPictureError for an
  /// unknown name; use `find` where a missing picture is an ordinary case.
  const Picture& get(std::string_view name) const;
  /// The picture named `name`, or nullptr when the set has none of that name. Decodes nothing.
  const Picture* find(std::string_view name) const;
  /// `picture` (one of this set's) with its pixels, decoded now if they were not yet; throws DecodeError
  /// when its stored file is faulty, from this call and from every later one.
  const Picture& withPixels(const Picture& picture) const;
  /// Every picture, decoded, in order.
  const std::vector<Picture>& pictures() const;
  /// How many pictures the set holds.
  std::size_t size() const { return pictures_.size(); }
  /// The place of `picture` in pictures(), or -1 when it is not one of this set's. Decodes nothing.
  std::ptrdiff_t indexOf(const Picture& picture) const;

 private:
  explicit ImageSet(std::span<const CatalogueEntry> entries);
  const Picture& decoded(std::size_t index) const;

  // Filled in on first use, each picture under its own flag; only names and sizes before that.
  mutable std::vector<Picture> pictures_;
  std::unique_ptr<std::once_flag[]> decodedOnce_;
  std::span<const CatalogueEntry> stored_;  // empty for a set given decoded pictures
  std::map<std::string, std::size_t, std::less<>> index_;
};

/// `picture` with its pixels: a picture of the built-in set is decoded now if it was not yet (see
/// ImageSet::builtIn()); any other picture already holds them and is returned as it is.
const Picture& withPixels(const Picture& picture);

}  // namespace kirune
