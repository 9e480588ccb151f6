#include "server/http_service.h"

#include <boost/asio/bind_executor.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ip/v6_only.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/string.hpp>
#include <boost/beast/http.hpp>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <iterator>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "server/http_text.h"
#include "server/preset_table_json.h"
#include "server/request_check.h"
#include "server/request_log.h"
#include "server/sheet_request.h"
#include "server/sheet_service.h"

namespace kirune::serve {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using Clock = std::chrono::steady_clock;
using Response = http::response<http::string_body>;

constexpr const char* kText = "text/plain; charset=utf-8";
// How long a connection may wait for its next request before it is closed without an answer.
constexpr auto kIdleWait = std::chrono::seconds(5);
// How long one answer may take to be written; a client that does not read is cut off.
constexpr auto kWriteWait = std::chrono::seconds(20);
// After an answer that closes the connection, what the client still sends is read and dropped for a
// moment, so that the answer is not lost to a reset.
constexpr auto kLingerWait = std::chrono::seconds(2);
constexpr std::size_t kLingerBytes = 64 * 1024;
// Requests waiting for a drawing worker; one more is answered 503.
constexpr std::size_t kQueueLength = 64;
constexpr int kIoThreads = 2;
// The longest a stop waits for requests under way before it ends them anyway.
constexpr auto kStopGrace = std::chrono::seconds(60);

std::string statusMessage(int status) {
  switch (status) {
    case 400:
      return "リクエストが正しくありません";
    case 404:
      return "そのページはありません";
    case 405:
      return "その方法では使えません";
    case 408:
      return "リクエストが遅すぎます";
    case 411:
      return "長さ（Content-Length）のない POST です";
    case 413:
      return "リクエストが大きすぎます";
    case 414:
      return "アドレスが長すぎます";
    case 429:
      return "この端末からの依頼が多すぎます。少し待ってからもう一度どうぞ";
    case 431:
      return "ヘッダーが大きすぎます";
    case 503:
      return "混み合っています。少し待ってからもう一度どうぞ";
    default:
      return status >= 500 ? "サーバーの中で失敗しました" : "リクエストを受け付けられません";
  }
}

// The threads that draw. Jobs are taken in the order they came by the first free worker, so the fonts
// and glyph caches (which Qt keeps per thread) are made once per worker. The queue is bounded: a job
// beyond it is refused at once instead of waiting without end.
class Workers {
 public:
  Workers(int count, const std::function<void()>& warmUp) {
    for (int i = 0; i < count; ++i) {
      threads_.emplace_back([this, warmUp] {
        if (warmUp) warmUp();
        work();
      });
    }
  }
  // Only once the I/O threads are done: what is still queued then (a stop past its grace) is dropped,
  // and what is being drawn is finished.
  ~Workers() {
    std::deque<std::function<void()>> dropped;
    {
      const std::lock_guard lock(mutex_);
      stopping_ = true;
      dropped.swap(queue_);
    }
    queued_.notify_all();
    for (std::thread& t : threads_) t.join();
  }
  Workers(const Workers&) = delete;
  Workers& operator=(const Workers&) = delete;

  /// Queues `job`; false when the queue is full.
  bool trySubmit(std::function<void()> job) {
    {
      const std::lock_guard lock(mutex_);
      if (queue_.size() >= kQueueLength) return false;
      queue_.push_back(std::move(job));
    }
    queued_.notify_one();
    return true;
  }

 private:
  void work() {
    std::unique_lock lock(mutex_);
    while (true) {
      queued_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
      if (queue_.empty()) return;  // stopping, with nothing left
      std::function<void()> job = std::move(queue_.front());
      queue_.pop_front();
      lock.unlock();
      job();
      lock.lock();
    }
  }

  std::mutex mutex_;
  std::condition_variable queued_;
  std::deque<std::function<void()>> queue_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

// One small sheet, so that a worker's first real request does not pay for loading the fonts.
void warmUp() {
  const auto request = readSheetRequest({{"preset", "BitBtn1"}, {"answers", "1"}, {"seed", "1"}}, 1);
  try {
    if (request) sheetsPdf(*request);
  } catch (const std::exception&) {
    // A failure shows again, with its message, in the request that meets it.
  }
}

// The seed of a request that names none: short enough to read out or copy by hand.
std::uint64_t freshSeed() {
  static std::mutex mutex;
  static std::mt19937_64 engine{std::random_device{}()};
  const std::lock_guard lock(mutex);
  return std::uniform_int_distribution<std::uint64_t>(1, 999'999'999)(engine);
}

// "くりあがり_２０.pdf": the row and the button, as the teacher chose them.
std::string pdfName(const Preset& preset) {
  std::string name = std::string(preset.rowTitle) + "_" + std::string(preset.caption) + ".pdf";
  std::replace_if(
      name.begin(), name.end(), [](char c) { return c == '/' || c == '\\'; }, '_');
  return name;
}

class Session;

}  // namespace

struct HttpService::Impl {
  Impl(const ServeOptions& o, PageFiles p)
      : options(o),
        page(std::move(p)),
        presetsJson(presetTableJson(o.maxSheets, o.printer.has_value())),
        log(20, 200),
        acceptStrand(asio::make_strand(io)),
        acceptor(acceptStrand),
        retryAccept(acceptStrand),
        workers(o.workers, warmUp) {}

  ServeOptions options;
  PageFiles page;
  std::string presetsJson;
  RequestLog log;
  std::mutex printing;  // one print request at a time, so two classes' sheets never interleave

  // Requests that hold a turn, from their check until their answer has been written (a drawn PDF is
  // memory until then), by client address and in all.
  std::mutex busyMutex;
  std::map<std::string, int> busy;
  int busyTotal = 0;

  // Open connections, so a stop can close the idle ones and let the others finish. Before the I/O
  // context: sessions its handlers still hold when it goes take themselves out of this list.
  std::mutex sessionsMutex;
  std::unordered_map<Session*, std::weak_ptr<Session>> sessions;

  asio::io_context io{kIoThreads};
  asio::strand<asio::io_context::executor_type> acceptStrand;
  tcp::acceptor acceptor;
  asio::steady_timer retryAccept;
  bool stopping = false;  // on the acceptor's strand

  std::mutex runMutex;
  std::condition_variable runChanged;
  bool runExited = false;

  // Last: its threads are joined first, before anything a job uses is gone.
  Workers workers;

  enum class Turn { Taken, ClientFull, ServerFull };
  Turn takeTurn(const std::string& client) {
    const std::lock_guard lock(busyMutex);
    // As many as can wait, plus those drawing: beyond that a request would only wait, and the memory
    // of the answers waiting to be read stays bounded (64 PDFs of the most sheets are about 100 MB).
    if (busyTotal >= static_cast<int>(kQueueLength) + options.workers) return Turn::ServerFull;
    int& n = busy[client];
    if (n >= options.perClient) return Turn::ClientFull;
    ++n;
    ++busyTotal;
    return Turn::Taken;
  }
  void giveTurnBack(const std::string& client) {
    const std::lock_guard lock(busyMutex);
    --busyTotal;
    if (--busy[client] <= 0) busy.erase(client);
  }

  void accept();
  void shutDown();
};

namespace {

// One connection: it reads a request, answers it, and waits for the next, every step with a deadline.
// Its handlers run one at a time on its strand; drawing runs on a worker, which hands the answer back
// to the strand and never touches the socket.
class Session : public std::enable_shared_from_this<Session> {
 public:
  Session(HttpService::Impl& service, tcp::socket socket)
      : service_(service), socket_(std::move(socket)), timer_(socket_.get_executor()) {
    beast::error_code ec;
    const tcp::endpoint peer = socket_.remote_endpoint(ec);
    if (!ec) {
      asio::ip::address address = peer.address();
      if (address.is_v6() && address.to_v6().is_v4_mapped())
        address = asio::ip::make_address_v4(asio::ip::v4_mapped, address.to_v6());
      client_ = address.to_string();
    }
    socket_.set_option(tcp::no_delay(true), ec);
  }
  ~Session() {
    giveTurnBack();
    const std::lock_guard lock(service_.sessionsMutex);
    service_.sessions.erase(this);
  }

  void start() {
    {
      const std::lock_guard lock(service_.sessionsMutex);
      service_.sessions.emplace(this, weak_from_this());
    }
    nextRequest();
  }

  auto socketExecutor() { return socket_.get_executor(); }

  /// The server stops: an idle connection closes now, the others after their answer.
  void stop() {
    stopping_ = true;
    beast::error_code ec;
    // A request that has begun to arrive is under way: it is read and answered first.
    if (phase_ == Phase::Idle && socket_.available(ec) == 0) socket_.cancel(ec);
  }

 private:
  enum class Phase { Idle, Reading, Drawing, Writing, Closing };

  void arm(Clock::duration wait) {
    const std::uint64_t generation = ++timerGeneration_;
    timer_.expires_after(wait);
    timer_.async_wait([self = shared_from_this(), generation](beast::error_code ec) {
      if (!ec && generation == self->timerGeneration_) self->onTimer();
    });
  }
  void disarm() {
    ++timerGeneration_;
    timer_.cancel();
  }

  void onTimer() {
    beast::error_code ec;
    if (phase_ == Phase::Reading) {
      // The request is too slow: stop reading and answer 408.
      timedOut_ = true;
      socket_.cancel(ec);
    } else {
      socket_.close(ec);
    }
  }

  void nextRequest() {
    if (stopping_) return closeNow();
    parser_.emplace();
    limitParser(*parser_);
    res_ = {};
    note_.clear();
    closeAfter_ = false;
    timedOut_ = false;
    if (buffer_.size() > 0) return readHeader();
    phase_ = Phase::Idle;
    arm(kIdleWait);
    socket_.async_read_some(buffer_.prepare(4096),
                            [self = shared_from_this()](beast::error_code ec, std::size_t n) {
                              self->disarm();
                              if (ec) return self->closeNow();
                              self->buffer_.commit(n);
                              self->readHeader();
                            });
  }

  void readHeader() {
    phase_ = Phase::Reading;
    started_ = Clock::now();
    method_ = "-";
    target_ = "-";
    // The whole request, headers and body, has this long from its first byte.
    arm(std::chrono::seconds(service_.options.requestTimeout));
    http::async_read_header(socket_, buffer_, *parser_,
                            [self = shared_from_this()](beast::error_code ec, std::size_t) {
                              if (ec) return self->readFailed(ec);
                              self->onHeader();
                            });
  }

  void readFailed(beast::error_code ec) {
    disarm();
    if (timedOut_) return fault(408, "リクエストを送り終えるのが遅すぎます", false);
    if (ec == http::error::header_limit) return fault(431);
    // More than the buffer holds: of the headers before the body, of a chunk's extensions after.
    if (ec == http::error::buffer_overflow) return fault(parser_->is_header_done() ? 413 : 431);
    if (ec == http::error::body_limit) return fault(413);
    // The client went away before its request was complete: nobody to answer.
    if (ec == http::error::end_of_stream || ec == http::error::partial_message || ec == asio::error::eof ||
        ec == asio::error::connection_reset || ec == asio::error::operation_aborted || !socket_.is_open())
      return closeNow();
    fault(400, ec.message(), false);
  }

  void onHeader() {
    const auto& req = parser_->get();
    method_ = std::string(req.method_string());
    target_ = std::string(req.target());
    if (const auto no = checkHeader(*parser_)) return refuse(*no);
    if (parser_->is_done()) return route();
    if (beast::iequals(req[http::field::expect], "100-continue")) {
      static constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";
      asio::async_write(socket_, asio::buffer(kContinue.data(), kContinue.size()),
                        [self = shared_from_this()](beast::error_code ec, std::size_t) {
                          if (ec) return self->readFailed(ec);
                          self->readBody();
                        });
      return;
    }
    readBody();
  }

  void readBody() {
    http::async_read(socket_, buffer_, *parser_,
                     [self = shared_from_this()](beast::error_code ec, std::size_t) {
                       if (ec) return self->readFailed(ec);
                       if (const auto no = checkTrailer(self->parser_->get())) return self->refuse(*no);
                       self->route();
                     });
  }

  void route() {
    disarm();
    phase_ = Phase::Drawing;
    const auto& req = parser_->get();
    const auto routed = routeRequest(req, service_.options);
    if (!routed) return refuse(routed.error());
    const Routed& to = *routed;
    switch (to.page) {
      case Page::Html:
        return answer(200, service_.page.html, "text/html; charset=utf-8");
      case Page::Css:
        return answer(200, service_.page.css, "text/css; charset=utf-8");
      case Page::Js:
        return answer(200, service_.page.js, "text/javascript; charset=utf-8");
      case Page::Health:
        return answer(200, "ok\n", kText);
      case Page::Presets:
        return answer(200, service_.presetsJson, "application/json; charset=utf-8");
      case Page::Sheets:
      case Page::Print:
        break;
    }
    SheetRequest request = *to.sheets;
    const bool print = to.page == Page::Print;
    if (!print) {
      res_.set(http::field::content_disposition,
               "inline; filename=\"kirune.pdf\"; filename*=" + extValue(pdfName(*request.preset)));
      // HEAD says what GET would send, without drawing it.
      if (req.method() == http::verb::head) return answer(200, {}, "application/pdf");
      if (!request.seed) request.seed = freshSeed();
    }
    const auto turn = service_.takeTurn(client_);
    if (turn != HttpService::Impl::Turn::Taken) {
      res_.set(http::field::retry_after, "5");
      if (turn == HttpService::Impl::Turn::ClientFull) return refuse(429);
      return refuse(503, "待ちの列がいっぱいです", false);
    }
    holdsTurn_ = true;
    note_ = "preset=" + std::string(request.preset->button) +
            " sheets=" + std::to_string(request.settings.SpinEdit1);
    auto job = [self = shared_from_this(), request, print,
                guard = asio::make_work_guard(socket_.get_executor())]() mutable {
      self->draw(request, print);
      guard.reset();
    };
    if (!service_.workers.trySubmit(std::move(job))) {
      giveTurnBack();
      res_.set(http::field::retry_after, "5");
      return refuse(503, "待ちの列がいっぱいです", false);
    }
  }

  // On a worker.
  void draw(const SheetRequest& request, bool print) {
    int status = 200;
    std::string body;
    std::string type = "application/pdf";
    std::string outcome;
    try {
      if (print) {
        const std::lock_guard lock(service_.printing);
        const PrintedRequest report = printRequest(request, *service_.options.printer);
        status = report.delivered ? 200 : report.noPrinter ? 503 : 502;
        body = report.message + "\n";
        type = kText;
        outcome = " queue=" +
                  (service_.options.printer->empty() ? std::string("(default)")
                                                     : logSafe(*service_.options.printer, 100)) +
                  " outcome=" +
                  (report.delivered   ? "sent"
                   : report.noPrinter ? "unavailable"
                                      : "failed");
      } else {
        const QByteArray pdf = sheetsPdf(request);
        body.assign(pdf.constData(), static_cast<std::size_t>(pdf.size()));
        outcome = " seed=" + std::to_string(*request.seed);
      }
    } catch (const std::exception& e) {
      status = 500;
      body = "作れませんでした: " + std::string(e.what()) + "\n";
      type = kText;
      outcome = " outcome=failed";
    }
    asio::post(socket_.get_executor(), [self = shared_from_this(), status, body = std::move(body), type,
                                        outcome, seed = request.seed]() mutable {
      self->note_ += outcome;
      if (status == 200 && seed && type == "application/pdf")
        self->res_.set("X-Kirune-Seed", std::to_string(*seed));
      self->answer(status, std::move(body), type);
    });
  }

  /// A refusal decided from the request alone.
  void refuse(const Verdict& verdict) {
    if (!verdict.allow.empty()) res_.set(http::field::allow, verdict.allow);
    if (verdict.close) return fault(verdict.status, verdict.detail, verdict.tell);
    refuse(verdict.status, verdict.detail, verdict.tell);
  }

  /// A request that cannot be read as it came: answered, and the connection closed, so that nothing
  /// after it can be taken for a next request.
  void fault(int status, const std::string& detail = {}, bool tell = true) {
    closeAfter_ = true;
    refuse(status, detail, tell);
  }

  /// A refusal: `detail` says why in the log, and to the client too when `tell` (the library's own
  /// words about a malformed request are not for a teacher).
  void refuse(int status, const std::string& detail = {}, bool tell = true) {
    const std::string message = detail.empty() || !tell ? statusMessage(status) : detail;
    note_ = "reason=\"" + logSafe(detail.empty() ? message : detail, 200) + "\"";
    answer(status, message + "\n", kText);
  }

  void answer(int status, std::string body, std::string_view type) {
    disarm();
    const bool head = parser_ && parser_->is_header_done() && parser_->get().method() == http::verb::head;
    res_.version(11);
    res_.result(static_cast<unsigned>(status));
    res_.set(http::field::content_type, type);
    // The page uses nothing from elsewhere, and says so to the browser.
    res_.set("Content-Security-Policy", "default-src 'self'; object-src 'self'; frame-ancestors 'self'");
    res_.set("X-Content-Type-Options", "nosniff");
    res_.set(http::field::cache_control, "no-store");
    res_.set(http::field::accept_ranges, "none");
    const bool keepAlive =
        !closeAfter_ && !stopping_ && parser_ && parser_->is_header_done() && parser_->get().keep_alive();
    res_.keep_alive(keepAlive);
    closeAfter_ = !keepAlive;
    const bool pdfHead = head && body.empty() && type == "application/pdf";
    res_.body() = std::move(body);
    if (!pdfHead) res_.prepare_payload();
    bodyBytes_ = res_.body().size();
    if (head) {
      // The headers of GET's answer, no body.
      res_.body().clear();
      bodyBytes_ = 0;
    }
    phase_ = Phase::Writing;
    arm(kWriteWait);
    http::async_write(socket_, res_, [self = shared_from_this()](beast::error_code ec, std::size_t) {
      self->disarm();
      self->giveTurnBack();
      self->logLine();
      if (ec) return self->closeNow();
      if (self->closeAfter_) return self->closeSoon();
      self->nextRequest();
    });
  }

  void logLine() {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started_).count();
    std::string line = (client_.empty() ? "-" : client_) + " " + logSafe(method_, 20) + " " +
                       logSafe(target_, 300) + " " + std::to_string(res_.result_int()) + " " +
                       std::to_string(bodyBytes_) + " B " + std::to_string(ms) + " ms";
    if (!note_.empty()) line += " " + note_;
    service_.log.write(line);
  }

  // Closes after the client has had time to read the answer: our side is shut, and whatever it still
  // sends is read and dropped for a moment, so that closing with unread bytes does not reset the
  // connection before the answer arrives.
  void closeSoon() {
    phase_ = Phase::Closing;
    beast::error_code ec;
    socket_.shutdown(tcp::socket::shutdown_send, ec);
    if (ec) return closeNow();
    arm(kLingerWait);
    drain();
  }
  void drain() {
    socket_.async_read_some(asio::buffer(discard_),
                            [self = shared_from_this()](beast::error_code ec, std::size_t n) {
                              self->drained_ += n;
                              if (ec || self->drained_ > kLingerBytes) return self->closeNow();
                              self->drain();
                            });
  }

  void giveTurnBack() {
    if (holdsTurn_) service_.giveTurnBack(client_);
    holdsTurn_ = false;
  }

  void closeNow() {
    disarm();
    phase_ = Phase::Closing;
    beast::error_code ec;
    socket_.close(ec);
  }

  HttpService::Impl& service_;
  tcp::socket socket_;
  asio::steady_timer timer_;
  std::uint64_t timerGeneration_ = 0;
  beast::flat_buffer buffer_{2 * kHeaderBytes};
  std::optional<http::request_parser<http::string_body>> parser_;
  Response res_;
  Phase phase_ = Phase::Idle;
  bool stopping_ = false;
  bool timedOut_ = false;
  bool closeAfter_ = false;
  bool holdsTurn_ = false;
  std::string client_;
  Clock::time_point started_ = Clock::now();
  std::string method_ = "-";
  std::string target_ = "-";
  std::string note_;
  std::size_t bodyBytes_ = 0;
  std::array<char, 4096> discard_{};
  std::size_t drained_ = 0;
};

}  // namespace

void HttpService::Impl::accept() {
  acceptor.async_accept(asio::make_strand(io), [this](beast::error_code ec, tcp::socket socket) {
    if (stopping || !acceptor.is_open()) return;
    if (ec) {
      // Out of descriptors, most likely: try again shortly instead of spinning.
      retryAccept.expires_after(std::chrono::milliseconds(100));
      retryAccept.async_wait([this](beast::error_code waitError) {
        if (!waitError && !stopping) accept();
      });
      return;
    }
    std::make_shared<Session>(*this, std::move(socket))->start();
    accept();
  });
}

void HttpService::Impl::shutDown() {
  if (stopping) return;
  stopping = true;
  beast::error_code ec;
  acceptor.close(ec);
  retryAccept.cancel();
  std::vector<std::shared_ptr<Session>> open;
  {
    const std::lock_guard lock(sessionsMutex);
    for (auto& [raw, weak] : sessions) {
      if (auto s = weak.lock()) open.push_back(std::move(s));
    }
  }
  for (auto& s : open) {
    asio::post(s->socketExecutor(), [s] { s->stop(); });
  }
}

HttpService::HttpService(const ServeOptions& options, PageFiles page) {
  ServeOptions o = options;
  if (o.workers <= 0) o.workers = static_cast<int>(std::max(1U, std::thread::hardware_concurrency()));
  impl_ = std::make_unique<Impl>(o, std::move(page));
}

HttpService::~HttpService() = default;

expected<int, std::string> HttpService::bind() {
  const ServeOptions& o = impl_->options;
  beast::error_code ec;
  tcp::resolver resolver(impl_->io);
  const auto found = resolver.resolve(o.host, std::to_string(o.port),
                                      tcp::resolver::passive | tcp::resolver::numeric_service, ec);
  if (ec || found.empty()) {
    return unexpected(o.host + " というアドレスがわかりません");
  }
  const tcp::endpoint endpoint = found.begin()->endpoint();
  tcp::acceptor& a = impl_->acceptor;
  a.open(endpoint.protocol(), ec);
  // A restarted server gets its port back at once; a second server on a port in use still fails.
  if (!ec) a.set_option(asio::socket_base::reuse_address(true), ec);
  // [::] takes IPv4 clients too.
  if (!ec && endpoint.address().is_v6() && endpoint.address().is_unspecified())
    a.set_option(asio::ip::v6_only(false), ec);
  if (!ec) a.bind(endpoint, ec);
  if (ec == asio::error::address_in_use) {
    return unexpected("ポート " + std::to_string(o.port) + " はほかのプログラムが使っています");
  }
  if (!ec) a.listen(asio::socket_base::max_listen_connections, ec);
  if (ec) {
    return unexpected(o.host + ":" + std::to_string(o.port) +
                      " で待ち受けられません（アドレスか番号を確かめてください）");
  }
  return a.local_endpoint().port();
}

bool HttpService::run() {
  impl_->accept();
  std::vector<std::thread> threads;
  for (int i = 1; i < kIoThreads; ++i) threads.emplace_back([this] { impl_->io.run(); });
  impl_->io.run();
  for (std::thread& t : threads) t.join();
  {
    const std::lock_guard lock(impl_->runMutex);
    impl_->runExited = true;
  }
  impl_->runChanged.notify_all();
  return true;
}

void HttpService::stop() {
  asio::post(impl_->acceptStrand, [impl = impl_.get()] { impl->shutDown(); });
  // Requests under way finish, each within its own deadlines; past the grace, the rest are cut.
  std::unique_lock lock(impl_->runMutex);
  if (!impl_->runChanged.wait_for(lock, kStopGrace, [&] { return impl_->runExited; })) impl_->io.stop();
}

}  // namespace kirune::serve
