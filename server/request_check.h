#pragma once
// What kirune-serve decides about a request from its bytes alone, apart from the connection that carries
// it: the parser's limits, the checks on its framing and headers, and where it goes. The connection code
// and the request fuzzer both go through these.
#include <boost/beast/http/message.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/string_body.hpp>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "problems/expected.h"
#include "server/serve_options.h"
#include "server/sheet_request.h"

namespace kirune::serve {

using Request = boost::beast::http::request<boost::beast::http::string_body>;
using RequestParser = boost::beast::http::request_parser<boost::beast::http::string_body>;

// Request line and headers together; more is answered 431 and the connection closed.
inline constexpr std::uint32_t kHeaderBytes = 16 * 1024;
inline constexpr std::ptrdiff_t kHeaderLines = 100;
inline constexpr std::uint64_t kBodyBytes = 16 * 1024;
inline constexpr std::size_t kTargetBytes = 8 * 1024;

/// Sets the server's limits on a parser about to read a request.
void limitParser(RequestParser& parser);

/// A request refused: its status, why (for the log, and for the client too when `tell`), whether the
/// connection closes after the answer, and the methods the path allows for a 405.
struct Verdict {
  int status = 400;
  std::string detail;
  bool tell = true;
  bool close = false;
  std::string allow;
};

/// The checks once the headers are read: the number of lines, Host, and the framing (two lengths, a
/// length beside chunks, a body where none belongs), which is how requests get smuggled. Empty: read on.
std::optional<Verdict> checkHeader(const RequestParser& parser);

/// The checks once the whole request is read: a chunked body's trailer lines count with the headers.
std::optional<Verdict> checkTrailer(const Request& request);

/// Whether a POST may print: it must come from this server's own page. A form on another site cannot
/// set the page's header, and a script there cannot either without a preflight, which is refused.
bool fromOwnPage(const Request& request);

enum class Page { Html, Css, Js, Health, Presets, Sheets, Print };

/// Where a complete request goes; for sheets and prints, the request read from its query or form.
struct Routed {
  Page page;
  std::optional<SheetRequest> sheets;
};

/// Routes a complete request: its target, its method, the own-page check of a print, and its
/// parameters.
expected<Routed, Verdict> routeRequest(const Request& request, const ServeOptions& options);

}  // namespace kirune::serve
