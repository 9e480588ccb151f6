#pragma once

#include <memory>
#include <string>

#include "server/serve_options.h"

namespace kirune::serve {

/// The files of the page at `/`, as compiled into the program.
struct PageFiles {
  std::string html;
  std::string css;
  std::string js;
};

/// kirune-serve's routes on an HTTP server with a pool of connection threads. Drawing is limited to
/// `workers` requests at a time; a request is checked completely before it waits for a turn, so bad
/// input costs no drawing, and slow clients hold only a connection thread, and that only until the
/// request timeout.
class HttpService {
 public:
  HttpService(const ServeOptions& options, PageFiles page);
  ~HttpService();
  HttpService(const HttpService&) = delete;
  HttpService& operator=(const HttpService&) = delete;

  /// Binds the listening socket; returns the port (the one picked for port 0), or -1 with `error` set.
  int bind(std::string& error);
  /// Answers requests until stop(); returns false when the server could not run.
  bool run();
  /// Stops run() from any thread.
  void stop();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace kirune::serve
