// Load on kirune-serve: CLIENTS clients at once, each asking again as soon as its PDF has come, for a
// fixed time. Every request is a sheet of 20 problems with its answer sheet (two pages). Prints one
// markdown table row per client count: PDFs a second, median and 99th-percentile latency, and the
// server's peak memory (VmHWM) over that run. The server runs on a loopback port and is started fresh
// for each client count.
//   kirune_bench_serve KIRUNE_SERVE [SECONDS] [CLIENTS...]     (default: 10 s, 8 and 64 clients)

#include <httplib.h>
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
#include <iostream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

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

void measure(const std::string& binary, int clients, double seconds) {
  const Server server = startServer(binary);
  if (server.port == 0) {
    std::cerr << "kirune-serve did not start\n";
    std::exit(1);
  }
  const std::string path = "/sheets.pdf?preset=BitBtn1&answers=1";
  {
    // One request first, so that start-up work is not in the figures.
    httplib::Client warm("127.0.0.1", server.port);
    warm.Get(path);
  }
  std::mutex lock;
  std::vector<double> latencies;
  std::atomic<int> failures{0};
  const auto end = Clock::now() + std::chrono::duration<double>(seconds);
  std::vector<std::thread> threads;
  const auto start = Clock::now();
  for (int i = 0; i < clients; ++i) {
    threads.emplace_back([&] {
      httplib::Client c("127.0.0.1", server.port);
      c.set_keep_alive(true);
      c.set_tcp_nodelay(true);
      c.set_read_timeout(60, 0);
      std::vector<double> own;
      while (Clock::now() < end) {
        const auto t0 = Clock::now();
        const auto res = c.Get(path);
        const auto t1 = Clock::now();
        if (!res || res->status != 200 || res->body.size() < 1000) {
          ++failures;
          continue;
        }
        own.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
      }
      const std::lock_guard guard(lock);
      latencies.insert(latencies.end(), own.begin(), own.end());
    });
  }
  for (std::thread& t : threads) t.join();
  const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  const double peak = peakMegabytes(server.pid);
  stopServer(server);
  std::sort(latencies.begin(), latencies.end());
  std::printf("| %d | %zu | %.0f | %.1f | %.1f | %.1f | %d |\n", clients, latencies.size(),
              static_cast<double>(latencies.size()) / elapsed, percentile(latencies, 0.5),
              percentile(latencies, 0.99), peak, failures.load());
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: kirune_bench_serve KIRUNE_SERVE [SECONDS] [CLIENTS...]\n";
    return 2;
  }
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
  return 0;
}
