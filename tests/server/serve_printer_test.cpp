// POST /print against the real spooler of the test fixture: every document a confirmed job, the
// answer says which sheets went out; a queue that is not there is reported and nothing is made.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <memory>

#include "tests/printing/spooler_helpers.h"
#include "tests/server/http_client.h"
#include "tests/server/serve_process.h"

namespace kirune {
namespace {

using namespace kirune::spool;
using kirune::test::HttpConnection;
using kirune::test::httpRequest;
using kirune::test::ServeProcess;

// A print request as the server's own page sends it.
std::string printRequest(const std::string& form) {
  return httpRequest("POST", "/print",
                     "Origin: http://127.0.0.1\r\nSec-Fetch-Site: same-origin\r\nX-Kirune-Page: 1\r\n"
                     "Content-Type: application/x-www-form-urlencoded\r\n",
                     form);
}

class ServePrinterTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NO_FATAL_FAILURE(useFixtureSpooler(home)); }
  QTemporaryDir home;
};

TEST_F(ServePrinterTest, EveryDocumentIsAConfirmedJobAndTheAnswerNamesTheSheets) {
  const QString log = home.filePath("serve.log");
  auto server = std::make_unique<ServeProcess>(QStringList{"--printer", "kirune-pdf"}, log);
  ASSERT_GT(server->port(), 0);
  HttpConnection c(server->port(), nullptr, 120);
  const int mark = lastJob();
  const qint64 logMark = accessLogSize();
  const auto res = c.exchange(printRequest("preset=BitBtn13&sheets=3&answers=1"));
  ASSERT_TRUE(res);
  EXPECT_EQ(res->result_int(), 200U) << res->body();
  // The queue is asked about once before the first job: its state and paper in one question.
  EXPECT_EQ(queueQuestionsBeforeFirstJob(logMark), 1);
  EXPECT_EQ(res->body(), "プリンタ kirune-pdf に 3 枚（答え 3 枚つき）を送りました（くりあがり ２０）\n");
  const QList<int> jobs = jobsAfter(mark);
  ASSERT_EQ(jobs.size(), 6);
  for (const QString& file : spooledFiles(jobs)) EXPECT_EQ(pdfPages(file), 1) << file.toStdString();
  // The page offers printing on this server.
  EXPECT_NE(c.exchange(httpRequest("GET", "/api/presets"))->body().find("\"printing\":true"),
            std::string::npos);
  EXPECT_FALSE(QDir(home.path() + "/Documents").exists());
  // The journal's line says what was printed where, and how it went.
  server.reset();
  QFile file(log);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_TRUE(
      QString::fromUtf8(file.readAll())
          .contains(QRegularExpression(R"(Z 127\.0\.0\.1 POST /print 200 \d+ B \d+ ms preset=BitBtn13 )"
                                       R"(sheets=3 queue=kirune-pdf outcome=sent\n)")));
}

TEST_F(ServePrinterTest, AMissingQueueIsReportedAndNothingIsWrittenAnywhere) {
  ServeProcess server({"--printer", "no-such-queue"});
  ASSERT_GT(server.port(), 0);
  HttpConnection c(server.port(), nullptr, 120);
  const int mark = lastJob();
  const auto res = c.exchange(printRequest("preset=BitBtn13"));
  ASSERT_TRUE(res);
  EXPECT_EQ(res->result_int(), 503U);
  EXPECT_EQ(res->body().rfind("プリンタ no-such-queue は使えません", 0), 0U) << res->body();
  // Why, in the window's words, not the spooler's English.
  EXPECT_NE(res->body().find("見つかりません"), std::string::npos) << res->body();
  EXPECT_EQ(QString::fromStdString(res->body())
                .remove("no-such-queue")
                .contains(QRegularExpression("[A-Za-z]{3,}")),
            false)
      << res->body();
  EXPECT_TRUE(jobsAfter(mark).isEmpty());
  EXPECT_FALSE(QDir(home.path() + "/Documents").exists());
  // Bad input is refused before the printer is even asked.
  const auto bad = c.exchange(printRequest("preset=BitBtn13&sheets=500"));
  ASSERT_TRUE(bad);
  EXPECT_EQ(bad->result_int(), 400U);
}

}  // namespace
}  // namespace kirune
