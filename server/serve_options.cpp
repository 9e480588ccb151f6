#include "server/serve_options.h"

#include <algorithm>
#include <thread>

#include "problems/parse_integer.h"

namespace kirune::serve {
namespace {

constexpr std::string_view kUsage =
    R"(kirune-serve [--listen ADDR:PORT] [--max-sheets N] [--workers N] [--printer NAME|default|none]
             [--request-timeout SECONDS] [--per-client N]
  --listen ADDR:PORT   where to answer (default 127.0.0.1:8080; 0.0.0.0:8080 for every device of the
                       network; port 0 picks a free port and prints it)
  --max-sheets N       most sheets one request may ask for (default 100)
  --workers N          sheets drawn at the same time (default: the number of cores; at most four
                       times the number of cores)
  --printer NAME       whether the page may print on this machine's CUPS printer: a queue's name,
                       'default' for the default printer, 'none' (default) for no printing
  --request-timeout S  seconds a client may take to send one whole request (default 10); a slower
                       one is answered 408 and its connection closed
  --per-client N       requests one client address may have under way at once (default 8);
                       one more is answered 429
kirune-serve --help | --version
Routes: GET / (the page), GET /api/presets, GET /sheets.pdf?preset=BitBtn13&sheets=2&answers=1&...,
POST /print (same parameters, form-encoded, with the header X-Kirune-Page: 1), GET /healthz
)";

// A count or a port: digits only, no sign, within least..most.
bool readCount(std::string_view text, int least, int most, int& value) {
  const auto n = parseInteger<unsigned>(text);
  if (!n || *n < static_cast<unsigned>(least) || *n > static_cast<unsigned>(most)) return false;
  value = static_cast<int>(*n);
  return true;
}

}  // namespace

std::string_view serveUsage() { return kUsage; }

expected<ServeOptions, std::string> parseServeArguments(const std::vector<std::string>& args) {
  ServeOptions o;
  for (const std::string& a : args) {
    if (a == "--help" || a == "-h") {
      o.help = true;
      return o;
    }
    if (a == "--version") {
      o.version = true;
      return o;
    }
  }
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a != "--listen" && a != "--max-sheets" && a != "--workers" && a != "--printer" &&
        a != "--request-timeout" && a != "--per-client") {
      return unexpected("不明な引数: " + a + "（--help で使い方）");
    }
    if (i + 1 >= args.size()) return unexpected(a + " の後に値がありません（--help で使い方）");
    const std::string& v = args[++i];
    if (a == "--listen") {
      const auto colon = v.rfind(':');
      if (colon == std::string::npos || colon == 0 ||
          !readCount(std::string_view(v).substr(colon + 1), 0, 65535, o.port)) {
        return unexpected("--listen の値が正しくありません: " + v + "（ADDR:PORT、例 0.0.0.0:8080）");
      }
      o.host = v.substr(0, colon);
      // [::1]:8080 names an IPv6 address in brackets.
      if (o.host.size() > 2 && o.host.front() == '[' && o.host.back() == ']')
        o.host = o.host.substr(1, o.host.size() - 2);
    } else if (a == "--max-sheets") {
      if (!readCount(v, 1, 10000, o.maxSheets)) {
        return unexpected("--max-sheets の値が正しくありません: " + v + "（1..10000）");
      }
    } else if (a == "--workers") {
      // More threads than this only share the same cores, each with its own fonts and caches.
      const int most = 4 * static_cast<int>(std::max(1U, std::thread::hardware_concurrency()));
      if (!readCount(v, 1, most, o.workers)) {
        return unexpected("--workers の値が正しくありません: " + v + "（1.." + std::to_string(most) + "）");
      }
    } else if (a == "--per-client") {
      if (!readCount(v, 1, 1000, o.perClient)) {
        return unexpected("--per-client の値が正しくありません: " + v + "（1..1000）");
      }
    } else if (a == "--request-timeout") {
      if (!readCount(v, 1, 300, o.requestTimeout)) {
        return unexpected("--request-timeout の値が正しくありません: " + v + "（1..300 秒）");
      }
    } else {
      if (v.empty()) return unexpected("--printer の値が空です（プリンタ名、default、none）");
      if (v == "none") {
        o.printer.reset();
      } else {
        o.printer = v == "default" ? std::string() : v;
      }
    }
  }
  return o;
}

}  // namespace kirune::serve
