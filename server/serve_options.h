#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "problems/expected.h"

namespace kirune::serve {

/// kirune-serve's command line, checked.
struct ServeOptions {
  bool help = false;
  bool version = false;
  std::string host = "127.0.0.1";
  int port = 8080;  ///< 0: any free port, announced on standard output
  int maxSheets = 100;
  int workers = 0;          ///< sheets drawn at once; 0: one per core
  int requestTimeout = 10;  ///< seconds a client may take to send one whole request
  int perClient = 8;        ///< requests one client address may have under way at once
  /// Where POST /print sends sheets: no value, printing is off; empty, the default printer.
  std::optional<std::string> printer;
};

/// The usage text of --help.
std::string_view serveUsage();

/// Checks the arguments after the program name. A command line that cannot be run is refused with what
/// is wrong, in one line.
expected<ServeOptions, std::string> parseServeArguments(const std::vector<std::string>& args);

}  // namespace kirune::serve
