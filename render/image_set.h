#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "render/errors.h"
#include "render/picture.h"

namespace kirune {

/// Throws DecodeError with a short message that names the picture and says what is wrong with it.
[[noreturn]] void throwDecodeError(std::string_view name, std::string_view detail);

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

/// All pictures, decoded once. Lookup by qualified name.
class ImageSet {
 public:
  /// The pictures compiled into the program, decoded on first use (once per process).
  static const ImageSet& builtIn();

  explicit ImageSet(std::vector<Picture> pictures);

  /// The picture named `name`; throws MissingPictureError for an unknown name; use `find`
  /// where a missing picture is an ordinary case.
  const Picture& get(std::string_view name) const;
  /// The picture named `name`, or nullptr when the set has none of that name.
  const Picture* find(std::string_view name) const;
  const std::vector<Picture>& pictures() const { return pictures_; }

 private:
  std::vector<Picture> pictures_;
  std::map<std::string, std::size_t, std::less<>> index_;
};

}  // namespace kirune
