// The print output's messages: one for every way a print can end, each in Japanese a teacher reads,
// never the spooler's own English; and the count of sheets that did and did not go out.
#include <gtest/gtest.h>

#include <cups/ipp.h>
#include <QRegularExpression>

#include "printing/print_messages.h"

namespace kirune {
namespace {

// A queue name and a path without Latin letters, so that any letter left is the message's own.
const std::string kQueue = "しょくいんしつ";
const QString kPath = QStringLiteral("/ほぞん/シート");

// The names a message may use as they are; any other Latin word is English leaking through.
QString withoutLatinWords(QString text) {
  text.remove(QStringLiteral("CUPS")).remove(QStringLiteral("PDF"));
  return text;
}

void expectJapanese(const QString& message, const std::string& what) {
  SCOPED_TRACE(what + ": " + message.toStdString());
  EXPECT_FALSE(message.trimmed().isEmpty());
  EXPECT_FALSE(withoutLatinWords(message).contains(QRegularExpression(QStringLiteral("[A-Za-z]"))));
}

TEST(PrintMessages, EveryOutcomeHasAJapaneseMessage) {
  // The spooler's own words ride along in `detail`; they must never show.
  const auto status = [](QueueState state, int ipp = 0, int jobId = 0) {
    return QueueStatus{state, kQueue, "client-error-not-possible: printer is stopped", jobId, ipp, false, {}};
  };
  const QueueState states[] = {QueueState::NoSpooler,    QueueState::NoPrinter, QueueState::NotFound,
                               QueueState::NotAccepting, QueueState::Stopped,   QueueState::Stalled,
                               QueueState::Lost,         QueueState::Refused};
  for (const QueueState state : states) {
    for (const int document : {0, 3}) {
      expectJapanese(
          queueProblemText(status(state), document),
          "state " + std::to_string(static_cast<int>(state)) + " document " + std::to_string(document));
    }
  }
  expectJapanese(queueProblemText(status(QueueState::Stalled, 0, 7), 2), "stalled with a job");
  for (const int ipp : {IPP_STATUS_ERROR_REQUEST_ENTITY, IPP_STATUS_ERROR_DOCUMENT_FORMAT_NOT_SUPPORTED,
                        IPP_STATUS_ERROR_FORBIDDEN, IPP_STATUS_ERROR_CONFLICTING, IPP_STATUS_ERROR_BUSY,
                        IPP_STATUS_ERROR_INTERNAL}) {
    expectJapanese(queueProblemText(status(QueueState::Refused, ipp), 2), "refusal " + std::to_string(ipp));
  }

  const JobEnd ends[] = {JobEnd::Going,    JobEnd::CompletedWithErrors, JobEnd::Aborted,
                         JobEnd::Canceled, JobEnd::PrinterStopped,      JobEnd::Gone,
                         JobEnd::Unknown};
  for (const JobEnd end : ends) {
    const QString text = jobEndText(end, 4, QString::fromStdString(kQueue));
    expectJapanese(text, "job end " + std::to_string(static_cast<int>(end)));
    EXPECT_TRUE(text.contains(QStringLiteral("4枚目"))) << text.toStdString();
  }
  EXPECT_TRUE(jobEndText(JobEnd::Completed, 4, QString::fromStdString(kQueue)).isEmpty());

  expectJapanese(savedNoticeText(2, 4, true, 3, kPath, true), "saved, no printer");
  expectJapanese(savedNoticeText(2, 2, false, 1, kPath, false), "saved to files");
  for (const QString& text : {folderNotMadeText(kPath), runFileNotMadeText(kPath), fileNotMadeText(kPath),
                              fileNotWrittenText(kPath), pageNotFinishedText(), savedWhereText(kPath)}) {
    expectJapanese(text, "file fault");
  }
}

// Problem and answer documents in pairs, as a run with answers hands them over.
DocumentKind pairs(int number) { return number % 2 == 0 ? DocumentKind::Answers : DocumentKind::Problems; }
DocumentKind problemsOnly(int) { return DocumentKind::Problems; }

TEST(PrintMessages, OutcomeNamesWhatWentOutAndTheFirstSheetMissingByItsKind) {
  const QString r = QStringLiteral("R。");
  struct Case {
    QList<int> printed;
    QList<int> unknown;
    int total;
    DocumentKind (*kindOf)(int);
    bool toFiles;
    QString expected;
  };
  const Case cases[] = {
      {{}, {}, 2, pairs, false, QStringLiteral("R。1枚目（問題用紙）から2枚目までは印刷されていません。")},
      {{1},
       {},
       2,
       pairs,
       false,
       QStringLiteral("R。2枚目（こたえの用紙）から後は印刷されていません。1枚目はプリンタに送りました。")},
      {{1, 2, 3},
       {},
       0,
       problemsOnly,
       false,
       QStringLiteral("R。4枚目（問題用紙）から後は印刷されていません。1〜3枚目はプリンタに送りました。")},
      {{1, 2},
       {},
       4,
       pairs,
       true,
       QStringLiteral(
           "R。3枚目（問題用紙）から4枚目までは印刷されていません。1〜2枚目はPDFファイルに保存しました。")},
      // Gaps are listed as they are; a job the spooler left unknown is neither printed nor missing.
      {{1, 3},
       {4},
       6,
       pairs,
       false,
       QStringLiteral("R。2枚目、5〜6枚目は印刷されていません。1枚目、3枚目はプリンタに送りました。4枚目は、"
                      "印刷されたかどうかわかりません。プリンタで確かめてください。")},
      {{1, 2}, {}, 2, pairs, false, QStringLiteral("R。1〜2枚目はプリンタに送りました。")},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(outcomeMessage(r, c.printed, c.unknown, c.total, c.kindOf, c.toFiles), c.expected);
  }
}

TEST(PrintMessages, DocumentTitleNamesRunSheetAndKind) {
  EXPECT_EQ(documentTitle({DocumentKind::Problems, 1, 3, "くりあがり ２０"}),
            QStringLiteral("くりあがり ２０ 1/3 もんだい"));
  EXPECT_EQ(documentTitle({DocumentKind::Answers, 3, 3, "くりあがり ２０"}),
            QStringLiteral("くりあがり ２０ 3/3 こたえ"));
  EXPECT_EQ(documentTitle({DocumentKind::Problems, 2, 0, {}}), QStringLiteral("Kirune 2 もんだい"));
}

}  // namespace
}  // namespace kirune
