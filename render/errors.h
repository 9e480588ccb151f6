#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace kirune {

/// Base of every error Kirune throws. A failure that ends an operation is an exception of this family,
/// with a message complete enough to show the user; an ordinary "not there" is a null pointer or an
/// empty optional, never an exception.
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// A printer or output failure. Engines catch nothing; the caller of a preset reports it.
class PrinterError : public Error {
 public:
  using Error::Error;
};

/// A picture that cannot be decoded; the message names the picture.
class DecodeError : public Error {
 public:
  using Error::Error;
};

/// Throws DecodeError with a short message that names the picture and says what is wrong with it.
[[noreturn]] inline void throwDecodeError(std::string_view name, std::string_view detail) {
  throw DecodeError("絵「" + std::string(name) + "」を読み込めません: " + std::string(detail));
}

/// A picture the program needs is not in the image set: the catalogue and the code disagree.
class MissingPictureError : public Error {
 public:
  using Error::Error;
};

}  // namespace kirune
