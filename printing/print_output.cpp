#include "printing/print_output.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QRegularExpression>
#include <QStandardPaths>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

#include <cups/ipp.h>

#include "printing/cups_queue.h"
#include "printing/document_sinks.h"
#include "render/page_canvas.h"

namespace kirune {

namespace {

QString queueName(const QueueStatus& status) { return QString::fromStdString(status.queue); }

QString seconds(int ms) { return QString::number((ms + 999) / 1000); }

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

// What went wrong with document `document` (0: before any), in words a teacher can act on.
QString reasonText(const QueueStatus& status, int document = 0) {
  const QString name = queueName(status);
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

// How job `job` of document `document` ended, when it did not complete.
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

bool ended(JobEnd end) { return end != JobEnd::Going && end != JobEnd::Unknown; }

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

// Numbers padded to the width of the run's last number, at least three digits, so names sort in print order.
QString numbered(int n, int last) {
  return QStringLiteral("%1").arg(n, std::max(3, static_cast<int>(QString::number(last).size())), 10,
                                  QLatin1Char('0'));
}

}  // namespace

QString queueProblemText(const QueueStatus& status) { return reasonText(status); }

QString outcomeMessage(const QString& reason, const QList<int>& printed, const QList<int>& unknown,
                       int totalDocuments, bool answers, bool toFiles) {
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
        answers && first % 2 == 0 ? QStringLiteral("こたえの用紙") : QStringLiteral("問題用紙");
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

QString undeliveredMessage(const QString& reason, int document, int totalDocuments, bool answers,
                           bool toFiles) {
  QList<int> before;
  for (int n = 1; n < document; ++n) before << n;
  return outcomeMessage(reason, before, {}, totalDocuments, answers, toFiles);
}

QString documentTitle(const QString& runTitle, int number, int totalDocuments, bool answers) {
  const int sheet = answers ? (number + 1) / 2 : number;
  const int sheets = answers ? totalDocuments / 2 : totalDocuments;
  QString text = runTitle.isEmpty() ? QStringLiteral("Kirune") : runTitle;
  text += sheets > 0 ? QStringLiteral(" %1/%2").arg(sheet).arg(sheets) : QStringLiteral(" %1").arg(sheet);
  return text + ' ' + (answers && number % 2 == 0 ? QStringLiteral("こたえ") : QStringLiteral("もんだい"));
}

PrintOutput::PrintOutput(const QPrinter& printer)
    : PdfInMemory(pdfPage(printer.pageLayout())), ForwardingCanvas(writer), printer_(printer) {}

PrintOutput::~PrintOutput() {
  // A run file that never got its pages (nothing handed over, or the run broke off) is not left behind.
  if (runFile_ && !runFileDone_) runFile_->remove();
}

void PrintOutput::plan(int totalDocuments, bool answers) {
  total_ = totalDocuments;
  answers_ = answers;
}

QSize PrintOutput::pageSize() const { return printer_.pageLayout().paintRectPixels(kDotsPerInch).size(); }

QString PrintOutput::fallbackRoot() {
  QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (documents.isEmpty()) documents = QDir::homePath();
  return QDir(documents).filePath(QStringLiteral("Kirune"));
}

int PrintOutput::copyCount() const { return printer_.copyCount(); }

QString PrintOutput::runFileName(const QString& title, int sheets, const QDateTime& when) {
  QString name = title.isEmpty() ? QStringLiteral("Kirune") : title;
  name.remove(QLatin1Char(' ')).remove(QChar(0x3000)).replace(QLatin1Char('/'), QChar(0xFF0F));
  return QStringLiteral("%1_%2枚_%3.pdf")
      .arg(name)
      .arg(sheets)
      .arg(when.toString(QStringLiteral("yyyy-MM-dd_HHmm")));
}

QString PrintOutput::firstFileName(const QString& outputFile, int totalDocuments) {
  const QFileInfo info(outputFile);
  const QString stem = info.suffix().compare(QStringLiteral("pdf"), Qt::CaseInsensitive) == 0
                           ? info.completeBaseName()
                           : info.fileName();
  int first = 1;
  const QRegularExpression taken(
      QStringLiteral("^%1-(\\d{3,})\\.pdf$").arg(QRegularExpression::escape(stem)));
  for (const QString& name : QDir(info.absolutePath()).entryList(QDir::Files)) {
    const QRegularExpressionMatch match = taken.match(name);
    if (match.hasMatch()) first = std::max(first, match.captured(1).toInt() + 1);
  }
  return QStringLiteral("%1-%2.pdf").arg(stem, numbered(first, first + std::max(totalDocuments, 1) - 1));
}

QString PrintOutput::documentTitle(int number) const {
  return kirune::documentTitle(title_, number, total_, answers_);
}

template <typename Work>
auto PrintOutput::waitFor(Work work) -> decltype(work()) {
  if (!whileWaiting_) return work();
  using Result = decltype(work());
  std::optional<Result> result;
  std::exception_ptr error;
  std::mutex mutex;
  std::condition_variable doneSignal;
  bool done = false;
  std::thread worker([&] {
    try {
      result.emplace(work());
    } catch (...) {
      error = std::current_exception();
    }
    const std::lock_guard lock(mutex);
    done = true;
    doneSignal.notify_all();
  });
  std::unique_lock lock(mutex);
  while (!doneSignal.wait_for(lock, std::chrono::milliseconds(30), [&] { return done; })) {
    lock.unlock();
    if (whileWaiting_()) cancel_ = true;
    lock.lock();
  }
  lock.unlock();
  worker.join();
  if (error) std::rethrow_exception(error);
  return std::move(*result);
}

void PrintOutput::follow(int idleMs, int looks, bool honourCancel, int askMs) {
  auto going = [this] {
    std::vector<int> ids;
    for (const Job& job : jobs_) {
      if (!ended(job.end)) ids.push_back(job.id);
    }
    return ids;
  };
  if (going().empty()) return;
  waitFor([&] {
    using Clock = std::chrono::steady_clock;
    auto idleUntil = Clock::now() + std::chrono::milliseconds(idleMs);
    for (int look = 1;; ++look) {
      const std::vector<JobState> states = lookAtJobs(going(), honourCancel ? &cancel_ : nullptr, askMs);
      bool moved = false;
      for (const JobState& state : states) {
        for (Job& job : jobs_) {
          if (job.id != state.jobId) continue;
          moved = moved || (ended(state.end) && !ended(job.end));
          job.end = state.end;
        }
      }
      if (moved) idleUntil = Clock::now() + std::chrono::milliseconds(idleMs);
      if (going().empty() || (looks > 0 && look >= looks) || Clock::now() >= idleUntil) break;
      for (int pause = 0; pause < 10 && !(honourCancel && cancel_); ++pause)
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
      if (honourCancel && cancel_) break;
    }
    return 0;
  });
}

void PrintOutput::checkJobEnds() {
  for (const Job& job : jobs_) {
    if (job.end == JobEnd::Going || job.end == JobEnd::Completed || job.end == JobEnd::Unknown ||
        job.end == JobEnd::Gone)
      continue;
    if (job.end == JobEnd::Canceled && !cancel_) {
      // Deleting a queue cancels the jobs it held: then the printer's going is what the teacher must hear.
      const QueueStatus now = waitFor([&] { return checkQueue(queue_.toStdString(), &cancel_); });
      if (now.state == QueueState::NotFound) fail(reasonText(now, job.document));
    }
    fail(jobEndText(job.end, job.document, queue_));
  }
}

QList<int> PrintOutput::printed() const {
  QList<int> documents;
  // The run's one file holds its pages only once it is written.
  if (runFile_ && !runFileDone_) return documents;
  if (route_ != Route::Spooler) {
    for (int n = 1; n <= delivered_; ++n) documents << n;
    return documents;
  }
  for (const Job& job : jobs_) {
    if (job.end == JobEnd::Completed) documents << job.document;
  }
  return documents;
}

QList<int> PrintOutput::unknown() const {
  QList<int> documents;
  for (const Job& job : jobs_) {
    if (!ended(job.end) || job.end == JobEnd::Gone) documents << job.document;
  }
  return documents;
}

void PrintOutput::fail(const QString& reason, bool spoolerAnswers) {
  if (route_ == Route::Spooler) {
    // The count must be what the spooler did: follow what it still holds (until the user stops it),
    // but ask a spooler that has stopped answering only once more.
    const SpoolerLimits limits = SpoolerLimits::current();
    follow(limits.followMs, spoolerAnswers ? 0 : 1, true);
    // Jobs waiting in a stopped queue would print once it starts again, and a job stopped by a failed
    // filter once someone restarts it, after the message said they had not: they go, so a reprint
    // from the named sheet gives no sheet twice.
    std::vector<int> waiting;
    for (Job& job : jobs_) {
      if (job.end == JobEnd::PrinterStopped || job.end == JobEnd::CompletedWithErrors)
        waiting.push_back(job.id);
    }
    waitFor([&] {
      cancelJobs(waiting);
      return 0;
    });
  }
  QString message = outcomeMessage(reason, printed(), unknown(), total_, answers_,
                                   route_ == Route::Files || route_ == Route::Folder);
  if (delivered_ > 0 && !folder_.isEmpty())
    message += QStringLiteral("\n保存先: %1").arg(QDir::toNativeSeparators(folder_));
  throw UndeliveredError(message.toStdString());
}

void PrintOutput::cancelled() {
  followAfterCancel();
  throw PrintingCancelled();
}

void PrintOutput::followAfterCancel() {
  if (followedAfterCancel_) return;
  followedAfterCancel_ = true;
  // A short follow, so the report counts what already came out; the user is not kept waiting long.
  // A spooler that does not answer the first look is not asked again.
  constexpr int kAfterCancelMs = 2000;
  follow(0, 1, false, kAfterCancelMs);
  const bool answered =
      std::none_of(jobs_.begin(), jobs_.end(), [](const Job& job) { return job.end == JobEnd::Unknown; });
  if (answered) follow(kAfterCancelMs, 0, false, kAfterCancelMs);
}

void PrintOutput::decideRoute() {
  const QString outputFile = printer_.outputFileName();
  if (!outputFile.isEmpty()) {
    route_ = Route::Files;
    const QFileInfo info(outputFile);
    folder_ = info.absolutePath();
    fileStem_ = info.suffix().compare(QStringLiteral("pdf"), Qt::CaseInsensitive) == 0
                    ? info.completeBaseName()
                    : info.fileName();
    // Continue after the numbers a former run left, so that nothing is overwritten and the files
    // still sort in print order.
    const QRegularExpression numbered(
        QStringLiteral("^%1-(\\d{3,})\\.pdf$").arg(QRegularExpression::escape(fileStem_)));
    for (const QString& name : QDir(folder_).entryList(QDir::Files)) {
      const QRegularExpressionMatch match = numbered.match(name);
      if (match.hasMatch()) firstNumber_ = std::max(firstNumber_, match.captured(1).toInt() + 1);
    }
    return;
  }

  const std::string wanted = queueOverride_.value_or(printer_.printerName()).toStdString();
  const QueueStatus status = waitFor([&] { return checkQueue(wanted, &cancel_); });
  if (status.state == QueueState::Cancelled) throw PrintingCancelled();
  // Only a spooler that is not there at all, or has no queue, sends the sheets to files; one that is
  // slow to answer is reported, never taken for a missing printer.
  const bool noPrinterAtAll =
      status.state == QueueState::NoSpooler || status.state == QueueState::NoPrinter ||
      (status.state == QueueState::NotFound &&
       waitFor([&] { return checkQueue({}, &cancel_); }).state == QueueState::NoPrinter);
  if (cancel_) throw PrintingCancelled();
  if (status.state == QueueState::Ready) {
    route_ = Route::Spooler;
    queue_ = queueName(status);
    return;
  }
  if (!noPrinterAtAll) fail(reasonText(status));

  route_ = Route::Folder;
  fallbackReason_ = reasonText(status);
  const QString root = fallbackRoot();
  if (!QDir().mkpath(root)) fail(QStringLiteral("保存用のフォルダ %1 を作れません。").arg(root));
  folder_ = root;
  // One file for the run, in print order; a name an earlier run took gets a number, never overwritten.
  const QString name = runFileName(title_, answers_ ? total_ / 2 : total_, QDateTime::currentDateTime());
  const QString stem = name.chopped(4);
  for (int attempt = 1; attempt < 1000; ++attempt) {
    const QString path =
        QDir(root).filePath(attempt == 1 ? name : QStringLiteral("%1_%2.pdf").arg(stem).arg(attempt));
    auto file = std::make_unique<QFile>(path);
    if (file->open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
      runFile_ = std::move(file);
      return;
    }
    if (!QFileInfo::exists(path)) break;
  }
  fail(QStringLiteral("保存用のファイルを %1 の中に作れません。").arg(root));
}

void PrintOutput::beginDoc() {
  if (inDocument_) endDoc();
  const int number = documentCount_ + 1;
  if (route_ == Route::Undecided) decideRoute();
  bytes.text.clear();
  writer.setInfo({documentTitle(number).toStdString(), pdfProducer(), pdfDate(QDateTime::currentDateTime())});
  ForwardingCanvas::beginDoc();
  documentCount_ = number;
  inDocument_ = true;
}

void PrintOutput::finish() {
  if (inDocument_) endDoc();
  if (runFile_ && !runFileDone_) {
    // The run's one file: its title is the run's, its pages all those handed over.
    writer.setInfo({(title_.isEmpty() ? QStringLiteral("Kirune") : title_).toStdString(), pdfProducer(),
                    pdfDate(QDateTime::currentDateTime())});
    writer.finishFile();
    appendToRunFile();
    runFile_->close();
    if (runFile_->error() != QFileDevice::NoError) {
      fail(QStringLiteral("ファイル %1 に書き込めません。")
               .arg(QDir::toNativeSeparators(runFile_->fileName())));
    }
    runFileDone_ = true;
    files_ << runFile_->fileName();
    return;
  }
  if (route_ != Route::Spooler) return;
  if (cancel_) {
    followAfterCancel();
    return;
  }
  // Every job followed to its end: only then is the run printed.
  follow(SpoolerLimits::current().followMs, 0, true);
  if (cancel_) cancelled();
  checkJobEnds();
  for (const Job& job : jobs_) {
    if (!ended(job.end) || job.end == JobEnd::Gone) fail(jobEndText(job.end, job.document, queue_));
  }
}

void PrintOutput::appendToRunFile() {
  const std::string_view pdf = bytes.text;
  const bool written =
      runFile_->write(pdf.data(), static_cast<qint64>(pdf.size())) == static_cast<qint64>(pdf.size());
  bytes.text.clear();
  if (!written) {
    fail(
        QStringLiteral("ファイル %1 に書き込めません。").arg(QDir::toNativeSeparators(runFile_->fileName())));
  }
}

void PrintOutput::writeFile(const QString& path, std::string_view pdf) {
  QFile file(path);
  // NewOnly: a file that appeared in the meantime is left alone rather than overwritten.
  if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
    fail(QStringLiteral("ファイル %1 を作れません。").arg(QDir::toNativeSeparators(path)));
  }
  const bool written =
      file.write(pdf.data(), static_cast<qint64>(pdf.size())) == static_cast<qint64>(pdf.size()) &&
      file.flush();
  file.close();
  if (!written || file.error() != QFileDevice::NoError) {
    file.remove();  // a half-written sheet is worse than none: the message says it is missing
    fail(QStringLiteral("ファイル %1 に書き込めません。").arg(QDir::toNativeSeparators(path)));
  }
  files_ << path;
}

void PrintOutput::endDoc() {
  if (!inDocument_) return;
  inDocument_ = false;
  ForwardingCanvas::endDoc();
  if (runFile_) {
    // One file for the run: the page goes in as it ends; the file is finished after the last.
    appendToRunFile();
    ++delivered_;
    return;
  }
  writer.finishFile();
  if (bytes.text.empty()) fail(QStringLiteral("ページを仕上げられません。"));
  const int document = delivered_ + 1;

  switch (route_) {
    case Route::Spooler:
      submit(document);
      break;
    case Route::Files:
      writeFile(QDir(folder_).filePath(
                    QStringLiteral("%1-%2.pdf")
                        .arg(fileStem_, numbered(firstNumber_ + document - 1, firstNumber_ + total_ - 1))),
                bytes.text);
      break;
    case Route::Folder:  // written into the run's one file above
    case Route::Undecided:
      break;
  }
  ++delivered_;
  bytes.text.clear();
}

void PrintOutput::submit(int document) {
  JobOptions options;
  const QPageSize size = printer_.pageLayout().pageSize();
  if (size.id() != QPageSize::Custom) options.emplace_back("media", size.key().toStdString());
  if (printer_.copyCount() > 1) options.emplace_back("copies", std::to_string(printer_.copyCount()));
  const std::string queue = queue_.toStdString();
  const std::string title = documentTitle(document).toStdString();
  const std::string_view pdf = bytes.text;
  const QueueStatus status = waitFor([&] { return submitPdf(queue, pdf, options, title, &cancel_); });
  if (status.state != QueueState::Ready) {
    if (status.maybeHeld) jobs_.push_back({document, status.jobId, JobEnd::Unknown});
    if (status.state == QueueState::Cancelled) cancelled();
    const bool answers = status.state != QueueState::Stalled && status.state != QueueState::NoSpooler &&
                         status.state != QueueState::Lost;
    fail(reasonText(status, document), answers);
  }
  jobIds_ << status.jobId;
  jobs_.push_back({document, status.jobId, JobEnd::Going});
  // A look at the oldest jobs still going: one that went wrong stops the run here, not after the last
  // sheet. Jobs end in order, so the oldest few are enough, and a long run's look stays short.
  std::vector<int> oldest;
  for (const Job& job : jobs_) {
    if (!ended(job.end) && oldest.size() < 4) oldest.push_back(job.id);
  }
  const std::vector<JobState> states = waitFor([&] { return lookAtJobs(oldest, &cancel_); });
  for (const JobState& state : states) {
    for (Job& job : jobs_) {
      if (job.id == state.jobId && state.end != JobEnd::Unknown) job.end = state.end;
    }
  }
  if (cancel_) cancelled();
  checkJobEnds();
}

QString PrintOutput::savedNotice() const {
  if (delivered_ == 0) return {};
  // Counted as 作成枚数 counts, the pages apart: "30枚（答えを含め60ページ）".
  const int sheets = answers_ ? delivered_ / 2 : delivered_;
  const QString count = answers_ ? QStringLiteral("%1枚（答えを含め%2ページ）").arg(sheets).arg(delivered_)
                                 : QStringLiteral("%1枚").arg(sheets);
  const QString copies =
      printer_.copyCount() > 1
          ? QStringLiteral("\n部数（%1部）はファイルには使われません。").arg(printer_.copyCount())
          : QString();
  if (route_ == Route::Folder) {
    return QStringLiteral(
               "プリンタが使えないので、印刷するかわりにPDFファイルにしました。\n%1を保存しました。%"
               "2\n保存先: %3")
        .arg(count, copies, QDir::toNativeSeparators(files_.isEmpty() ? folder_ : files_.first()));
  }
  if (route_ == Route::Files) {
    return QStringLiteral("%1をPDFファイルに保存しました。%2\n保存先: %3")
        .arg(count, copies, QDir::toNativeSeparators(folder_));
  }
  return {};
}

}  // namespace kirune
