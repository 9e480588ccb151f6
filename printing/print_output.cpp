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

#include "printing/cups_queue.h"
#include "printing/document_sinks.h"
#include "printing/print_messages.h"
#include "render/page_canvas.h"

namespace kirune {

namespace {

bool ended(JobEnd end) { return end != JobEnd::Going && end != JobEnd::Unknown; }

// Numbers padded to the width of the run's last number, at least three digits, so names sort in print order.
QString numbered(int n, int last) {
  return QStringLiteral("%1").arg(n, std::max(3, static_cast<int>(QString::number(last).size())), 10,
                                  QLatin1Char('0'));
}

}  // namespace

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

template <typename Work>
auto PrintOutput::callSpooler(Work work) -> decltype(work()) {
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
  callSpooler([&] {
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
      const QueueStatus now = callSpooler([&] { return checkQueue(queue_.toStdString(), &cancel_); });
      if (now.state == QueueState::NotFound) fail(queueProblemText(now, job.document));
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
    callSpooler([&] {
      cancelJobs(waiting);
      return 0;
    });
  }
  QString message = outcomeMessage(
      reason, printed(), unknown(), total_, [this](int number) { return kindOf(number); },
      route_ == Route::Files || route_ == Route::Folder);
  if (delivered_ > 0 && !folder_.isEmpty()) message += savedWhereText(folder_);
  throw UndeliveredError(message.toStdString());
}

DocumentKind PrintOutput::kindOf(int number) const {
  if (number >= 1 && static_cast<std::size_t>(number) <= kinds_.size())
    return kinds_[static_cast<std::size_t>(number - 1)];
  // Not begun yet: an answer document follows its problem document when the run has answers.
  const bool afterProblems = kinds_.empty() ? false : kinds_.back() == DocumentKind::Problems;
  return answers_ && afterProblems ? DocumentKind::Answers : DocumentKind::Problems;
}

void PrintOutput::cancelled() {
  followAfterCancel();
  throw PrintCancelled();
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
  // A queue found ready a moment ago is not asked about again.
  const bool ready = checked_ && checked_->state == QueueState::Ready;
  const QueueStatus status = ready ? *checked_ : callSpooler([&] { return checkQueue(wanted, &cancel_); });
  if (status.state == QueueState::Cancelled) throw PrintCancelled();
  // Only a spooler that is not there at all, or has no queue, sends the sheets to files; one that is
  // slow to answer is reported, never taken for a missing printer.
  const bool noPrinterAtAll =
      status.state == QueueState::NoSpooler || status.state == QueueState::NoPrinter ||
      (status.state == QueueState::NotFound &&
       callSpooler([&] { return checkQueue({}, &cancel_); }).state == QueueState::NoPrinter);
  if (cancel_) throw PrintCancelled();
  if (status.state == QueueState::Ready) {
    route_ = Route::Spooler;
    queue_ = QString::fromStdString(status.queue);
    return;
  }
  if (!noPrinterAtAll) fail(queueProblemText(status));

  route_ = Route::Folder;
  fallbackReason_ = queueProblemText(status);
  const QString root = fallbackRoot();
  if (!QDir().mkpath(root)) fail(folderNotMadeText(root));
  folder_ = root;
  // One file for the run, in print order; a name an earlier run took gets a number, never overwritten.
  const QString name = runFileName(title_, current_.sheets, QDateTime::currentDateTime());
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
  fail(runFileNotMadeText(root));
}

void PrintOutput::beginDoc(const DocumentInfo& info) {
  if (inDocument_) endDoc();
  const int number = documentCount_ + 1;
  // Known before the route is decided, so that a failure to decide names this document's kind.
  current_ = info;
  if (kinds_.empty()) title_ = QString::fromStdString(info.title);
  kinds_.push_back(info.kind);
  if (route_ == Route::Undecided) decideRoute();
  bytes.text.clear();
  writer.setInfo({documentTitle(info).toStdString(), pdfProducer(), pdfDate(QDateTime::currentDateTime())});
  ForwardingCanvas::beginDoc(info);
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
      fail(fileNotWrittenText(runFile_->fileName()));
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
    fail(fileNotWrittenText(runFile_->fileName()));
  }
}

void PrintOutput::writeFile(const QString& path, std::string_view pdf) {
  QFile file(path);
  // NewOnly: a file that appeared in the meantime is left alone rather than overwritten.
  if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
    fail(fileNotMadeText(path));
  }
  const bool written =
      file.write(pdf.data(), static_cast<qint64>(pdf.size())) == static_cast<qint64>(pdf.size()) &&
      file.flush();
  file.close();
  if (!written || file.error() != QFileDevice::NoError) {
    file.remove();  // a half-written sheet is worse than none: the message says it is missing
    fail(fileNotWrittenText(path));
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
  if (bytes.text.empty()) fail(pageNotFinishedText());
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
  const std::string title = documentTitle(current_).toStdString();
  const std::string_view pdf = bytes.text;
  // The queue was found ready as the route was decided: the first job goes straight in.
  const bool checked = document == 1;
  const QueueStatus status =
      callSpooler([&] { return submitPdf(queue, pdf, options, title, &cancel_, checked); });
  if (status.state != QueueState::Ready) {
    if (status.maybeHeld) jobs_.push_back({document, status.jobId, JobEnd::Unknown});
    if (status.state == QueueState::Cancelled) cancelled();
    const bool answers = status.state != QueueState::Stalled && status.state != QueueState::NoSpooler &&
                         status.state != QueueState::Lost;
    fail(queueProblemText(status, document), answers);
  }
  jobIds_ << status.jobId;
  jobs_.push_back({document, status.jobId, JobEnd::Going});
  // A look at the oldest jobs still going: one that went wrong stops the run here, not after the last
  // sheet. Jobs end in order, so the oldest few are enough, and a long run's look stays short.
  std::vector<int> oldest;
  for (const Job& job : jobs_) {
    if (!ended(job.end) && oldest.size() < 4) oldest.push_back(job.id);
  }
  // The job just handed over was found going a moment ago; when it is the only one, asking again
  // tells nothing new and waits on a spooler that is busy starting that very job.
  if (oldest.size() == 1 && oldest.front() == status.jobId) oldest.clear();
  const std::vector<JobState> states = callSpooler([&] { return lookAtJobs(oldest, &cancel_); });
  for (const JobState& state : states) {
    for (Job& job : jobs_) {
      if (job.id == state.jobId && state.end != JobEnd::Unknown) job.end = state.end;
    }
  }
  if (cancel_) cancelled();
  checkJobEnds();
}

QString PrintOutput::savedNotice() const {
  if (delivered_ == 0 || (route_ != Route::Folder && route_ != Route::Files)) return {};
  // A sheet counts once its last document is out: its answers when the run has them.
  int sheets = 0;
  for (int n = 1; n <= delivered_; ++n) {
    if (!answers_ || kindOf(n) == DocumentKind::Answers) ++sheets;
  }
  if (route_ == Route::Folder) {
    return savedNoticeText(sheets, delivered_, answers_, printer_.copyCount(),
                           files_.isEmpty() ? folder_ : files_.first(), true);
  }
  return savedNoticeText(sheets, delivered_, answers_, printer_.copyCount(), folder_, false);
}

}  // namespace kirune
