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

#include "printing/cups_queue.h"
#include "printing/document_sinks.h"
#include "render/page_canvas.h"

namespace kirune {

namespace {

QString queueName(const QueueStatus& status) { return QString::fromStdString(status.queue); }

// What went wrong, in words a teacher can act on.
QString reasonText(const QueueStatus& status) {
  const QString name = queueName(status);
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
    case QueueState::Refused:
    case QueueState::Ready:
      break;
  }
  QString text = QStringLiteral("プリンタ「%1」に印刷をことわられました").arg(name);
  if (!status.detail.empty()) text += QStringLiteral("（%1）").arg(QString::fromStdString(status.detail));
  return text + QStringLiteral("。");
}

// Numbers padded to the width of the run's last number, at least three digits, so names sort in print order.
QString numbered(int n, int last) {
  return QStringLiteral("%1").arg(n, std::max(3, static_cast<int>(QString::number(last).size())), 10,
                                  QLatin1Char('0'));
}

}  // namespace

QString undeliveredMessage(const QString& reason, int document, int totalDocuments, bool answers,
                           bool toFiles) {
  const QString kind =
      answers && document % 2 == 0 ? QStringLiteral("こたえの用紙") : QStringLiteral("問題用紙");
  QString text = reason;
  if (totalDocuments > document) {
    text += QStringLiteral("%1枚目（%2）から%3枚目までは印刷されていません。")
                .arg(document)
                .arg(kind)
                .arg(totalDocuments);
  } else {
    text += QStringLiteral("%1枚目（%2）から後は印刷されていません。").arg(document).arg(kind);
  }
  const QString done =
      toFiles ? QStringLiteral("PDFファイルに保存しました") : QStringLiteral("プリンタに送りました");
  if (document == 2) {
    text += QStringLiteral("1枚目は%1。").arg(done);
  } else if (document > 2) {
    text += QStringLiteral("1〜%1枚目は%2。").arg(document - 1).arg(done);
  }
  return text;
}

PrintOutput::PrintOutput(const QPrinter& printer) : printer_(printer) {}

PrintOutput::~PrintOutput() = default;

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

QString PrintOutput::documentTitle(int number) const {
  const int sheet = answers_ ? (number + 1) / 2 : number;
  const int sheets = answers_ ? total_ / 2 : total_;
  QString text = title_.isEmpty() ? QStringLiteral("Kirune") : title_;
  text += sheets > 0 ? QStringLiteral(" %1/%2").arg(sheet).arg(sheets) : QStringLiteral(" %1").arg(sheet);
  return text + ' ' + kindOf(number);
}

QString PrintOutput::kindOf(int document) const {
  return answers_ && document % 2 == 0 ? QStringLiteral("こたえ") : QStringLiteral("もんだい");
}

void PrintOutput::fail(const QString& reason) const {
  QString message = undeliveredMessage(reason, delivered_ + 1, total_, answers_,
                                       route_ == Route::Files || route_ == Route::Folder);
  if (delivered_ > 0 && !folder_.isEmpty())
    message += QStringLiteral("\n保存先: %1").arg(QDir::toNativeSeparators(folder_));
  throw UndeliveredError(message.toStdString());
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

  const QueueStatus status = checkQueue(queueOverride_.value_or(printer_.printerName()).toStdString());
  const bool noPrinterAtAll =
      status.state == QueueState::NoSpooler || status.state == QueueState::NoPrinter ||
      (status.state == QueueState::NotFound && checkQueue({}).state == QueueState::NoPrinter);
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
  // A new folder per run, named by the time so that runs sort in order; never one of an earlier run.
  const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_HHmmss"));
  for (int attempt = 1; attempt < 1000; ++attempt) {
    const QString name = attempt == 1 ? stamp : QStringLiteral("%1_%2").arg(stamp).arg(attempt);
    if (QDir(root).mkdir(name)) {
      folder_ = QDir(root).filePath(name);
      return;
    }
    if (!QFileInfo::exists(QDir(root).filePath(name))) break;
  }
  fail(QStringLiteral("保存用のフォルダを %1 の中に作れません。").arg(root));
}

void PrintOutput::beginDocument(QPainter& painter, int number) {
  if (route_ == Route::Undecided) decideRoute();
  if (painter.isActive()) painter.end();
  pdf_.clear();
  // One printer for the run: the page layout holds for all its documents, and making one is slow.
  if (!writer_) writer_ = std::make_unique<PdfPrinterFile>(printer_.pageLayout());
  if (!writer_->open(documentTitle(number)) || !painter.begin(&writer_->printer())) {
    fail(QStringLiteral("ページを用意できません。"));
  }
}

void PrintOutput::finish(QPainter& painter) {
  if (painter.isActive()) painter.end();
}

void PrintOutput::abandon(QPainter& painter) noexcept {
  if (painter.isActive()) painter.end();
  writer_.reset();
  pdf_.clear();
}

void PrintOutput::writeFile(const QString& path, const QByteArray& pdf) {
  QFile file(path);
  // NewOnly: a file that appeared in the meantime is left alone rather than overwritten.
  if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
    fail(QStringLiteral("ファイル %1 を作れません。").arg(QDir::toNativeSeparators(path)));
  }
  const bool written = file.write(pdf) == pdf.size() && file.flush();
  file.close();
  if (!written || file.error() != QFileDevice::NoError) {
    file.remove();  // a half-written sheet is worse than none: the message says it is missing
    fail(QStringLiteral("ファイル %1 に書き込めません。").arg(QDir::toNativeSeparators(path)));
  }
  files_ << path;
}

void PrintOutput::endDocument(QPainter& painter, int) {
  if (!writer_ || !painter.isActive()) return;
  const bool drawn = painter.end();
  QFile made(writer_->path());
  if (drawn && made.open(QIODevice::ReadOnly)) pdf_ = made.readAll();
  made.close();
  if (!drawn || pdf_.isEmpty()) fail(QStringLiteral("ページを仕上げられません。"));
  const int document = delivered_ + 1;

  switch (route_) {
    case Route::Spooler: {
      JobOptions options;
      const QPageSize size = printer_.pageLayout().pageSize();
      if (size.id() != QPageSize::Custom) options.emplace_back("media", size.key().toStdString());
      if (printer_.copyCount() > 1) options.emplace_back("copies", std::to_string(printer_.copyCount()));
      const QueueStatus status = submitPdf(
          queue_.toStdString(), std::string_view(pdf_.constData(), static_cast<std::size_t>(pdf_.size())),
          options, documentTitle(document).toStdString());
      if (status.state != QueueState::Ready) fail(reasonText(status));
      jobIds_ << status.jobId;
      break;
    }
    case Route::Files:
      writeFile(QDir(folder_).filePath(
                    QStringLiteral("%1-%2.pdf")
                        .arg(fileStem_, numbered(firstNumber_ + document - 1, firstNumber_ + total_ - 1))),
                pdf_);
      break;
    case Route::Folder:
      writeFile(QDir(folder_).filePath(
                    QStringLiteral("%1_%2.pdf").arg(numbered(document, total_), kindOf(document))),
                pdf_);
      break;
    case Route::Undecided:
      break;
  }
  ++delivered_;
  pdf_.clear();
}

QString PrintOutput::savedNotice() const {
  if (delivered_ == 0) return {};
  if (route_ == Route::Folder) {
    return QStringLiteral(
               "プリンタが使えないので、印刷するかわりにPDFファイルに保存しました（%1枚）。\n保存先: %2")
        .arg(delivered_)
        .arg(QDir::toNativeSeparators(folder_));
  }
  if (route_ == Route::Files) {
    return QStringLiteral("PDFファイルに保存しました（%1枚）。\n保存先: %2")
        .arg(delivered_)
        .arg(QDir::toNativeSeparators(folder_));
  }
  return {};
}

}  // namespace kirune
