#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "problems/controls.h"
#include "problems/expected.h"
#include "render/presets.h"

namespace kirune::cli {

enum class Output { Pdf, Png, Trace, Printer };

/// A command line, checked: everything a run needs.
struct Options {
  bool help = false;
  bool version = false;
  bool listPresets = false;
  const Preset* preset = nullptr;
  std::vector<ControlValue> sets;  ///< --set and readable options, in order, already range-checked
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

/// Checks the arguments after the program name; writes nothing. A command line that cannot be run is
/// refused with what is wrong, in one line.
expected<Options, std::string> parseArguments(const std::vector<std::string>& args);

}  // namespace kirune::cli
