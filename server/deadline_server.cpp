#include "server/deadline_server.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace kirune::serve {
namespace {

using Clock = std::chrono::steady_clock;

bool waitFor(int sock, short events, Clock::duration limit) {
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(std::max(limit, Clock::duration::zero()));
  pollfd p{sock, events, 0};
  int ready = 0;
  do {
    ready = ::poll(&p, 1, static_cast<int>(ms.count()));
  } while (ready < 0 && errno == EINTR);
  return ready > 0;
}

void addressOf(int sock, bool peer, std::string& ip, int& port) {
  sockaddr_storage storage{};
  socklen_t length = sizeof storage;
  auto* address = reinterpret_cast<sockaddr*>(&storage);
  if ((peer ? getpeername(sock, address, &length) : getsockname(sock, address, &length)) != 0) return;
  std::array<char, NI_MAXHOST> host{};
  std::array<char, NI_MAXSERV> service{};
  if (getnameinfo(address, length, host.data(), host.size(), service.data(), service.size(),
                  NI_NUMERICHOST | NI_NUMERICSERV) != 0)
    return;
  ip = host.data();
  port = std::atoi(service.data());
}

// A connection's socket as the library's parser reads it and its answers are written to. One per
// connection, so bytes of a pipelined next request stay in the buffer for it.
class DeadlineStream final : public httplib::Stream {
 public:
  DeadlineStream(int sock, Clock::duration readTimeout, Clock::duration writeTimeout,
                 std::string_view tooSlowAnswer)
      : sock_(sock), readTimeout_(readTimeout), writeTimeout_(writeTimeout), tooSlowAnswer_(tooSlowAnswer) {}

  /// Waits up to `idle` for the first byte of the next request; from then on the whole request has
  /// `allowed` to arrive. False when none came: the connection is closed without an answer, as an
  /// idle kept-alive connection is.
  bool nextRequest(Clock::duration idle, Clock::duration allowed) {
    if (start_ == end_ && !waitFor(sock_, POLLIN, idle)) return false;
    deadline_ = Clock::now() + allowed;
    written_ = false;
    return true;
  }
  bool timedOut() const { return timedOut_; }

  bool is_readable() const override {
    return start_ < end_ || waitFor(sock_, POLLIN, std::min(deadline_ - Clock::now(), readTimeout_));
  }
  bool is_writable() const override { return !timedOut_ && waitFor(sock_, POLLOUT, writeTimeout_); }

  ssize_t read(char* ptr, size_t size) override {
    if (start_ == end_) {
      if (timedOut_) return -1;
      // Each read waits no longer than the read timeout, and none past the request's deadline. A
      // request that stalls or trickles is answered 408 here.
      const Clock::duration left = deadline_ - Clock::now();
      if (left <= Clock::duration::zero() || !waitFor(sock_, POLLIN, std::min(left, readTimeout_))) {
        tooSlow();
        return -1;
      }
      const ssize_t n = ::recv(sock_, buffer_.data(), buffer_.size(), 0);
      if (n <= 0) return n;
      start_ = 0;
      end_ = static_cast<std::size_t>(n);
    }
    const std::size_t n = std::min(size, end_ - start_);
    std::memcpy(ptr, buffer_.data() + start_, n);
    start_ += n;
    return static_cast<ssize_t>(n);
  }

  ssize_t write(const char* ptr, size_t size) override {
    // After a 408 the library would write its own answer to the failed read; it must not follow.
    if (timedOut_ || !waitFor(sock_, POLLOUT, writeTimeout_)) return -1;
    const ssize_t n = ::send(sock_, ptr, size, MSG_NOSIGNAL);
    if (n > 0) written_ = true;
    return n;
  }

  void get_remote_ip_and_port(std::string& ip, int& port) const override { addressOf(sock_, true, ip, port); }
  void get_local_ip_and_port(std::string& ip, int& port) const override { addressOf(sock_, false, ip, port); }
  socket_t socket() const override { return sock_; }

 private:
  void tooSlow() {
    timedOut_ = true;
    // Only where nothing of an answer to this request has gone out, so the 408 never lands inside
    // another answer. Once the socket is writable at all, a message this short goes out whole.
    if (!written_ && waitFor(sock_, POLLOUT, writeTimeout_))
      ::send(sock_, tooSlowAnswer_.data(), tooSlowAnswer_.size(), MSG_NOSIGNAL);
  }

  int sock_;
  Clock::duration readTimeout_;
  Clock::duration writeTimeout_;
  std::string_view tooSlowAnswer_;
  Clock::time_point deadline_;
  bool written_ = false;
  bool timedOut_ = false;
  std::array<char, 4096> buffer_{};
  std::size_t start_ = 0;
  std::size_t end_ = 0;
};

Clock::duration timeout(time_t sec, time_t usec) {
  return std::chrono::seconds(sec) + std::chrono::microseconds(usec);
}

}  // namespace

DeadlineServer::DeadlineServer(std::chrono::milliseconds deadline, const std::string& tooSlow)
    : deadline_(deadline),
      tooSlowAnswer_(
          "HTTP/1.1 408 Request Timeout\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
          std::to_string(tooSlow.size() + 1) + "\r\nConnection: close\r\n\r\n" + tooSlow + "\n") {}

bool DeadlineServer::process_and_close_socket(socket_t sock) {
  DeadlineStream stream(sock, timeout(read_timeout_sec_, read_timeout_usec_),
                        timeout(write_timeout_sec_, write_timeout_usec_), tooSlowAnswer_);
  // As the library's own loop: up to the keep-alive count of requests, each waited for at most the
  // keep-alive timeout, until the server stops or either side closes.
  bool ok = false;
  for (std::size_t left = keep_alive_max_count_; left > 0 && svr_sock_ != INVALID_SOCKET; --left) {
    if (!stream.nextRequest(std::chrono::seconds(keep_alive_timeout_sec_), deadline_)) break;
    bool closed = false;
    ok = process_request(stream, left == 1, closed, nullptr);
    if (!ok || closed || stream.timedOut()) break;
  }
  ::shutdown(sock, SHUT_RDWR);
  ::close(sock);
  return ok;
}

}  // namespace kirune::serve
