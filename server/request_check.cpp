#include "server/request_check.h"

#include <boost/beast/http/field.hpp>
#include <boost/beast/http/verb.hpp>

#include <algorithm>
#include <array>
#include <iterator>
#include <string_view>

#include "server/http_text.h"

namespace kirune::serve {
namespace {

namespace http = boost::beast::http;

std::string authorityOf(std::string_view origin) {
  for (const std::string_view scheme : {"http://", "https://"}) {
    if (origin.substr(0, scheme.size()) == scheme) return std::string(origin.substr(scheme.size()));
  }
  return {};
}

struct Route {
  std::string_view path;
  std::string_view allow;
  Page page;
};
constexpr std::array<Route, 7> kRoutes = {{{"/", "GET, HEAD", Page::Html},
                                           {"/kirune.css", "GET, HEAD", Page::Css},
                                           {"/kirune.js", "GET, HEAD", Page::Js},
                                           {"/healthz", "GET, HEAD", Page::Health},
                                           {"/api/presets", "GET, HEAD", Page::Presets},
                                           {"/sheets.pdf", "GET, HEAD", Page::Sheets},
                                           {"/print", "POST", Page::Print}}};

Verdict fault(int status, std::string detail = {}, bool tell = true) {
  return {status, std::move(detail), tell, true, {}};
}

Verdict refusal(int status, std::string detail = {}) { return {status, std::move(detail), true, false, {}}; }

bool tooManyLines(const Request& request) {
  return std::distance(request.begin(), request.end()) + 1 > kHeaderLines;
}

}  // namespace

void limitParser(RequestParser& parser) {
  parser.header_limit(kHeaderBytes);
  parser.body_limit(kBodyBytes);
}

std::optional<Verdict> checkHeader(const RequestParser& parser) {
  const Request& req = parser.get();
  if (tooManyLines(req)) return fault(431, "ヘッダーの行が多すぎます");
  if (req.version() >= 11 && req.count(http::field::host) != 1) return fault(400, "Host がありません");
  const bool hasLength = req.count(http::field::content_length) > 0;
  const bool hasEncoding = req.count(http::field::transfer_encoding) > 0;
  if (req.count(http::field::content_length) > 1) return fault(400, "Content-Length が二つあります");
  if (hasLength && hasEncoding) return fault(400, "Content-Length と Transfer-Encoding の両方があります");
  if (hasEncoding && !parser.chunked()) return fault(400, "Transfer-Encoding が chunked ではありません");
  const bool body = parser.chunked() || parser.content_length().value_or(0) > 0;
  if ((req.method() == http::verb::get || req.method() == http::verb::head) && body)
    return fault(400, "GET や HEAD に本文があります");
  if (req.method() == http::verb::post && !hasLength && !hasEncoding) return fault(411);
  return std::nullopt;
}

std::optional<Verdict> checkTrailer(const Request& request) {
  if (tooManyLines(request)) return fault(431, "ヘッダーの行が多すぎます");
  return std::nullopt;
}

bool fromOwnPage(const Request& req) {
  const auto origin = req[http::field::origin];
  if (!origin.empty()) {
    const std::string authority = authorityOf(origin);
    // Behind a proxy the browser's host may come as X-Forwarded-Host.
    if (authority.empty() || (authority != req[http::field::host] && authority != req["X-Forwarded-Host"]))
      return false;
  }
  const auto site = req["Sec-Fetch-Site"];
  if (!site.empty() && site != "same-origin" && site != "none") return false;
  return req["X-Kirune-Page"] == "1";
}

expected<Routed, Verdict> routeRequest(const Request& req, const ServeOptions& options) {
  const std::string_view target = req.target();
  if (target.size() > kTargetBytes) return unexpected(refusal(414));
  if (target.empty() || target.front() != '/') return unexpected(fault(400, "アドレスが / で始まりません"));
  const std::size_t question = target.find('?');
  const std::string_view path = target.substr(0, question);
  const std::string_view query = question == std::string_view::npos ? "" : target.substr(question + 1);
  const auto found =
      std::find_if(kRoutes.begin(), kRoutes.end(), [&](const Route& r) { return r.path == path; });
  if (found == kRoutes.end()) return unexpected(refusal(404));
  const bool get = req.method() == http::verb::get || req.method() == http::verb::head;
  if (found->page == Page::Print ? req.method() != http::verb::post : !get) {
    Verdict verdict = refusal(405);
    verdict.allow = found->allow;
    return unexpected(std::move(verdict));
  }
  if (found->page != Page::Sheets && found->page != Page::Print) return Routed{found->page, std::nullopt};

  const bool print = found->page == Page::Print;
  if (print) {
    if (!fromOwnPage(req)) return unexpected(refusal(403, "ほかのサイトからは印刷できません"));
    if (!options.printer) return unexpected(refusal(403, "このサーバーでは印刷できません（--printer none）"));
  }
  const auto form = parseForm(print ? std::string_view(req.body()) : query);
  if (!form) return unexpected(refusal(400, form.error()));
  auto read = readSheetRequest(*form, options.maxSheets);
  if (!read) return unexpected(refusal(read.error().status, read.error().message));
  return Routed{found->page, std::move(read).value()};
}

}  // namespace kirune::serve
