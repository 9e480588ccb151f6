#pragma once

#include <string>
#include <vector>

namespace kirune::serve {

/// The addresses to announce for a server listening on `host`:`port`, as URLs. For 0.0.0.0 and :: (every
/// interface), which no device can open, those of the interfaces that are up, other machines' way in
/// first; otherwise `host` itself.
std::vector<std::string> openableUrls(const std::string& host, int port);

}  // namespace kirune::serve
