#include "printing/print_messages.h"

#include <QDir>
#include <QStringList>
#include <algorithm>

#include <cups/ipp.h>

namespace kirune {

namespace {

QString seconds(int ms) { return QString::number((ms + 999) / 1000); }

QString shown(const QString& path) { return QDir::toNativeSeparators(path); }

// The spooler's refusal, in words; its own (English) words never show.
QString refusalText(int ippStatus) {
  switch (ippStatus) {
    case IPP_STATUS_ERROR_REQUEST_ENTITY:
    case IPP_STATUS_ERROR_REQUEST_VALUE:
      // What cupsd answers when its spool disk is full, as well as for a document over its size limit.
      return QStringLiteral("印刷のしくみ（CUPS）の保存場所がいっぱいか、書類が大きすぎます");
    case IPP_STATUS_ERROR_DOCUMENT_FORMAT_NOT_SUPPORTED:
      return QStringLiteral("PDFを受け付けないプリンタです");
    case IPP_STATUS_ERROR_FORBIDDEN:
    case IPP_STATUS_ERROR_NOT_AUTHENTICATED:
    case IPP_STATUS_ERROR_NOT_AUTHORIZED:
      return QStringLiteral("このプリンタで印刷する許可がありません");
    case IPP_STATUS_ERROR_ATTRIBUTES_OR_VALUES:
    case IPP_STATUS_ERROR_CONFLICTING:
      return QStringLiteral("用紙や部数の設定を受け付けません");
    case IPP_STATUS_ERROR_TOO_MANY_JOBS:
    case IPP_STATUS_ERROR_BUSY:
    case IPP_STATUS_ERROR_TOO_MANY_DOCUMENTS:
      return QStringLiteral("印刷待ちがいっぱいです");
    default:
      return {};
  }
}

// "1〜3枚目、5枚目"
QString ranges(const QList<int>& numbers) {
  QStringList parts;
  for (qsizetype i = 0; i < numbers.size();) {
    qsizetype j = i;
    while (j + 1 < numbers.size() && numbers[j + 1] == numbers[j] + 1) ++j;
    parts << (i == j ? QStringLiteral("%1枚目").arg(numbers[i])
                     : QStringLiteral("%1〜%2枚目").arg(numbers[i]).arg(numbers[j]));
    i = j + 1;
  }
  return parts.join(QStringLiteral("、"));
}

}  // namespace

QString queueProblemText(const QueueStatus& status, int document) {
  const QString name = QString::fromStdString(status.queue);
  const SpoolerLimits limits = SpoolerLimits::current();
  switch (status.state) {
    case QueueState::NoSpooler:
      return QStringLiteral("印刷のしくみ（CUPS）とつながりません。");
    case QueueState::NoPrinter:
      return QStringLiteral("使えるプリンタがありません。");
    case QueueState::NotFound:
      return QStringLiteral("プリンタ「%1」が見つかりません。プリンタ設定で選びなおしてください。").arg(name);
    case QueueState::NotAccepting:
      return QStringLiteral("プリンタ「%1」が印刷を受け付けていません。").arg(name);
    case QueueState::Stopped:
      return QStringLiteral("プリンタ「%1」が止まっています。").arg(name);
    case QueueState::Stalled:
      if (document > 0) {
        return QStringLiteral(
                   "%1枚目をプリンタ「%2」に渡している間に、印刷のしくみ（CUPS）が答えなくなりました"
                   "（%3秒待ちました）。")
            .arg(document)
            .arg(name, seconds(status.jobId > 0 ? limits.documentMs : limits.askMs));
      }
      return QStringLiteral("印刷のしくみ（CUPS）が%1秒待っても答えません。").arg(seconds(limits.askMs));
    case QueueState::Lost:
      return QStringLiteral(
                 "%1枚目をプリンタ「%2」に渡している途中で、印刷のしくみ（CUPS）とのやりとりが"
                 "切れました。")
          .arg(document)
          .arg(name);
    case QueueState::Refused:
    case QueueState::Ready:
    case QueueState::Cancelled:
      break;
  }
  QString text =
      document > 0 ? QStringLiteral("プリンタ「%1」に%2枚目の印刷をことわられました").arg(name).arg(document)
                   : QStringLiteral("プリンタ「%1」に印刷をことわられました").arg(name);
  if (const QString why = refusalText(status.ippStatus); !why.isEmpty())
    text += QStringLiteral("（%1）").arg(why);
  return text + QStringLiteral("。");
}

QString jobEndText(JobEnd end, int document, const QString& queue) {
  switch (end) {
    case JobEnd::Aborted:
      return QStringLiteral("プリンタ「%1」が%2枚目の印刷を途中でやめました（プリンタかその設定のエラー）。")
          .arg(queue)
          .arg(document);
    case JobEnd::CompletedWithErrors:
      return QStringLiteral("プリンタ「%1」で%2枚目の印刷がエラーで終わりました。").arg(queue).arg(document);
    case JobEnd::Canceled:
      return QStringLiteral("プリンタ「%1」で%2枚目の印刷が取り消されました。").arg(queue).arg(document);
    case JobEnd::PrinterStopped:
      return QStringLiteral("プリンタ「%1」が止まったので、%2枚目から先の印刷を取り消しました。")
          .arg(queue)
          .arg(document);
    case JobEnd::Gone:
      return QStringLiteral("プリンタ「%1」が消されたので、%2枚目が印刷されたかどうかわかりません。")
          .arg(queue)
          .arg(document);
    case JobEnd::Unknown:
    case JobEnd::Going:
      return QStringLiteral("プリンタ「%1」が%2秒待っても%3枚目の印刷を終えません。")
          .arg(queue, seconds(SpoolerLimits::current().followMs))
          .arg(document);
    case JobEnd::Completed:
      break;
  }
  return {};
}

QString outcomeMessage(const QString& reason, const QList<int>& printed, const QList<int>& unknown,
                       int totalDocuments, const DocumentKindOf& kindOf, bool toFiles) {
  int last = 0;
  for (int n : printed + unknown) last = std::max(last, n);
  // Without a known total, the first document after the last one handed over stands for the rest.
  const int limit = std::max(totalDocuments, last + 1);
  QList<int> missing;
  for (int n = 1; n <= limit; ++n) {
    if (!printed.contains(n) && !unknown.contains(n) && (n <= totalDocuments || totalDocuments == 0))
      missing << n;
  }
  QString text = reason;
  if (!missing.isEmpty()) {
    const int first = missing.first();
    const QString kind =
        kindOf(first) == DocumentKind::Answers ? QStringLiteral("こたえの用紙") : QStringLiteral("問題用紙");
    if (missing.last() - first + 1 != missing.size()) {
      text += QStringLiteral("%1は印刷されていません。").arg(ranges(missing));
    } else if (totalDocuments > first) {
      text += QStringLiteral("%1枚目（%2）から%3枚目までは印刷されていません。")
                  .arg(first)
                  .arg(kind)
                  .arg(totalDocuments);
    } else {
      text += QStringLiteral("%1枚目（%2）から後は印刷されていません。").arg(first).arg(kind);
    }
  }
  const QString done =
      toFiles ? QStringLiteral("PDFファイルに保存しました") : QStringLiteral("プリンタに送りました");
  if (!printed.isEmpty()) text += QStringLiteral("%1は%2。").arg(ranges(printed), done);
  if (!unknown.isEmpty()) {
    text += QStringLiteral("%1は、印刷されたかどうかわかりません。プリンタで確かめてください。")
                .arg(ranges(unknown));
  }
  return text;
}

QString documentTitle(const DocumentInfo& info) {
  QString text = info.title.empty() ? QStringLiteral("Kirune") : QString::fromStdString(info.title);
  text += info.sheets > 0 ? QStringLiteral(" %1/%2").arg(info.sheet).arg(info.sheets)
                          : QStringLiteral(" %1").arg(info.sheet);
  return text + ' ' +
         (info.kind == DocumentKind::Answers ? QStringLiteral("こたえ") : QStringLiteral("もんだい"));
}

QString savedNoticeText(int sheets, int pages, bool answers, int copies, const QString& where,
                        bool noPrinter) {
  // Counted as 作成枚数 counts, the pages apart: "30枚（答えを含め60ページ）".
  const QString count = answers ? QStringLiteral("%1枚（答えを含め%2ページ）").arg(sheets).arg(pages)
                                : QStringLiteral("%1枚").arg(sheets);
  const QString copiesText =
      copies > 1 ? QStringLiteral("\n部数（%1部）はファイルには使われません。").arg(copies) : QString();
  if (noPrinter) {
    return QStringLiteral(
               "プリンタが使えないので、印刷するかわりにPDFファイルにしました。\n%1を保存しました。%"
               "2\n保存先: %3")
        .arg(count, copiesText, shown(where));
  }
  return QStringLiteral("%1をPDFファイルに保存しました。%2\n保存先: %3").arg(count, copiesText, shown(where));
}

QString savedWhereText(const QString& folder) { return QStringLiteral("\n保存先: %1").arg(shown(folder)); }

QString folderNotMadeText(const QString& folder) {
  return QStringLiteral("保存用のフォルダ %1 を作れません。").arg(folder);
}

QString runFileNotMadeText(const QString& folder) {
  return QStringLiteral("保存用のファイルを %1 の中に作れません。").arg(folder);
}

QString fileNotMadeText(const QString& path) {
  return QStringLiteral("ファイル %1 を作れません。").arg(shown(path));
}

QString fileNotWrittenText(const QString& path) {
  return QStringLiteral("ファイル %1 に書き込めません。").arg(shown(path));
}

QString pageNotFinishedText() { return QStringLiteral("ページを仕上げられません。"); }

}  // namespace kirune
