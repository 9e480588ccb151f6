// kirune-serve over real HTTP on a loopback port: PDFs identical to kirune-print's, every class of bad
// input refused with a 4xx and a Japanese message, slow clients cut off, many clients served.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/server/serve_process.h"

namespace {

using kirune::test::ServeProcess;

QByteArray runTool(const QString& program, const QStringList& args) {
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.remove("SOURCE_DATE_EPOCH");
  p.setProcessEnvironment(env);
  p.start(program, args);
  p.waitForFinished(120000);
  return p.exitCode() == 0 ? p.readAllStandardOutput() : QByteArray();
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

  static httplib::Client client() {
    httplib::Client c("127.0.0.1", server->port());
    c.set_read_timeout(60, 0);
    return c;
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
  auto c = client();
  for (const Case& k : cases) {
    SCOPED_TRACE(k.query);
    const auto res = c.Get("/sheets.pdf?" + k.query);
    ASSERT_TRUE(res);
    ASSERT_EQ(res->status, 200) << res->body;
    EXPECT_EQ(res->get_header_value("Content-Type"), "application/pdf");
    const QByteArray served(res->body.data(), static_cast<qsizetype>(res->body.size()));
    const QByteArray printed = kirunePrintPdf(k.print, dir);
    ASSERT_FALSE(printed.isEmpty());
    const QByteArray text = pdfText(served, dir);
    EXPECT_EQ(text.count('\f'), k.pages);
    EXPECT_EQ(text, pdfText(printed, dir));
    EXPECT_TRUE(served == printed) << "the served PDF differs from kirune-print's";
  }
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
      {"/nothing-here", 404, "そのページはありません"},
      {"/sheets.pdf?preset=BitBtn13&name=" + std::string(9000, '1'), 414, "アドレスが長すぎます"},
  };
  auto c = client();
  for (const Case& k : cases) {
    SCOPED_TRACE(k.target.substr(0, 80));
    const auto res = c.Get(k.target);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, k.status);
    EXPECT_EQ(res->get_header_value("Content-Type"), "text/plain; charset=utf-8");
    EXPECT_EQ(res->body.rfind(k.message, 0), 0U) << res->body;
  }

  // Printing is off on this server; a body too large is refused before it is read.
  const auto print = c.Post("/print", "preset=BitBtn13", "application/x-www-form-urlencoded");
  ASSERT_TRUE(print);
  EXPECT_EQ(print->status, 403);
  EXPECT_EQ(print->body.rfind("このサーバーでは印刷できません", 0), 0U) << print->body;
  const auto big = c.Post("/print", std::string(100000, 'a'), "application/x-www-form-urlencoded");
  ASSERT_TRUE(big);
  EXPECT_EQ(big->status, 413);
  EXPECT_EQ(big->body, "リクエストが大きすぎます\n");
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

TEST_F(ServeTest, StalledClientsHoldNobodyAndAreAnsweredFourOhEightAfterTheReadTimeout) {
  std::vector<int> slow;
  for (int i = 0; i < 8; ++i) slow.push_back(halfRequest(server->port()));
  for (const int fd : slow) ASSERT_GE(fd, 0);

  // With eight stalled clients (more than the two drawing workers) a normal request is answered.
  auto c = client();
  const auto res = c.Get("/sheets.pdf?preset=BitBtn1&seed=3");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);

  // Each stalled request ends with a 408 once the server stops waiting for the rest of it (the read
  // timeout, 5 s, comes before the request timeout, 10 s by default).
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

// More clients trickling their requests a byte at a time than there are connection threads (64 for two
// workers): each per-read timeout is met, so only the limit on the whole request ends them. A normal
// client queued behind them must still get its sheets while they go on trickling.
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
    if (round == 2) {  // every slow client has its connection thread or its place in the queue by now
      normal = std::thread([&] {
        httplib::Client c("127.0.0.1", server.port());
        c.set_read_timeout(60, 0);
        if (const auto res = c.Get("/sheets.pdf?preset=BitBtn1&seed=3")) {
          status = res->status;
          body = res->body;
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
  // requests (up to the keep-alive timeout, 2 s) and its next request is answered.
  const int kept = connectTo(server.port());
  ASSERT_GE(kept, 0);
  EXPECT_EQ(healthOn(kept).rfind("HTTP/1.1 200", 0), 0U);
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  const std::string second = healthOn(kept);
  EXPECT_EQ(second.rfind("HTTP/1.1 200", 0), 0U) << second;
  close(kept);
}

TEST_F(ServeTest, ThirtyTwoClientsAtOnceAreAllAnsweredWithTheirOwnSheets) {
  // The sheets of four seeds, asked one at a time, are what each of 32 simultaneous clients must get.
  constexpr int kSeeds = 4;
  std::vector<std::string> expected;
  auto c = client();
  for (int s = 0; s < kSeeds; ++s) {
    const auto res = c.Get("/sheets.pdf?preset=BitBtn13&answers=1&seed=" + std::to_string(s));
    ASSERT_TRUE(res);
    ASSERT_EQ(res->status, 200);
    expected.push_back(res->body);
  }
  ASSERT_NE(expected[0], expected[1]);

  constexpr int kClients = 32;
  std::vector<int> status(kClients, 0);
  std::vector<char> same(kClients, 0);  // not vector<bool>: its elements share words across threads
  std::vector<std::thread> clients;
  for (int i = 0; i < kClients; ++i) {
    clients.emplace_back([&, i] {
      httplib::Client own("127.0.0.1", server->port());
      own.set_read_timeout(120, 0);
      const auto res = own.Get("/sheets.pdf?preset=BitBtn13&answers=1&seed=" + std::to_string(i % kSeeds));
      if (!res) return;
      status[static_cast<std::size_t>(i)] = res->status;
      same[static_cast<std::size_t>(i)] = res->body == expected[static_cast<std::size_t>(i % kSeeds)];
    });
  }
  for (std::thread& t : clients) t.join();
  for (int i = 0; i < kClients; ++i) {
    EXPECT_EQ(status[static_cast<std::size_t>(i)], 200) << "client " << i;
    EXPECT_TRUE(same[static_cast<std::size_t>(i)]) << "client " << i;
  }
}

TEST_F(ServeTest, PresetTableHealthAndAPageWithNothingFromElsewhere) {
  auto c = client();
  const auto health = c.Get("/healthz");
  ASSERT_TRUE(health);
  EXPECT_EQ(health->status, 200);
  EXPECT_EQ(health->body, "ok\n");

  const auto table = c.Get("/api/presets");
  ASSERT_TRUE(table);
  EXPECT_EQ(table->get_header_value("Content-Type"), "application/json; charset=utf-8");
  const QJsonObject json = QJsonDocument::fromJson(QByteArray::fromStdString(table->body)).object();
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
    const auto res = c.Get(path);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(res->body.find("http:"), std::string::npos);
    EXPECT_EQ(res->body.find("https:"), std::string::npos);
    EXPECT_EQ(res->body.find("//cdn"), std::string::npos);
    EXPECT_EQ(res->get_header_value("Content-Security-Policy").rfind("default-src 'self'", 0), 0U);
  }
  EXPECT_NE(c.Get("/")->body.find("<html lang=\"ja\">"), std::string::npos);
}

TEST(ServeCommandLine, BadArgumentsExitTwoAndTheServerStopsCleanly) {
  for (const QStringList& args :
       {QStringList{"--listen", "nowhere"}, QStringList{"--max-sheets", "0"}, QStringList{"--workers", "x"},
        QStringList{"--colour"}, QStringList{"--printer"}, QStringList{"--request-timeout", "0"}}) {
    QProcess p;
    p.start(KIRUNE_SERVE, args);
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 2) << args.join(' ').toStdString();
    EXPECT_TRUE(p.readAllStandardError().startsWith("kirune-serve: "));
  }
  ServeProcess own({});
  ASSERT_GT(own.port(), 0);
  EXPECT_TRUE(own.stopCleanly());
}

}  // namespace
