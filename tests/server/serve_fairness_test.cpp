// kirune-serve against clients that misbehave, over real sockets: busy clients, idle sockets,
// slowloris connections, floods of header lines and of byte ranges. Another device is still answered
// at once, the server's memory stays bounded, and one device cannot take every turn. Run alone
// (RUN_SERIAL): the one-second limit is about the server, not about other tests sharing the cores.

#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/server/http_client.h"
#include "tests/server/serve_process.h"

namespace {

using kirune::test::HttpConnection;
using kirune::test::httpGet;
using kirune::test::httpRequest;
using kirune::test::ServeProcess;

// Loopback addresses of their own, so that many clients in this one process count as many devices.
std::string deviceAddress(int i) { return "127.0.0." + std::to_string(10 + i); }

// The server's clients that misbehave: busy ones asking for PDFs as fast as they come, idle sockets,
// and slowloris connections that trickle a header line and never finish it.
class Abuse {
 public:
  explicit Abuse(int port) : port_(port) {}
  ~Abuse() { stop(); }

  void busy(int clients) {
    for (int i = 0; i < clients; ++i) {
      threads_.emplace_back([this, i] {
        const std::string from = deviceAddress(i);
        HttpConnection c(port_, from.c_str(), 60);
        while (!stopping_) {
          const auto res = c.exchange(httpRequest("GET", "/sheets.pdf?preset=BitBtn1&answers=1"));
          if (!res || res->result_int() != 200) ++busyFailures;
          if (!res) c = HttpConnection(port_, from.c_str(), 60);
        }
      });
    }
  }
  void idle(int sockets) {
    for (int i = 0; i < sockets; ++i) held_.emplace_back(port_, deviceAddress(100 + i % 100).c_str());
  }
  void slowloris(int sockets) {
    std::vector<HttpConnection> slow;
    for (int i = 0; i < sockets; ++i) {
      slow.emplace_back(port_, deviceAddress(i % 50).c_str());
      slow.back().send("GET /sheets.pdf?preset=BitBtn13 HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: ");
    }
    threads_.emplace_back([this, slow = std::move(slow)]() mutable {
      while (!stopping_) {
        for (HttpConnection& c : slow) c.send("a");
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
      }
    });
  }
  // Header lines of 8 KB as fast as the server reads them, on new connections once it closes them.
  void headerFlood(int sockets) {
    for (int i = 0; i < sockets; ++i) {
      threads_.emplace_back([this, i] {
        const std::string line = "X-Flood: " + std::string(8192, 'a') + "\r\n";
        while (!stopping_) {
          HttpConnection c(port_, deviceAddress(200 + i).c_str(), 5);
          c.send("GET /healthz HTTP/1.1\r\nHost: 127.0.0.1\r\n");
          while (!stopping_ && c.send(line)) {
          }
        }
      });
    }
  }
  // Requests for 400 ranges of a PDF at once, over and over.
  void rangeFlood(int sockets) {
    std::string ranges = "Range: bytes=0-";
    for (int i = 0; i < 399; ++i) ranges += ",0-";
    for (int i = 0; i < sockets; ++i) {
      threads_.emplace_back([this, i, ranges] {
        HttpConnection c(port_, deviceAddress(230 + i).c_str(), 60);
        while (!stopping_) {
          if (!c.exchange(
                  httpRequest("GET", "/sheets.pdf?preset=BitBtn1&sheets=5&answers=1", ranges + "\r\n")))
            c = HttpConnection(port_, deviceAddress(230 + i).c_str(), 60);
        }
      });
    }
  }
  void stop() {
    stopping_ = true;
    for (std::thread& t : threads_) t.join();
    threads_.clear();
    held_.clear();
    stopping_ = false;
  }

  std::atomic<int> busyFailures{0};

 private:
  int port_;
  std::atomic<bool> stopping_{false};
  std::vector<std::thread> threads_;
  std::vector<HttpConnection> held_;
};

// The slowest of a few /healthz, each on a new connection from a device of its own, in milliseconds.
double slowestHealth(int port) {
  double slowest = 0;
  for (int i = 0; i < 5; ++i) {
    const auto t0 = std::chrono::steady_clock::now();
    const auto res = httpGet(port, "/healthz");
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    if (!res || res->result_int() != 200) return 1e9;
    slowest = std::max(slowest, ms);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  return slowest;
}

TEST(ServeFairness, AnotherClientsHealthCheckIsAnsweredWithinASecondUnderEachAbuse) {
  ServeProcess server({"--workers", "2"});
  ASSERT_GT(server.port(), 0);
  {
    Abuse abuse(server.port());
    abuse.busy(64);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_LT(slowestHealth(server.port()), 1000) << "64 busy kept-alive clients";
    abuse.stop();
    EXPECT_EQ(abuse.busyFailures, 0) << "64 clients from 64 devices are within every limit";
  }
  {
    Abuse abuse(server.port());
    abuse.idle(900);
    EXPECT_LT(slowestHealth(server.port()), 1000) << "900 idle sockets";
  }
  {
    Abuse abuse(server.port());
    abuse.slowloris(100);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_LT(slowestHealth(server.port()), 1000) << "100 slowloris connections";
  }
}

// Each abuse at once, with floods of header lines and of byte ranges besides: the server's peak memory
// stays within what the unit allows it with room to spare.
TEST(ServeFairness, PeakMemoryStaysUnderOneHundredFiftyMegabytesUnderEveryAbuseAtOnce) {
  ServeProcess server({"--workers", "2"});
  ASSERT_GT(server.port(), 0);
  {
    Abuse abuse(server.port());
    abuse.busy(64);
    abuse.idle(900);
    abuse.slowloris(100);
    abuse.headerFlood(3);
    abuse.rangeFlood(8);
    std::this_thread::sleep_for(std::chrono::seconds(6));
  }
  QFile status(QString("/proc/%1/status").arg(server.pid()));
  ASSERT_TRUE(status.open(QIODevice::ReadOnly));
  const QString text = QString::fromLatin1(status.readAll());
  const auto m = QRegularExpression(R"(VmHWM:\s+(\d+) kB)").match(text);
  ASSERT_TRUE(m.hasMatch());
  const double peakMb = m.captured(1).toDouble() / 1024;
  EXPECT_LE(peakMb, 150) << "peak " << peakMb << " MB";
  EXPECT_GT(peakMb, 10);  // the reading is the server's, which holds its fonts and pictures
  EXPECT_TRUE(httpGet(server.port(), "/healthz"));
}

// One device cannot fill the queue for the others, and a full queue says when to come back.
TEST(ServeFairness, ADeviceOverItsCapGetsFourTwentyNineAndAFullQueueFiveOhThree) {
  ServeProcess server({"--workers", "1", "--per-client", "2"});
  ASSERT_GT(server.port(), 0);
  const std::string big = httpRequest("GET", "/sheets.pdf?preset=BitBtn1&sheets=100&answers=1");
  {
    std::vector<HttpConnection> same;
    for (int i = 0; i < 3; ++i) {
      same.emplace_back(server.port(), "127.0.0.77", 120);
      ASSERT_TRUE(same.back().send(big));
    }
    std::vector<unsigned> statuses;
    for (HttpConnection& c : same) {
      const auto res = c.read();
      ASSERT_TRUE(res);
      statuses.push_back(res->result_int());
      if (res->result_int() == 429) {
        EXPECT_EQ(res->body().rfind("この端末からの依頼が多すぎます", 0), 0U) << res->body();
        EXPECT_FALSE((*res)["Retry-After"].empty());
      }
    }
    EXPECT_EQ(std::count(statuses.begin(), statuses.end(), 200U), 2);
    EXPECT_EQ(std::count(statuses.begin(), statuses.end(), 429U), 1);
  }
  // 35 devices with two requests each: one is drawn, 64 wait, the rest are told to come back.
  const std::string small = httpRequest("GET", "/sheets.pdf?preset=BitBtn1&sheets=50");
  std::vector<HttpConnection> many;
  for (int i = 0; i < 70; ++i) {
    many.emplace_back(server.port(), deviceAddress(i / 2).c_str(), 120);
    ASSERT_TRUE(many.back().send(small));
  }
  int ok = 0;
  int later = 0;
  for (HttpConnection& c : many) {
    const auto res = c.read();
    ASSERT_TRUE(res);
    if (res->result_int() == 200) ++ok;
    if (res->result_int() == 503) {
      ++later;
      EXPECT_FALSE((*res)["Retry-After"].empty());
      EXPECT_EQ(res->body().rfind("混み合っています", 0), 0U) << res->body();
    }
  }
  EXPECT_EQ(ok + later, 70);
  EXPECT_GE(later, 1);
  EXPECT_GE(ok, 65);
  // /healthz never waited behind any of it.
  EXPECT_TRUE(httpGet(server.port(), "/healthz"));
}

}  // namespace
