// kirune-print's argument parser: the input is the argument list, arguments separated by NUL bytes
// (the one byte an argument can never hold).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/options.h"
#include "render/presets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> args(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      args.emplace_back();
    } else {
      args.back().push_back(static_cast<char>(data[i]));
    }
  }
  const auto parsed = kirune::cli::parseArguments(args);
  if (!parsed) {
    if (parsed.error().empty()) std::abort();  // every refusal says why
    return 0;
  }
  const kirune::cli::Options& options = *parsed;
  if (options.help || options.version || options.listPresets) return 0;
  // A command line that passed is one kirune-print runs: a preset and an output target.
  if (options.preset == nullptr || options.target.empty()) std::abort();
  kirune::Settings settings;
  for (const kirune::ControlValue& set : options.sets) set.applyTo(settings);
  if (kirune::plannedDocuments(*options.preset, settings) < 0) std::abort();
  return 0;
}
