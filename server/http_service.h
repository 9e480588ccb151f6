#pragma once

#include <memory>
#include <string>

#include "problems/expected.h"
#include "server/serve_options.h"

namespace kirune::serve {

/// The files of the page at `/`, as compiled into the program.
struct PageFiles {
  std::string html;
  std::string css;
  std::string js;
};

/// kirune-serve's routes over Boost.Beast: connections are served asynchronously by two I/O threads,
/// so idle or slow clients cost a socket and a few kilobytes, and every read and write has a deadline.
/// Drawing runs on `workers` threads of its own, behind a bounded queue and a cap per client address;
/// a request is checked completely before it is queued, so bad input costs no drawing.
class HttpService {
 public:
  HttpService(const ServeOptions& options, PageFiles page);
  ~HttpService();
  HttpService(const HttpService&) = delete;
  HttpService& operator=(const HttpService&) = delete;

  /// Binds the listening socket: the port (the one picked for port 0), or why it could not.
  expected<int, std::string> bind();
  /// Answers requests until stop(); returns false when the server could not run.
  bool run();
  /// Stops run() from any thread: no new connection is taken, the requests under way are answered,
  /// and run() returns. Returns when it has.
  void stop();

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace kirune::serve
