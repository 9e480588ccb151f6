#include "server/http_service.h"

#include <httplib.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <variant>
#include <vector>

#include "server/deadline_server.h"
#include "server/preset_table_json.h"
#include "server/sheet_request.h"
#include "server/sheet_service.h"

namespace kirune::serve {
namespace {

constexpr const char* kText = "text/plain; charset=utf-8";
constexpr int kMaxBodyBytes = 16 * 1024;
// How long a request waits for a drawing turn before it is told to come back.
constexpr auto kTurnWait = std::chrono::seconds(20);

void reply(httplib::Response& res, int status, const std::string& message) {
  res.status = status;
  res.set_content(message + "\n", kText);
}

std::vector<std::pair<std::string, std::string>> paramsOf(const httplib::Request& req) {
  return {req.params.begin(), req.params.end()};
}

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
    case 413:
      return "リクエストが大きすぎます";
    case 414:
      return "アドレスが長すぎます";
    case 431:
      return "ヘッダーが大きすぎます";
    default:
      return status >= 500 ? "サーバーの中で失敗しました" : "リクエストを受け付けられません";
  }
}

// The threads that draw. A request's drawing is queued and taken in order by the first free worker,
// so under load every request waits about as long as the others, and the fonts and glyph caches (which
// Qt keeps per thread) are made once per worker, not once per connection thread.
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
  ~Workers() {
    {
      const std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    queued_.notify_all();
    for (std::thread& t : threads_) t.join();
  }
  Workers(const Workers&) = delete;
  Workers& operator=(const Workers&) = delete;

  /// Runs `job` on a worker and returns when it is done; false, with the job dropped, when no worker
  /// took it within `patience`.
  bool run(const std::function<void()>& job, std::chrono::steady_clock::duration patience) {
    auto task = std::make_shared<Task>();
    task->job = job;
    std::unique_lock lock(mutex_);
    queue_.push_back(task);
    queued_.notify_one();
    if (!task->changed.wait_for(lock, patience, [&] { return task->state != State::Waiting; })) {
      task->state = State::Dropped;
      return false;
    }
    task->changed.wait(lock, [&] { return task->state == State::Done; });
    return true;
  }

 private:
  enum class State { Waiting, Running, Done, Dropped };
  struct Task {
    std::function<void()> job;
    State state = State::Waiting;
    std::condition_variable changed;
  };

  void work() {
    std::unique_lock lock(mutex_);
    while (true) {
      queued_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
      if (stopping_) return;
      const std::shared_ptr<Task> task = queue_.front();
      queue_.pop_front();
      if (task->state == State::Dropped) continue;
      task->state = State::Running;
      task->changed.notify_all();
      lock.unlock();
      task->job();
      lock.lock();
      task->state = State::Done;
      task->changed.notify_all();
    }
  }

  std::mutex mutex_;
  std::condition_variable queued_;
  std::deque<std::shared_ptr<Task>> queue_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

// One small sheet, so that a worker's first real request does not pay for loading the fonts.
void warmUp() {
  const auto request = readSheetRequest({{"preset", "BitBtn1"}, {"answers", "1"}, {"seed", "1"}}, 1);
  try {
    if (const auto* r = std::get_if<SheetRequest>(&request)) sheetsPdf(*r);
  } catch (const std::exception&) {
    // A failure shows again, with its message, in the request that meets it.
  }
}

}  // namespace

struct HttpService::Impl {
  Impl(const ServeOptions& o, PageFiles p)
      : options(o),
        page(std::move(p)),
        workers(o.workers, warmUp),
        presetsJson(presetTableJson(o.maxSheets, o.printer.has_value())),
        server(std::chrono::seconds(o.requestTimeout), statusMessage(408)) {}

  ServeOptions options;
  PageFiles page;
  Workers workers;
  std::mutex printing;  // one print request at a time, so two classes' sheets never interleave
  std::string presetsJson;
  DeadlineServer server;
  int listeningSocket = -1;
  // The library ignores a stop that comes before it listens (a signal right after start-up): run() and
  // stop() meet through these instead.
  std::atomic<bool> runEntered{false};
  std::atomic<bool> runExited{false};
  std::atomic<bool> stopRequested{false};

  // Runs `work` on a drawing worker; answers 503 when none takes it in time.
  template <typename Work>
  void inTurn(httplib::Response& res, Work&& work) {
    std::string failure;
    const bool ran = workers.run(
        [&] {
          try {
            work();
          } catch (const std::exception& e) {
            failure = e.what();
          }
        },
        kTurnWait);
    if (!ran) {
      reply(res, 503, "混み合っています。少し待ってからもう一度どうぞ");
    } else if (!failure.empty()) {
      reply(res, 500, "作れませんでした: " + failure);
    }
  }

  void routes() {
    server.Get("/", [this](const httplib::Request&, httplib::Response& res) {
      res.set_content(page.html, "text/html; charset=utf-8");
    });
    server.Get("/kirune.css", [this](const httplib::Request&, httplib::Response& res) {
      res.set_content(page.css, "text/css; charset=utf-8");
    });
    server.Get("/kirune.js", [this](const httplib::Request&, httplib::Response& res) {
      res.set_content(page.js, "text/javascript; charset=utf-8");
    });
    server.Get("/healthz",
               [](const httplib::Request&, httplib::Response& res) { res.set_content("ok\n", kText); });
    server.Get("/api/presets", [this](const httplib::Request&, httplib::Response& res) {
      res.set_content(presetsJson, "application/json; charset=utf-8");
    });
    server.Get("/sheets.pdf", [this](const httplib::Request& req, httplib::Response& res) {
      auto read = readSheetRequest(paramsOf(req), options.maxSheets);
      if (auto* no = std::get_if<Refusal>(&read)) return reply(res, no->status, no->message);
      const SheetRequest& request = std::get<SheetRequest>(read);
      inTurn(res, [&] {
        const QByteArray pdf = sheetsPdf(request);
        res.set_header("Content-Disposition",
                       "inline; filename=\"" + std::string(request.preset->button) + ".pdf\"");
        res.set_content(pdf.constData(), static_cast<std::size_t>(pdf.size()), "application/pdf");
      });
    });
    server.Post("/print", [this](const httplib::Request& req, httplib::Response& res) {
      if (!options.printer) return reply(res, 403, "このサーバーでは印刷できません（--printer none）");
      auto read = readSheetRequest(paramsOf(req), options.maxSheets);
      if (auto* no = std::get_if<Refusal>(&read)) return reply(res, no->status, no->message);
      const SheetRequest& request = std::get<SheetRequest>(read);
      inTurn(res, [&] {
        const std::lock_guard lock(printing);
        const PrintReport report = printSheets(request, *options.printer);
        reply(res, report.delivered ? 200 : report.noPrinter ? 503 : 502, report.message);
      });
    });
    server.set_error_handler([](const httplib::Request&, httplib::Response& res) {
      if (res.body.empty()) res.set_content(statusMessage(res.status) + "\n", kText);
    });
    server.set_exception_handler([](const httplib::Request&, httplib::Response& res,
                                    const std::exception_ptr&) { reply(res, 500, statusMessage(500)); });
    server.set_post_routing_handler([](const httplib::Request&, httplib::Response& res) {
      // The page uses nothing from elsewhere, and says so to the browser.
      res.set_header("Content-Security-Policy",
                     "default-src 'self'; object-src 'self'; frame-ancestors 'self'");
      res.set_header("X-Content-Type-Options", "nosniff");
      res.set_header("Cache-Control", "no-store");
    });
  }
};

HttpService::HttpService(const ServeOptions& options, PageFiles page) {
  ServeOptions o = options;
  if (o.workers <= 0) o.workers = static_cast<int>(std::max(1U, std::thread::hardware_concurrency()));
  impl_ = std::make_unique<Impl>(o, std::move(page));
  httplib::Server& s = impl_->server;
  // Connection threads are cheap and only wait on the network or for a drawing turn; enough of them
  // that a few slow clients never keep the others out, and none holds one longer than the request
  // timeout (a request) plus the keep-alive timeout (between requests).
  const int connections = std::max(64, 4 * o.workers);
  s.new_task_queue = [connections] { return new httplib::ThreadPool(static_cast<std::size_t>(connections)); };
  s.set_read_timeout(5, 0);
  s.set_write_timeout(10, 0);
  s.set_keep_alive_max_count(1000);
  s.set_keep_alive_timeout(2);
  s.set_payload_max_length(kMaxBodyBytes);
  // A PDF goes out as headers and body; without this, Nagle's algorithm holds the body back for the
  // client's delayed acknowledgement on every kept-alive connection.
  s.set_tcp_nodelay(true);
  // SO_REUSEADDR only: a restarted server gets its port back at once, but a second server on a port
  // in use fails to start instead of sharing it. The socket is kept to lengthen its queue after bind.
  s.set_socket_options([impl = impl_.get()](int socket) {
    const int yes = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    impl->listeningSocket = socket;
  });
  impl_->routes();
}

HttpService::~HttpService() = default;

int HttpService::bind(std::string& error) {
  const ServeOptions& o = impl_->options;
  const int port = o.port == 0 ? impl_->server.bind_to_any_port(o.host)
                               : (impl_->server.bind_to_port(o.host, o.port) ? o.port : -1);
  // The library listens with a queue of 5 connections; when many clients connect at once, the others
  // would wait a second or more for their connection to be tried again. listen() again lengthens it.
  if (port >= 0 && impl_->listeningSocket >= 0) ::listen(impl_->listeningSocket, SOMAXCONN);
  if (port < 0)
    error =
        o.host + ":" + std::to_string(o.port) + " で待ち受けられません（アドレスか番号を確かめてください）";
  return port;
}

bool HttpService::run() {
  impl_->runEntered = true;
  const bool ran = impl_->stopRequested || impl_->server.listen_after_bind();
  impl_->runExited = true;
  return ran;
}

void HttpService::stop() {
  impl_->stopRequested = true;
  if (!impl_->runEntered) return;  // run() will see the request and not listen at all
  // run() may be on its way into listening: stop the server once it is.
  while (!impl_->runExited) {
    if (impl_->server.is_running()) {
      impl_->server.stop();
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

}  // namespace kirune::serve
