// kirune-serve's request path without a socket: the bytes a client sends, read by Boost.Beast's parser
// with the server's limits, then the server's checks on framing and headers, and the routing with its
// own-page check, query and form reading. Requests follow one another on the connection as long as each
// keeps it open, so a smuggled second request is read as the server would read it.
#include <boost/asio/buffer.hpp>
#include <boost/beast/core/error.hpp>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "server/request_check.h"

namespace {

using namespace kirune::serve;

// Feeds `rest` to the parser until `done` says so; false when the bytes end first or the parser refuses.
template <typename Done>
bool feed(RequestParser& parser, std::string_view& rest, Done done) {
  while (!done()) {
    boost::beast::error_code ec;
    const std::size_t used = parser.put(boost::asio::buffer(rest.data(), rest.size()), ec);
    rest.remove_prefix(used);
    if (ec || (used == 0 && !done())) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const ServeOptions options = [] {
    ServeOptions o;
    o.printer = "";  // printing on, so that a print request goes all the way
    return o;
  }();
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  while (!rest.empty()) {
    RequestParser parser;
    limitParser(parser);
    if (!feed(parser, rest, [&] { return parser.is_header_done(); })) return 0;
    if (checkHeader(parser)) return 0;  // refused, and the connection closed
    if (!feed(parser, rest, [&] { return parser.is_done(); })) return 0;
    const Request& request = parser.get();
    if (checkTrailer(request)) return 0;
    const auto routed = routeRequest(request, options);
    if (!routed) {
      const Verdict* no = &routed.error();
      if (no->status < 400 || no->status > 499) std::abort();  // bad input is the client's fault
      if (no->close) return 0;
    } else {
      const Routed& to = *routed;
      const bool sheets = to.page == Page::Sheets || to.page == Page::Print;
      if (sheets != to.sheets.has_value()) std::abort();
      // What is queued for drawing is within the server's bounds.
      if (sheets && (to.sheets->preset == nullptr || to.sheets->settings.SpinEdit1 > options.maxSheets ||
                     to.sheets->documents <= 0))
        std::abort();
      if (to.page == Page::Print && !fromOwnPage(request)) std::abort();
    }
    if (!request.keep_alive()) return 0;
  }
  return 0;
}
