#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "problems/settings.h"
#include "render/errors.h"
#include "render/presets.h"

namespace kirune::cli {

enum class Output { Pdf, Png, Trace, Printer };

/// A command line that cannot be run; the message says what is wrong, in one line.
class UsageError : public Error {
 public:
  using Error::Error;
};

/// A command line, checked: everything a run needs.
struct Options {
  bool help = false;
  bool version = false;
  bool listPresets = false;
  const Preset* preset = nullptr;
  std::vector<std::pair<std::string, int>> sets;  ///< control and value, in order, already range-checked
  std::optional<std::uint64_t> seed;
  int pageWidth = 0;  ///< 0: the default page
  int pageHeight = 0;
  std::string paper =
      "A4";  ///< A4, A3, A5, B4, B5, Letter or Legal: the page of --pdf, --png and --trace without --page
  Output output = Output::Pdf;
  std::string target;  ///< file, directory, "-" for a trace on standard output, or the printer's name
};

/// The usage text of --help.
std::string_view usage();

/// Checks the arguments after the program name; writes nothing. Throws UsageError.
Options parseArguments(const std::vector<std::string>& args);

/// Applies one checked --set to the settings.
void applySetting(Settings& settings, const std::string& control, int value);

}  // namespace kirune::cli
