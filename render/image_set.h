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

/// All pictures, each decoded once, when first asked for. Lookup by qualified name.
class ImageSet {
 public:
  /// The pictures compiled into the program. A picture is decoded when it is first asked for (once per
  /// process), so a run decodes only what it draws; safe to use from several threads.
  static const ImageSet& builtIn();

  /// A set of pictures decoded already.
  explicit ImageSet(std::vector<Picture> pictures);

  /// The picture named `name`; throws MissingPictureError for an unknown name and DecodeError for one
  /// whose stored file is faulty; use `find` where a missing picture is an ordinary case.
  const Picture& get(std::string_view name) const;
  /// The picture named `name`, or nullptr when the set has none of that name.
  const Picture* find(std::string_view name) const;
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

}  // namespace kirune
