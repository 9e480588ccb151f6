#pragma once

// An HTTP/1.1 client over a plain socket for talking to kirune-serve: requests are written as raw bytes
// (so a test can send exactly the malformed ones it means), answers are read with Beast's response
// parser. Every wait is bounded by the socket's receive timeout.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <boost/beast/http.hpp>
#include <chrono>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace kirune::test {

using HttpResponse = boost::beast::http::response<boost::beast::http::string_body>;

/// A GET (or any method) as a well-formed request, with `extra` header lines ("Name: value\r\n").
inline std::string httpRequest(std::string_view method, std::string_view target, std::string_view extra = {},
                               std::string_view body = {}) {
  std::string r = std::string(method) + " " + std::string(target) + " HTTP/1.1\r\nHost: 127.0.0.1\r\n";
  r += extra;
  if (!body.empty() || method == "POST") r += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  r += "\r\n";
  r += body;
  return r;
}

class HttpConnection {
 public:
  /// Connects to 127.0.0.1:`port`, from the loopback address `from` when one is given (so that one
  /// process can act as many clients).
  explicit HttpConnection(int port, const char* from = nullptr, int timeoutSeconds = 60) {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    if (fd_ < 0) return;
    if (from) {
      sockaddr_in local{};
      local.sin_family = AF_INET;
      inet_pton(AF_INET, from, &local.sin_addr);
      if (::bind(fd_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        close();
        return;
      }
    }
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
      close();
      return;
    }
    const int yes = 1;
    setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    timeval limit{timeoutSeconds, 0};
    setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  }
  ~HttpConnection() { close(); }
  HttpConnection(const HttpConnection&) = delete;
  HttpConnection& operator=(const HttpConnection&) = delete;
  HttpConnection(HttpConnection&& o) noexcept : fd_(o.fd_), pending_(std::move(o.pending_)) { o.fd_ = -1; }
  HttpConnection& operator=(HttpConnection&& o) noexcept {
    if (this != &o) {
      close();
      fd_ = o.fd_;
      pending_ = std::move(o.pending_);
      o.fd_ = -1;
    }
    return *this;
  }

  bool open() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  void close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

  bool send(std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (n <= 0) return false;
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
  }

  /// The next answer; none when the connection closed or timed out first, or the answer is malformed.
  /// `head`: the answer to a HEAD, which has headers only.
  std::optional<HttpResponse> read(bool head = false) {
    namespace http = boost::beast::http;
    http::response_parser<http::string_body> parser;
    parser.body_limit(std::numeric_limits<std::uint64_t>::max());
    parser.eager(true);
    if (head) parser.skip(true);
    boost::beast::error_code ec;
    while (!parser.is_done()) {
      if (!pending_.empty()) {
        const std::size_t used = parser.put(boost::asio::buffer(pending_), ec);
        pending_.erase(0, used);
        if (ec && ec != http::error::need_more) return std::nullopt;
        ec = {};
        if (parser.is_done()) break;
        if (used > 0) continue;
      }
      char buffer[64 * 1024];
      const ssize_t n = fd_ < 0 ? -1 : ::recv(fd_, buffer, sizeof buffer, 0);
      if (n == 0) {
        if (!parser.got_some()) return std::nullopt;
        parser.put_eof(ec);
        if (ec || !parser.is_done()) return std::nullopt;
        break;
      }
      if (n < 0) return std::nullopt;
      pending_.append(buffer, static_cast<std::size_t>(n));
    }
    return parser.release();
  }

  std::optional<HttpResponse> exchange(const std::string& request, bool head = false) {
    if (!send(request)) return std::nullopt;
    return read(head);
  }

  /// Whether the server closed the connection (an end of stream or a reset) within `wait`, with
  /// nothing more to read before it.
  bool closedWithin(std::chrono::milliseconds wait) {
    if (!pending_.empty()) return false;
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(wait.count())) <= 0) return false;
    char c = 0;
    return ::recv(fd_, &c, 1, MSG_DONTWAIT) <= 0;
  }

 private:
  int fd_ = -1;
  std::string pending_;
};

/// One GET on a connection of its own.
inline std::optional<HttpResponse> httpGet(int port, std::string_view target) {
  HttpConnection c(port);
  return c.exchange(httpRequest("GET", target));
}

}  // namespace kirune::test
