// kirune-serve over real HTTP on a loopback port: PDFs identical to kirune-print's, every class of bad
// input refused with a 4xx and a Japanese message, hostile requests refused and their connections
// closed, slow and idle clients holding nobody up, printing only from the server's own page.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/server/http_client.h"
#include "tests/server/serve_process.h"
#include "tests/support/program.h"

namespace {

using kirune::test::HttpConnection;
using kirune::test::httpGet;
using kirune::test::httpRequest;
using kirune::test::HttpResponse;
using kirune::test::ServeProcess;

// The environment the programs run in here: offscreen, the clock of now.
kirune::test::RunOptions toolOptions() {
  kirune::test::RunOptions options;
  options.env = {"QT_QPA_PLATFORM=offscreen", "SOURCE_DATE_EPOCH"};
  return options;
}

// A tool's standard output; a run that does not exit 0 is a failure at the caller's line.
QByteArray runTool(const QString& program, const QStringList& args, kirune::test::Where where = {}) {
  return QByteArray::fromStdString(kirune::test::run(program, args, 0, toolOptions(), where).out);
}

QByteArray kirunePrintPdf(const QStringList& args, const QTemporaryDir& dir) {
  const QString path = dir.filePath("print.pdf");
  QFile::remove(path);
  runTool(KIRUNE_PRINT, args + QStringList{"--pdf", path});
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The pages' text as pdftotext reads it: the hidden text under the glyphs, a form feed after each page.
QByteArray pdfText(const QByteArray& pdf, const QTemporaryDir& dir) {
  const QString path = dir.filePath("text.pdf");
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly) || f.write(pdf) != pdf.size()) return {};
  f.close();
  return runTool("pdftotext", {"-layout", path, "-"});
}

class ServeTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server = std::make_unique<ServeProcess>(QStringList{"--max-sheets", "5", "--workers", "2"});
  }
  static void TearDownTestSuite() { server.reset(); }
  void SetUp() override { ASSERT_GT(server->port(), 0) << "kirune-serve did not announce its port"; }

  static std::optional<HttpResponse> get(const std::string& target) {
    return httpGet(server->port(), target);
  }
  static std::unique_ptr<ServeProcess> server;
  QTemporaryDir dir;
};
std::unique_ptr<ServeProcess> ServeTest::server;

TEST_F(ServeTest, SheetsAreThePdfKirunePrintMakesWithTheSameSeed) {
  struct Case {
    std::string query;
    QStringList print;
    int pages;
  };
  const std::vector<Case> cases = {
      {"preset=BitBtn13&sheets=2&answers=1&seed=5",
       {"BitBtn13", "--sheets", "2", "--answers", "1", "--seed", "5"},
       4},
      {"preset=BitBtn118&rows=2,3&clipart_fixed=4&name=0&seed=9",
       {"BitBtn118", "--rows", "2,3", "--clipart_fixed", "4", "--name", "0", "--seed", "9"},
       1},
      {"preset=BitBtn131&numbers=4,10&time=1&sheets=3&seed=2",
       {"BitBtn131", "--numbers", "4,10", "--time", "1", "--sheets", "3", "--seed", "2"},
       3},
      {"preset=BitBtn143&tile_rows=1&zero_sub=0&clipart=0&answers=1&seed=11",
       {"BitBtn143", "--tile_rows", "1", "--zero_sub", "0", "--clipart", "0", "--answers", "1", "--seed",
        "11"},
       2},
      {"preset=BitBtn121&sheets=5&seed=1", {"BitBtn121", "--sheets", "5", "--seed", "1"}, 5},
  };
  HttpConnection c(server->port());
  for (const Case& k : cases) {
    SCOPED_TRACE(k.query);
    const auto res = c.exchange(httpRequest("GET", "/sheets.pdf?" + k.query));
    ASSERT_TRUE(res);
    ASSERT_EQ(res->result_int(), 200U) << res->body();
    EXPECT_EQ((*res)["Content-Type"], "application/pdf");
    const QByteArray served(res->body().data(), static_cast<qsizetype>(res->body().size()));
    const QByteArray printed = kirunePrintPdf(k.print, dir);
    ASSERT_FALSE(printed.isEmpty());
    const QByteArray text = pdfText(served, dir);
    EXPECT_EQ(text.count('\f'), k.pages);
    EXPECT_EQ(text, pdfText(printed, dir));
    EXPECT_TRUE(served == printed) << "the served PDF differs from kirune-print's";
  }
}

TEST_F(ServeTest, DownloadsAreNamedInJapaneseAndTheirSeedRemakesThem) {
  HttpConnection c(server->port());
  const auto first = c.exchange(httpRequest("GET", "/sheets.pdf?preset=BitBtn13&answers=1"));
  ASSERT_TRUE(first);
  ASSERT_EQ(first->result_int(), 200U) << first->body();
  // くりあがり_２０.pdf, with a plain name for clients that read no filename*.
  EXPECT_EQ((*first)["Content-Disposition"],
            "inline; filename=\"kirune.pdf\"; filename*=UTF-8''%E3%81%8F%E3%82%8A%E3%81%82%E3%81%8C%E3%82%8A_"
            "%EF%BC%92%EF%BC%90.pdf");
  const std::string seed((*first)["X-Kirune-Seed"]);
  ASSERT_FALSE(seed.empty());
  EXPECT_EQ(seed.find_first_not_of("0123456789"), std::string::npos) << seed;

  const auto again = c.exchange(httpRequest("GET", "/sheets.pdf?preset=BitBtn13&answers=1&seed=" + seed));
  ASSERT_TRUE(again);
  EXPECT_EQ((*again)["X-Kirune-Seed"], seed);
  EXPECT_TRUE(again->body() == first->body()) << "the seed in the header does not remake the PDF";
  // Two unseeded requests draw different sheets, each with its own seed.
  const auto other = c.exchange(httpRequest("GET", "/sheets.pdf?preset=BitBtn13&answers=1"));
  ASSERT_TRUE(other);
  EXPECT_NE((*other)["X-Kirune-Seed"], seed);
  EXPECT_NE(other->body(), first->body());
}

TEST_F(ServeTest, BadInputIsRefusedWithAFourHundredAndAJapaneseMessage) {
  struct Case {
    std::string target;
    int status;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"/sheets.pdf?preset=BitBtn999", 400, "不明なプリセット: BitBtn999"},
      {"/sheets.pdf?preset=BitBtn25", 400, "不明なプリセット: BitBtn25"},
      {"/sheets.pdf?sheets=2", 400, "preset がありません"},
      {"/sheets.pdf?preset=BitBtn13&colour=red", 400, "不明な設定: colour"},
      {"/sheets.pdf?preset=BitBtn13&sheets=two", 400, "sheets の値が正しくありません: two"},
      {"/sheets.pdf?preset=BitBtn13&sheets=abc=2", 400, "sheets の値が正しくありません: abc=2"},
      {"/sheets.pdf?preset=BitBtn13&answers=2", 400, "answers の値が正しくありません: 2"},
      {"/sheets.pdf?preset=BitBtn13&clipart_fixed=40", 400, "clipart_fixed の値が正しくありません: 40"},
      {"/sheets.pdf?preset=BitBtn13&rows=1,11", 400, "rows の値が正しくありません: 1,11"},
      {"/sheets.pdf?preset=BitBtn13&seed=-1", 400, "seed の値が正しくありません: -1"},
      {"/sheets.pdf?preset=BitBtn13&sheets=6", 400, "枚数が多すぎます: 6（1..5 枚）"},
      {"/sheets.pdf?preset=BitBtn13&sheets=99999999999", 400, "sheets の値が正しくありません"},
      {"/sheets.pdf?preset=BitBtn13&sheets=0", 400, "シートが一つもできません"},
      {"/sheets.pdf?preset=BitBtn13&print=0", 400, "シートが一つもできません"},
      {"/sheets.pdf?preset=BitBtn26&rows=none", 400, "シートが一つもできません"},
      {"/sheets.pdf?preset=BitBtn13&sheets=1&sheets=2", 400, "同じ設定が二度あります: sheets"},
      // Not UTF-8, or not decodable: refused, and what came is not said back.
      {"/sheets.pdf?preset=BitBtn13&rows=%ff%fe", 400, "文字が正しくない設定があります"},
      {"/sheets.pdf?preset=BitBtn%c0%ad13", 400, "文字が正しくない設定があります"},
      {"/sheets.pdf?preset=BitBtn13&rows=%zz", 400, "% の書き方が正しくない設定があります"},
      {"/nothing-here", 404, "そのページはありません"},
      {"/sheets.pdf?preset=BitBtn13&name=" + std::string(9000, '1'), 414, "アドレスが長すぎます"},
  };
  HttpConnection c(server->port());
  for (const Case& k : cases) {
    SCOPED_TRACE(k.target.substr(0, 80));
    const auto res = c.exchange(httpRequest("GET", k.target));
    ASSERT_TRUE(res);
    EXPECT_EQ(res->result_int(), static_cast<unsigned>(k.status));
    EXPECT_EQ((*res)["Content-Type"], "text/plain; charset=utf-8");
    EXPECT_EQ(res->body().rfind(k.message, 0), 0U) << res->body();
    EXPECT_EQ(res->body().find('\xff'), std::string::npos);
  }
  // Refused parameters are no fault of the connection: it stays open for the next request.
  EXPECT_FALSE(c.closedWithin(std::chrono::milliseconds(100)));

  // Printing is off on this server.
  const auto print = c.exchange(httpRequest("POST", "/print", "X-Kirune-Page: 1\r\n", "preset=BitBtn13"));
  ASSERT_TRUE(print);
  EXPECT_EQ(print->result_int(), 403U);
  EXPECT_EQ(print->body().rfind("このサーバーでは印刷できません", 0), 0U) << print->body();
}

// What a hostile client sends, what it gets, and whether the connection ends there. Requests that are
// framed in a way that could be read two ways are answered and the connection closed, so that nothing
// after them is taken for a request.
TEST_F(ServeTest, HostileRequestsAreRefusedAndTheirConnectionsClosedWhereNothingAfterCanBeTrusted) {
  const std::string host = "Host: 127.0.0.1\r\n";
  std::string ranges = "Range: bytes=0-";
  for (int i = 0; i < 399; ++i) ranges += ",0-";
  std::string manyLines;
  for (int i = 0; i < 100; ++i) manyLines += "X-Line-" + std::to_string(i) + ": 1\r\n";
  const std::string health = "GET /healthz HTTP/1.1\r\n" + host + "\r\n";
  struct Case {
    const char* what;
    std::string bytes;
    int status;
    bool closes;
  };
  const std::vector<Case> cases = {
      {"headers over 16 KB",
       "GET /healthz HTTP/1.1\r\n" + host + "X-Big: " + std::string(17000, 'a') + "\r\n\r\n", 431, true},
      {"more than 100 lines", "GET /healthz HTTP/1.1\r\n" + host + manyLines + "\r\n", 431, true},
      {"a body on GET, which would be read as a next request",
       "GET /healthz HTTP/1.1\r\n" + host + "Content-Length: 39\r\n\r\n" + health, 400, true},
      {"a body on HEAD", "HEAD /healthz HTTP/1.1\r\n" + host + "Transfer-Encoding: chunked\r\n\r\n0\r\n\r\n",
       400, true},
      {"Content-Length with Transfer-Encoding",
       "POST /print HTTP/1.1\r\n" + host +
           "Content-Length: 5\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n" + health,
       400, true},
      {"two different lengths",
       "POST /print HTTP/1.1\r\n" + host + "Content-Length: 3\r\nContent-Length: 4\r\n\r\nabcd", 400, true},
      {"bad chunking",
       "POST /print HTTP/1.1\r\n" + host + "Transfer-Encoding: chunked\r\n\r\nzz\r\nabc\r\n0\r\n\r\n", 400,
       true},
      {"100 trailer lines after a chunked body",
       "POST /print HTTP/1.1\r\n" + host + "Transfer-Encoding: chunked\r\n\r\n0\r\n" + manyLines + "\r\n",
       431, true},
      {"an encoding other than chunked",
       "POST /print HTTP/1.1\r\n" + host + "Transfer-Encoding: gzip\r\n\r\n", 400, true},
      {"no Host", "GET /healthz HTTP/1.1\r\n\r\n", 400, true},
      {"not HTTP", "HELLO\r\n\r\n", 400, true},
      {"a POST without a length", "POST /print HTTP/1.1\r\n" + host + "\r\n", 411, true},
      {"a body over 16 KB",
       "POST /print HTTP/1.1\r\n" + host + "Content-Length: 100000\r\n\r\n" + std::string(100000, 'a'), 413,
       true},
      {"OPTIONS", "OPTIONS /print HTTP/1.1\r\n" + host + "\r\n", 405, false},
      {"PUT", "PUT / HTTP/1.1\r\n" + host + "Content-Length: 2\r\n\r\nhi", 405, false},
      {"DELETE", "DELETE /sheets.pdf HTTP/1.1\r\n" + host + "\r\n", 405, false},
      {"GET on /print", "GET /print HTTP/1.1\r\n" + host + "\r\n", 405, false},
      {"400 byte ranges: one whole answer", "GET /healthz HTTP/1.1\r\n" + host + ranges + "\r\n\r\n", 200,
       false},
      {"HEAD of a PDF: headers only", "HEAD /sheets.pdf?preset=BitBtn13 HTTP/1.1\r\n" + host + "\r\n", 200,
       false},
      {"HTTP/1.0 without keep-alive", "GET /healthz HTTP/1.0\r\n\r\n", 200, true},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    HttpConnection c(server->port(), nullptr, 15);
    ASSERT_TRUE(c.open());
    const bool head = k.bytes.rfind("HEAD", 0) == 0;
    const auto res = c.exchange(k.bytes, head);
    ASSERT_TRUE(res) << "no answer";
    EXPECT_EQ(res->result_int(), static_cast<unsigned>(k.status)) << res->body();
    EXPECT_EQ((*res)["Content-Type"].find("multipart"), std::string::npos);
    if (k.status == 405) {
      EXPECT_FALSE((*res)["Allow"].empty());
    }
    if (k.status == 200 && !head) {
      EXPECT_EQ(res->body(), "ok\n");
    }
    if (head && k.status == 200) {
      EXPECT_EQ((*res)["Content-Type"], "application/pdf");
      EXPECT_TRUE((*res)["X-Kirune-Seed"].empty()) << "HEAD drew a PDF";
    }
    EXPECT_EQ(c.closedWithin(std::chrono::seconds(k.closes ? 5 : 0)), k.closes);
    // Whatever followed a faulty request was not answered as a request of its own.
    if (k.closes) {
      EXPECT_FALSE(c.read());
    }
  }
}

int connectTo(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<std::uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0 ? fd : -1;
}

// A socket that sends half a request and then nothing.
int halfRequest(int port) {
  const int fd = connectTo(port);
  if (fd < 0) return -1;
  const std::string half = "GET /sheets.pdf?preset=BitBtn13 HTTP/1.1\r\nHost: 127.0.0.1\r\n";
  if (send(fd, half.data(), half.size(), 0) != static_cast<ssize_t>(half.size())) return -1;
  return fd;
}

TEST_F(ServeTest, StalledClientsHoldNobodyAndAreAnsweredFourOhEightAfterTheRequestTimeout) {
  std::vector<int> slow;
  for (int i = 0; i < 8; ++i) slow.push_back(halfRequest(server->port()));
  for (const int fd : slow) ASSERT_GE(fd, 0);

  // With eight stalled clients (more than the two drawing workers) a normal request is answered.
  const auto res = get("/sheets.pdf?preset=BitBtn1&seed=3");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->result_int(), 200U);

  // Each stalled request ends with a 408 once the server stops waiting for the rest of it (the request
  // timeout, 10 s by default).
  for (const int fd : slow) {
    timeval limit{15, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    char buffer[512] = {};
    const ssize_t n = recv(fd, buffer, sizeof buffer - 1, 0);
    EXPECT_GT(n, 0) << "the server neither answered nor closed within 15 s";
    EXPECT_EQ(std::string(buffer).rfind("HTTP/1.1 408", 0), 0U) << buffer;
    EXPECT_NE(std::string(buffer).find("リクエストが遅すぎます"), std::string::npos) << buffer;
    close(fd);
  }
}

// GET /healthz on an open connection; the answer as it came.
std::string healthOn(int fd) {
  const std::string get = "GET /healthz HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
  if (send(fd, get.data(), get.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(get.size())) return {};
  timeval limit{10, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  std::string answer;
  char buffer[512];
  ssize_t n = 0;
  while (answer.find("\r\n\r\nok\n") == std::string::npos && (n = recv(fd, buffer, sizeof buffer, 0)) > 0)
    answer.append(buffer, static_cast<std::size_t>(n));
  return answer;
}

TEST(ServeSlowClients, TricklingClientsAreCutAtTheRequestTimeoutWhileNormalOnesAreServed) {
  using Clock = std::chrono::steady_clock;
  constexpr int kTimeout = 1;
  ServeProcess server({"--workers", "2", "--request-timeout", QString::number(kTimeout)});
  ASSERT_GT(server.port(), 0);

  struct Slow {
    int fd = -1;
    Clock::time_point opened;
    Clock::time_point closed;
    std::string reply;
    bool open = true;
  };
  constexpr int kSlow = 72;
  std::vector<Slow> slow(kSlow);
  for (Slow& s : slow) {
    s.opened = Clock::now();
    s.fd = halfRequest(server.port());
    ASSERT_GE(s.fd, 0);
  }

  std::atomic<bool> served{false};
  int status = 0;
  std::string body;
  std::thread normal;
  const auto giveUp = Clock::now() + std::chrono::seconds(30);
  for (int round = 0; Clock::now() < giveUp; ++round) {
    if (round == 2) {  // every slow client is connected and trickling by now
      normal = std::thread([&] {
        if (const auto res = httpGet(server.port(), "/sheets.pdf?preset=BitBtn1&seed=3")) {
          status = static_cast<int>(res->result_int());
          body = res->body();
        }
        served = true;
      });
    }
    bool anyOpen = false;
    for (Slow& s : slow) {
      if (!s.open) continue;
      char buffer[512];
      ssize_t n = 0;
      while ((n = recv(s.fd, buffer, sizeof buffer, MSG_DONTWAIT)) > 0)
        s.reply.append(buffer, static_cast<std::size_t>(n));
      if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
        s.open = false;
        s.closed = Clock::now();
        continue;
      }
      // A byte of a header line, well within the read timeout, until the server answers.
      if (s.reply.empty()) send(s.fd, "x", 1, MSG_NOSIGNAL);
      anyOpen = true;
    }
    if (served && !anyOpen) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
  }
  const bool servedWhileTrickling = served;
  for (const Slow& s : slow) close(s.fd);
  normal.join();

  EXPECT_TRUE(servedWhileTrickling) << "the normal client waited as long as the slow ones trickled";
  EXPECT_EQ(status, 200);
  EXPECT_EQ(body.rfind("%PDF", 0), 0U);
  for (std::size_t i = 0; i < slow.size(); ++i) {
    SCOPED_TRACE("slow client " + std::to_string(i));
    EXPECT_FALSE(slow[i].open) << "still open after 30 s of trickling";
    EXPECT_EQ(slow[i].reply.rfind("HTTP/1.1 408", 0), 0U) << slow[i].reply;
    EXPECT_NE(slow[i].reply.find("リクエストが遅すぎます"), std::string::npos) << slow[i].reply;
    if (!slow[i].open) {
      EXPECT_GE(slow[i].closed - slow[i].opened, std::chrono::seconds(kTimeout));
    }
  }

  // The limit runs from a request's first byte: a kept-alive connection may wait longer than it between
  // requests (up to 5 s) and its next request is answered.
  const int kept = connectTo(server.port());
  ASSERT_GE(kept, 0);
  EXPECT_EQ(healthOn(kept).rfind("HTTP/1.1 200", 0), 0U);
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  const std::string second = healthOn(kept);
  EXPECT_EQ(second.rfind("HTTP/1.1 200", 0), 0U) << second;
  close(kept);
}

// Loopback addresses of their own, so that many clients in this one process count as many devices.
std::string deviceAddress(int i) { return "127.0.0." + std::to_string(10 + i); }

TEST_F(ServeTest, ThirtyTwoClientsAtOnceAreAllAnsweredWithTheirOwnSheets) {
  // The sheets of four seeds, asked one at a time, are what each of 32 simultaneous clients must get.
  constexpr int kSeeds = 4;
  std::vector<std::string> expected;
  for (int s = 0; s < kSeeds; ++s) {
    const auto res = get("/sheets.pdf?preset=BitBtn13&answers=1&seed=" + std::to_string(s));
    ASSERT_TRUE(res);
    ASSERT_EQ(res->result_int(), 200U);
    expected.push_back(res->body());
  }
  ASSERT_NE(expected[0], expected[1]);

  constexpr int kClients = 32;
  std::vector<unsigned> status(kClients, 0);
  std::vector<char> same(kClients, 0);  // not vector<bool>: its elements share words across threads
  std::vector<std::thread> clients;
  for (int i = 0; i < kClients; ++i) {
    clients.emplace_back([&, i] {
      const std::string from = deviceAddress(i);
      HttpConnection own(server->port(), from.c_str(), 120);
      const auto res = own.exchange(
          httpRequest("GET", "/sheets.pdf?preset=BitBtn13&answers=1&seed=" + std::to_string(i % kSeeds)));
      if (!res) return;
      status[static_cast<std::size_t>(i)] = res->result_int();
      same[static_cast<std::size_t>(i)] = res->body() == expected[static_cast<std::size_t>(i % kSeeds)];
    });
  }
  for (std::thread& t : clients) t.join();
  for (int i = 0; i < kClients; ++i) {
    EXPECT_EQ(status[static_cast<std::size_t>(i)], 200U) << "client " << i;
    EXPECT_TRUE(same[static_cast<std::size_t>(i)]) << "client " << i;
  }
}

TEST_F(ServeTest, PresetTableHealthAndAPageWithNothingFromElsewhere) {
  const auto health = get("/healthz");
  ASSERT_TRUE(health);
  EXPECT_EQ(health->result_int(), 200U);
  EXPECT_EQ(health->body(), "ok\n");

  const auto table = get("/api/presets");
  ASSERT_TRUE(table);
  EXPECT_EQ((*table)["Content-Type"], "application/json; charset=utf-8");
  const QJsonObject json = QJsonDocument::fromJson(QByteArray::fromStdString(table->body())).object();
  EXPECT_EQ(json["window"].toObject()["background"].toString(), "#225588");
  EXPECT_EQ(json["limits"].toObject()["maxSheets"].toInt(), 5);
  EXPECT_FALSE(json["limits"].toObject()["printing"].toBool());
  const QJsonArray presets = json["presets"].toArray();
  ASSERT_EQ(presets.size(), 159);
  int checked = 0;
  for (const auto& v : presets) {
    const QJsonObject p = v.toObject();
    const QString button = p["button"].toString();
    if (button == "BitBtn13") {
      EXPECT_EQ(p["rowTitle"].toString(), "くりあがり");
      EXPECT_EQ(p["caption"].toString(), "２０");
      EXPECT_EQ(p["captionColour"].toString(), "#008000");
      EXPECT_EQ(p["engine"].toString(), "print00Click");
      EXPECT_EQ(p["gridRow"].toInt(), 3);
      EXPECT_EQ(p["guard"].toString(), "none");
      ++checked;
    } else if (button == "BitBtn151") {
      EXPECT_EQ(p["captionColour"].toString(), "#ff0000");
      EXPECT_EQ(p["toolTip"].toString(), "下に余白のある18題");
      EXPECT_TRUE(p["tiles"].toBool());
      ++checked;
    } else if (button == "BitBtn135") {
      EXPECT_EQ(p["captionColour"].toString(), "#0000ff");
      ++checked;
    } else if (button == "BitBtn133") {
      EXPECT_EQ(p["engine"].toString(), "print00bClick");
      EXPECT_EQ(p["countItem"].toInt(), 9);
      EXPECT_EQ(p["guard"].toString(), "numbers");
      ++checked;
    }
  }
  EXPECT_EQ(checked, 4);
  EXPECT_EQ(json["settings"].toArray().size(), 14);

  for (const char* path : {"/", "/kirune.css", "/kirune.js"}) {
    SCOPED_TRACE(path);
    const auto res = get(path);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->result_int(), 200U);
    EXPECT_EQ(res->body().find("http:"), std::string::npos);
    EXPECT_EQ(res->body().find("https:"), std::string::npos);
    EXPECT_EQ(res->body().find("//cdn"), std::string::npos);
    EXPECT_EQ((*res)["Content-Security-Policy"].rfind("default-src 'self'", 0), 0U);
  }
  EXPECT_NE(get("/")->body().find("<html lang=\"ja\">"), std::string::npos);
}

// A POST to /print from another site, the way a page there can send one: refused before anything is
// checked or printed. The queue does not exist, so a request let through would say so with a 503.
TEST(ServeCrossSite, OnlyTheServersOwnPageCanPrint) {
  ServeProcess server({"--printer", "kirune-no-such-queue"});
  ASSERT_GT(server.port(), 0);
  struct Case {
    const char* what;
    std::string headers;
    int status;
  };
  const std::string page = "X-Kirune-Page: 1\r\n";
  const std::vector<Case> cases = {
      {"a form on another site", "Origin: http://evil.example\r\nSec-Fetch-Site: cross-site\r\n", 403},
      {"another site's script, with the page's header",
       page + "Origin: http://evil.example\r\nSec-Fetch-Site: cross-site\r\n", 403},
      {"another origin only", page + "Origin: http://127.0.0.1:1\r\n", 403},
      {"a sandboxed frame", page + "Origin: null\r\n", 403},
      {"a neighbour on the same site", page + "Sec-Fetch-Site: same-site\r\n", 403},
      {"the own origin without the page's header",
       "Origin: http://127.0.0.1\r\nSec-Fetch-Site: same-origin\r\n", 403},
      {"no header at all", "", 403},
      {"the page", page + "Origin: http://127.0.0.1\r\nSec-Fetch-Site: same-origin\r\n", 503},
      {"the page behind a proxy",
       page + "Origin: https://kirune.school.example\r\nX-Forwarded-Host: kirune.school.example\r\n", 503},
      {"a client that is no browser", page, 503},
  };
  HttpConnection c(server.port());
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    const auto res = c.exchange(httpRequest("POST", "/print", k.headers, "preset=BitBtn13"));
    ASSERT_TRUE(res);
    EXPECT_EQ(res->result_int(), static_cast<unsigned>(k.status)) << res->body();
    if (k.status == 403) {
      EXPECT_EQ(res->body(), "ほかのサイトからは印刷できません\n");
    }
  }
  // A script on another site would first ask with OPTIONS; nothing allows it.
  const auto preflight = c.exchange(httpRequest(
      "OPTIONS", "/print", "Origin: http://evil.example\r\nAccess-Control-Request-Method: POST\r\n"));
  ASSERT_TRUE(preflight);
  EXPECT_EQ(preflight->result_int(), 405U);
  EXPECT_TRUE((*preflight)["Access-Control-Allow-Origin"].empty());
}

TEST(ServeCommandLine, BadArgumentsExitTwoAndTheServerStopsCleanly) {
  const QString tooMany = QString::number(4 * std::max(1U, std::thread::hardware_concurrency()) + 1);
  for (const QStringList& args :
       {QStringList{"--listen", "nowhere"}, QStringList{"--max-sheets", "0"}, QStringList{"--workers", "x"},
        QStringList{"--workers", tooMany}, QStringList{"--colour"}, QStringList{"--printer"},
        QStringList{"--request-timeout", "0"}, QStringList{"--per-client", "0"}}) {
    SCOPED_TRACE(args.join(' ').toStdString());
    EXPECT_TRUE(kirune::test::run(KIRUNE_SERVE, args, 2, toolOptions()).err.starts_with("kirune-serve: "));
  }
  ServeProcess own({});
  ASSERT_GT(own.port(), 0);
  EXPECT_TRUE(own.stopCleanly());
}

TEST(ServeCommandLine, APortInUseIsSaidSoAndEveryInterfaceIsAnnouncedByItsAddresses) {
  ServeProcess first({});
  ASSERT_GT(first.port(), 0);
  const kirune::test::Ran second = kirune::test::run(
      KIRUNE_SERVE, {"--listen", QString("127.0.0.1:%1").arg(first.port())}, 1, toolOptions());
  EXPECT_EQ(QString::fromStdString(second.err).trimmed(),
            QString("kirune-serve: ポート %1 はほかのプログラムが使っています").arg(first.port()));

  // The addresses, one a line; then SIGTERM ends the server cleanly.
  kirune::test::Program any(kirune::test::argv(KIRUNE_SERVE, {"--listen", "0.0.0.0:0"}), toolOptions());
  any.waitForOutput("\n", std::chrono::seconds(20));
  any.waitForOutput("never written", std::chrono::milliseconds(300));
  any.kill(SIGTERM);
  const QStringList lines = QString::fromStdString(any.finish(0).out).split('\n', Qt::SkipEmptyParts);
  ASSERT_FALSE(lines.isEmpty());
  static const QRegularExpression url(R"(^kirune-serve: http://\d+\.\d+\.\d+\.\d+:\d+/$)");
  for (const QString& line : lines) {
    EXPECT_TRUE(url.match(line).hasMatch()) << line.toStdString();
    EXPECT_FALSE(line.contains("0.0.0.0")) << line.toStdString();
  }
}

// SIGHUP, as from a closed terminal, stops the server as SIGTERM does: the requests under way are
// answered whole first.
TEST(ServeCommandLine, AHangUpEndsTheServerOnlyAfterTheRequestsUnderWay) {
  ServeProcess server({"--workers", "1"});
  ASSERT_GT(server.port(), 0);
  std::vector<HttpConnection> clients;
  for (int i = 0; i < 16; ++i) {
    clients.emplace_back(server.port(), deviceAddress(i).c_str(), 60);
    ASSERT_TRUE(clients.back().send(httpRequest("GET", "/sheets.pdf?preset=BitBtn1&sheets=100&answers=1")));
  }
  // One worker draws these 3,200 pages in turn: when the first answer is back, the rest are still
  // drawing or waiting, however quick the machine.
  int closing = 0;
  for (std::size_t i = 0; i < clients.size(); ++i) {
    const auto res = clients[i].read();
    if (i == 0) ::kill(static_cast<pid_t>(server.pid()), SIGHUP);
    ASSERT_TRUE(res) << "a request was cut";
    EXPECT_EQ(res->result_int(), 200U);
    EXPECT_EQ(res->body().rfind("%PDF", 0), 0U);
    EXPECT_GE(res->body().rfind("%%EOF") + 8, res->body().size()) << "the PDF is not whole";
    closing += (*res)["Connection"] == "close" ? 1 : 0;
  }
  // The last ones were answered after the signal, and said that the server was closing.
  EXPECT_GE(closing, 1);
  EXPECT_TRUE(server.stopCleanly(SIGHUP));
}

// One line per request on standard error: time, client, method, path with query, status, bytes and
// milliseconds; refusals with their reason; and a flood written only in part.
TEST(ServeLog, EveryRequestIsALineAndAFloodIsCutShort) {
  QTemporaryDir dir;
  const QString logPath = dir.filePath("serve.log");
  {
    ServeProcess server({"--request-timeout", "1"}, logPath);
    ASSERT_GT(server.port(), 0);
    ASSERT_TRUE(httpGet(server.port(), "/healthz"));
    ASSERT_TRUE(httpGet(server.port(), "/sheets.pdf?preset=BitBtn13&seed=4"));
    HttpConnection slow(server.port(), "127.0.0.3");
    slow.send("GET /healthz HTTP/1.1\r\n");
    ASSERT_TRUE(slow.read());
    HttpConnection flood(server.port(), "127.0.0.4");
    for (int batch = 0; batch < 20; ++batch) {
      for (int i = 0; i < 50; ++i)
        flood.send(httpRequest("GET", "/nothing\"\xff" + std::to_string(batch * 50 + i)));
      for (int i = 0; i < 50; ++i) ASSERT_TRUE(flood.read());
    }
    // The next line, once the rate allows it, says how much was left out.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_TRUE(httpGet(server.port(), "/healthz"));
  }
  QFile file(logPath);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
  const QString time = R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z )";
  auto has = [&](const QString& pattern) {
    const QRegularExpression re(time + pattern);
    return std::any_of(lines.begin(), lines.end(), [&](const QString& l) { return re.match(l).hasMatch(); });
  };
  EXPECT_TRUE(has(R"(127\.0\.0\.1 GET /healthz 200 3 B \d+ ms$)")) << lines.join('\n').toStdString();
  EXPECT_TRUE(has(
      R"(127\.0\.0\.1 GET /sheets\.pdf\?preset=BitBtn13&seed=4 200 \d{4,} B \d+ ms preset=BitBtn13 sheets=1 seed=4$)"));
  EXPECT_TRUE(has(R"(127\.0\.0\.3 - - 408 \d+ B \d+ ms reason="リクエストを送り終えるのが遅すぎます"$)"));
  // Bytes a client sent that could break a line or a field are written escaped.
  EXPECT_TRUE(has(R"(127\.0\.0\.4 GET /nothing%22%FF0 404 \d+ B \d+ ms reason="そのページはありません"$)"));
  // A burst is written, then about 20 lines a second; what is left out is counted.
  EXPECT_LT(lines.size(), 400);
  EXPECT_TRUE(has(R"(kirune-serve: 多すぎるため \d+ 行を記録しませんでした$)")) << lines.size();
}

}  // namespace
