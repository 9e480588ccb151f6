// Load on kirune-serve: CLIENTS clients at once, each asking again as soon as its PDF has come, for a
// fixed time. Every request is a sheet of 20 problems with its answer sheet (two pages). Prints one
// markdown table row per client count: PDFs a second, median and 99th-percentile latency, and the
// server's peak memory (VmHWM) over that run. Then one row per abuse a hostile client can try, each
// against a fresh server with 8 busy clients besides: the slowest of another client's /healthz during
// it, and the server's peak memory. The server runs on a loopback port; each client connects from a
// loopback address of its own (127.0.0.N), as the devices of a school network would.
//   kirune_bench_serve KIRUNE_SERVE [SECONDS] [CLIENTS...]     (default: 10 s, 8 and 64 clients)

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/server/http_client.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using kirune::test::HttpConnection;
using kirune::test::httpRequest;

struct Server {
  pid_t pid = -1;
  int port = 0;
};

Server startServer(const std::string& binary) {
  int fds[2];
  if (pipe(fds) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  // The request log is not part of what is measured here.
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  std::vector<std::string> args = {binary, "--listen", "127.0.0.1:0", "--max-sheets", "100"};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  Server s;
  if (posix_spawn(&s.pid, binary.c_str(), &actions, nullptr, argv.data(), environ) != 0) return {};
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  std::string line;
  char c = 0;
  while (read(fds[0], &c, 1) == 1 && c != '\n') line += c;
  close(fds[0]);
  const auto colon = line.rfind(':');
  if (colon != std::string::npos) s.port = std::atoi(line.c_str() + colon + 1);
  if (s.port == 0) {
    std::cerr << "kirune-serve did not start\n";
    std::exit(1);
  }
  return s;
}

double peakMegabytes(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string key;
  while (status >> key) {
    if (key == "VmHWM:") {
      double kb = 0;
      status >> kb;
      return kb / 1024.0;
    }
    status.ignore(1 << 12, '\n');
  }
  return 0;
}

void stopServer(const Server& s) {
  kill(s.pid, SIGTERM);
  int status = 0;
  waitpid(s.pid, &status, 0);
}

double percentile(std::vector<double>& sorted, double p) {
  if (sorted.empty()) return 0;
  const auto i = static_cast<std::size_t>(std::lround(p * static_cast<double>(sorted.size() - 1)));
  return sorted[std::min(i, sorted.size() - 1)];
}

std::string device(int i) {
  return "127.0." + std::to_string(1 + i / 250) + "." + std::to_string(2 + i % 250);
}

const std::string kPdf = httpRequest("GET", "/sheets.pdf?preset=BitBtn1&answers=1");

// Clients asking for PDFs back to back until `end`; their latencies in milliseconds.
struct Busy {
  std::mutex lock;
  std::vector<double> latencies;
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;

  void start(int port, int clients, Clock::time_point end) {
    for (int i = 0; i < clients; ++i) {
      threads.emplace_back([this, port, i, end] {
        const std::string from = device(i);
        HttpConnection c(port, from.c_str(), 60);
        std::vector<double> own;
        while (Clock::now() < end) {
          const auto t0 = Clock::now();
          const auto res = c.exchange(kPdf);
          const auto t1 = Clock::now();
          if (!res || res->result_int() != 200 || res->body().size() < 1000) {
            ++failures;
            if (!res) c = HttpConnection(port, from.c_str(), 60);
            continue;
          }
          own.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        }
        const std::lock_guard guard(lock);
        latencies.insert(latencies.end(), own.begin(), own.end());
      });
    }
  }
  void join() {
    for (std::thread& t : threads) t.join();
    threads.clear();
  }
};

void measure(const std::string& binary, int clients, double seconds) {
  const Server server = startServer(binary);
  {
    // One request first, so that start-up work is not in the figures.
    HttpConnection warm(server.port);
    warm.exchange(kPdf);
  }
  Busy busy;
  const auto start = Clock::now();
  busy.start(server.port, clients,
             start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds)));
  busy.join();
  const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  const double peak = peakMegabytes(server.pid);
  stopServer(server);
  std::sort(busy.latencies.begin(), busy.latencies.end());
  std::printf("| %d | %zu | %.0f | %.1f | %.1f | %.1f | %d |\n", clients, busy.latencies.size(),
              static_cast<double>(busy.latencies.size()) / elapsed, percentile(busy.latencies, 0.5),
              percentile(busy.latencies, 0.99), peak, busy.failures.load());
  std::fflush(stdout);
}

// One abuse: `setUp` opens its connections, `keepUp` runs on its own thread until told to stop.
struct Abuse {
  const char* name;
  std::function<void(int port, std::vector<HttpConnection>& held)> setUp;
  std::function<void(int port, std::vector<HttpConnection>& held, const std::atomic<bool>& stop)> keepUp;
};

void measureAbuse(const std::string& binary, const Abuse& abuse, double seconds) {
  const Server server = startServer(binary);
  {
    HttpConnection warm(server.port);
    warm.exchange(kPdf);
  }
  const auto end =
      Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  Busy busy;
  busy.start(server.port, 8, end);
  std::vector<HttpConnection> held;
  abuse.setUp(server.port, held);
  std::atomic<bool> stop{false};
  std::thread keeper;
  if (abuse.keepUp) keeper = std::thread([&] { abuse.keepUp(server.port, held, stop); });
  // Another device's health check, every 100 ms while the abuse goes on.
  std::vector<double> health;
  int unanswered = 0;
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  while (Clock::now() < end) {
    const auto t0 = Clock::now();
    HttpConnection c(server.port, "127.0.9.1", 10);
    const auto res = c.exchange(httpRequest("GET", "/healthz"));
    if (!res || res->result_int() != 200) ++unanswered;
    health.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  stop = true;
  if (keeper.joinable()) keeper.join();
  busy.join();
  const double peak = peakMegabytes(server.pid);
  held.clear();
  stopServer(server);
  std::sort(health.begin(), health.end());
  std::printf("| %s | %zu | %.1f | %.1f | %d | %.1f |\n", abuse.name, health.size(), percentile(health, 0.5),
              health.empty() ? 0.0 : health.back(), unanswered, peak);
  std::fflush(stdout);
}

std::vector<Abuse> abuses() {
  const std::string slowStart = "GET /sheets.pdf?preset=BitBtn13 HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: ";
  std::string ranges = "Range: bytes=0-";
  for (int i = 0; i < 399; ++i) ranges += ",0-";
  ranges += "\r\n";
  return {
      {"900 idle sockets",
       [](int port, std::vector<HttpConnection>& held) {
         for (int i = 0; i < 900; ++i) held.emplace_back(port, device(100 + i).c_str());
       },
       {}},
      {"100 slowloris connections (a byte every 200 ms)",
       [slowStart](int port, std::vector<HttpConnection>& held) {
         for (int i = 0; i < 100; ++i) {
           held.emplace_back(port, device(100 + i).c_str());
           held.back().send(slowStart);
         }
       },
       [](int, std::vector<HttpConnection>& held, const std::atomic<bool>& stop) {
         while (!stop) {
           for (HttpConnection& c : held) c.send("a");
           std::this_thread::sleep_for(std::chrono::milliseconds(200));
         }
       }},
      {"3 connections sending 8 KB header lines without end", [](int, std::vector<HttpConnection>&) {},
       [](int port, std::vector<HttpConnection>&, const std::atomic<bool>& stop) {
         const std::string line = "X-Flood: " + std::string(8192, 'a') + "\r\n";
         std::vector<std::thread> floods;
         for (int i = 0; i < 3; ++i) {
           floods.emplace_back([&, i] {
             while (!stop) {
               HttpConnection c(port, device(300 + i).c_str(), 5);
               c.send("GET /healthz HTTP/1.1\r\nHost: 127.0.0.1\r\n");
               while (!stop && c.send(line)) {
               }
             }
           });
         }
         for (std::thread& t : floods) t.join();
       }},
      {"128 connections from 16 devices asking for 100-sheet PDFs with answers and never reading",
       [](int port, std::vector<HttpConnection>& held) {
         const std::string request = httpRequest("GET", "/sheets.pdf?preset=BitBtn1&sheets=100&answers=1");
         for (int i = 0; i < 128; ++i) {
           held.emplace_back(port, device(300 + i / 8).c_str());
           const int small = 4096;
           setsockopt(held.back().fd(), SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
           held.back().send(request);
         }
       },
       {}},
      {"8 connections asking for 400 byte ranges of a PDF", [](int, std::vector<HttpConnection>&) {},
       [ranges](int port, std::vector<HttpConnection>&, const std::atomic<bool>& stop) {
         std::vector<std::thread> floods;
         for (int i = 0; i < 8; ++i) {
           floods.emplace_back([&, i] {
             HttpConnection c(port, device(300 + i).c_str(), 60);
             const std::string request =
                 httpRequest("GET", "/sheets.pdf?preset=BitBtn1&sheets=5&answers=1", ranges);
             while (!stop) {
               if (!c.exchange(request)) c = HttpConnection(port, device(300 + i).c_str(), 60);
             }
           });
         }
         for (std::thread& t : floods) t.join();
       }},
  };
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: kirune_bench_serve KIRUNE_SERVE [SECONDS] [CLIENTS...]\n";
    return 2;
  }
  signal(SIGPIPE, SIG_IGN);
  const std::string binary = argv[1];
  const double seconds = argc > 2 ? std::atof(argv[2]) : 10.0;
  std::vector<int> counts;
  for (int i = 3; i < argc; ++i) counts.push_back(std::atoi(argv[i]));
  if (counts.empty()) counts = {8, 64};
  std::printf("kirune-serve, %u cores: two-page PDFs (BitBtn1, 20 problems, answers), %.0f s per row\n\n",
              std::thread::hardware_concurrency(), seconds);
  std::printf("| clients | PDFs | PDFs/s | median ms | p99 ms | server peak MB | failed |\n");
  std::printf("|---|---|---|---|---|---|---|\n");
  for (const int n : counts) measure(binary, n, seconds);

  if (std::getenv("KIRUNE_BENCH_NO_ABUSE")) return 0;  // the load rows only, for comparing builds
  std::printf(
      "\nUnder abuse, with 8 busy clients besides; another device's /healthz every 100 ms, %.0f s per "
      "row\n\n",
      seconds);
  std::printf("| abuse | health checks | median ms | slowest ms | unanswered | server peak MB |\n");
  std::printf("|---|---|---|---|---|---|\n");
  for (const Abuse& a : abuses()) measureAbuse(binary, a, seconds);
  return 0;
}
