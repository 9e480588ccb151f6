#pragma once

#include <httplib.h>

#include <chrono>
#include <string>

namespace kirune::serve {

/// cpp-httplib's server with a limit on how long one request may take to arrive. The library only
/// times out single reads, so a client that trickles its request a byte every few seconds would hold
/// a connection thread as long as it liked; here such a request is answered 408 and its connection
/// closed once `deadline` has passed since its first byte. The answer that is being written and the
/// handler that is running are never cut: the limit applies to reading the request only.
class DeadlineServer : public httplib::Server {
 public:
  /// `tooSlow`: the body of the 408 answer, one line of plain text.
  DeadlineServer(std::chrono::milliseconds deadline, const std::string& tooSlow);

 private:
  // The library's parsing, routing and answers (process_request) stay as they are; only the socket
  // reads and writes beneath them and the keep-alive loop around them are ours. The library's own
  // subclass for TLS replaces this same function.
  bool process_and_close_socket(socket_t sock) override;

  std::chrono::milliseconds deadline_;
  std::string tooSlowAnswer_;
};

}  // namespace kirune::serve
