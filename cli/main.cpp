// kirune-print: runs one preset button headless and writes its documents to a PDF, PNG files or a
// trace. Other tools read its command line and its output, so both stay as they are.

#include <QDateTime>
#include <QGuiApplication>
#include <QPrinter>
#include <QSaveFile>
#include <QString>
#include <QTimeZone>
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/options.h"
#include "kirune/version.h"
#include "printing/document_sinks.h"
#include "printing/fonts.h"
#include "printing/print_output.h"
#include "printing/qt_page_canvas.h"
#include "problems/random.h"
#include "render/image_set.h"
#include "render/presets.h"
#include "render/session.h"
#include "render/trace_canvas.h"

namespace {

using kirune::cli::Options;
using kirune::cli::Output;

constexpr int kBadArguments = 2;
constexpr int kWriteFailed = 1;

void say(const std::string& message) { std::cerr << "kirune-print: " << message << '\n'; }

std::string_view engineName(kirune::Engine e) {
  switch (e) {
    case kirune::Engine::Standard:
      return "print00Click";
    case kirune::Engine::FillIn:
      return "print00aClick";
    case kirune::Engine::Decomposition:
      return "print00bClick";
  }
  return {};
}

void listPresets() {
  std::cout << "button\trow title\tcaption\tkind\tcount item\tengine\ttiles\n";
  for (const kirune::Preset& p : kirune::presets()) {
    std::cout << p.button << '\t' << p.rowTitle << '\t' << p.caption << '\t' << p.kind << '\t' << p.countItem
              << '\t' << engineName(p.engine) << '\t' << (p.tiles ? 1 : 0) << '\n';
  }
}

// The date a --seed run records in its PDF: SOURCE_DATE_EPOCH when set, as reproducible builds do,
// otherwise the epoch itself.
QDateTime fixedDate() {
  bool ok = false;
  const qint64 epoch = qEnvironmentVariable("SOURCE_DATE_EPOCH").toLongLong(&ok);
  return QDateTime::fromSecsSinceEpoch(ok ? epoch : 0, QTimeZone::utc());
}

// Qt's notes about its runtime directory under a headless run are not the user's business.
void quietHandler(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtDebugMsg || type == QtInfoMsg) return;
  if (message.startsWith(QLatin1String("QStandardPaths:"))) return;
  std::cerr << message.toStdString() << '\n';
}

struct Run {
  kirune::Session& session;
  const Options& options;
  int pageWidth;
  int pageHeight;
};

int noDocuments() {
  say("文書は一つも出ませんでした（CheckBox3 が 0、SpinEdit1 が 0 "
      "以下、または段・分解する数が一つも選ばれていません）");
  return EXIT_SUCCESS;
}

int runTrace(Run& run) {
  const bool toStdout = run.options.target == "-";
  std::ostringstream buffered;
  std::ostream& out = toStdout ? std::cout : buffered;
  {
    kirune::TraceCanvas canvas(out, run.pageWidth, run.pageHeight);
    kirune::runPreset(*run.options.preset, run.session, canvas);
  }
  if (toStdout) {
    std::cout.flush();
    if (!std::cout) {
      say("トレースを標準出力に書けません");
      return kWriteFailed;
    }
    return EXIT_SUCCESS;
  }
  QSaveFile file(QString::fromStdString(run.options.target));
  const std::string text = buffered.str();
  if (!file.open(QIODevice::WriteOnly) ||
      file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size()) ||
      !file.commit()) {
    say("トレースを書き込めません: " + run.options.target + "（" + file.errorString().toStdString() + "）");
    return kWriteFailed;
  }
  return EXIT_SUCCESS;
}

int runPdf(Run& run) {
  QSaveFile file(QString::fromStdString(run.options.target));
  if (!file.open(QIODevice::WriteOnly)) {
    say("PDF を書き込めません: " + run.options.target + "（" + file.errorString().toStdString() + "）");
    return kWriteFailed;
  }
  std::optional<QDateTime> date;
  if (run.options.seed) date = fixedDate();
  kirune::PdfSink sink(file, QSize(run.pageWidth, run.pageHeight), date);
  kirune::QtPageCanvas canvas(sink, run.pageWidth, run.pageHeight);
  kirune::runPreset(*run.options.preset, run.session, canvas);
  if (canvas.documentCount() == 0) {
    file.cancelWriting();
    return noDocuments();
  }
  canvas.finish();
  if (!file.commit()) {
    say("PDF を書き込めません: " + run.options.target + "（" + file.errorString().toStdString() + "）");
    return kWriteFailed;
  }
  return EXIT_SUCCESS;
}

int runPng(Run& run) {
  kirune::RasterSink sink(QSize(run.pageWidth, run.pageHeight),
                          kirune::RasterSink::pngFilesIn(QString::fromStdString(run.options.target)));
  kirune::QtPageCanvas canvas(sink, run.pageWidth, run.pageHeight);
  kirune::runPreset(*run.options.preset, run.session, canvas);
  canvas.finish();
  return canvas.documentCount() == 0 ? noDocuments() : EXIT_SUCCESS;
}

// Each document its own job on the printer, confirmed by the spooler; without any printer, PDF files in
// a new folder. A refused document ends the run with the message of which sheets went out (exit 1);
// the fallback to files loses nothing, so it exits 0 and says on standard error where the files are.
int runPrinter(Run& run, QPrinter& printer) {
  kirune::PrintOutput output(printer);
  output.setQueue(run.options.target == "default" ? QString() : QString::fromStdString(run.options.target));
  const kirune::Settings& s = run.session.settings;
  const std::int64_t documents = kirune::plannedDocuments(*run.options.preset, s);
  output.plan(static_cast<int>(std::min<std::int64_t>(documents, INT_MAX)), s.CheckBox15);
  kirune::QtPageCanvas canvas(output, run.pageWidth, run.pageHeight);
  kirune::runPreset(*run.options.preset, run.session, canvas);
  canvas.finish();
  if (canvas.documentCount() == 0) return noDocuments();
  const QString notice = output.savedNotice();
  if (!notice.isEmpty()) say(notice.toStdString());
  return EXIT_SUCCESS;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const kirune::cli::ParseResult parsed = kirune::cli::parseArguments(args);
  if (!parsed.error.empty()) {
    say(parsed.error);
    return kBadArguments;
  }
  const Options& options = parsed.options;
  if (options.help) {
    std::cout << kirune::cli::usage();
    return EXIT_SUCCESS;
  }
  if (options.version) {
    std::cout << "kirune-print (" << kirune::kVersionLine << ")\n";
    return EXIT_SUCCESS;
  }
  if (options.listPresets) {
    listPresets();
    return EXIT_SUCCESS;
  }

  int pageWidth = options.pageWidth;
  int pageHeight = options.pageHeight;
  std::unique_ptr<QPrinter> printer;

  // Fonts need a GUI application; a headless run needs no display for it.
  std::unique_ptr<QGuiApplication> app;
  if (options.output != Output::Trace) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietHandler);
    static int qtArgc = 1;
    static char* qtArgv[] = {argv[0], nullptr};
    app = std::make_unique<QGuiApplication>(qtArgc, qtArgv);
    kirune::installFontSubstitutions();
  }
  if (options.output == Output::Printer) {
    printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    // The page of the queue asked for; the queue itself is given to the output, see runPrinter.
    if (options.target != "default") printer->setPrinterName(QString::fromStdString(options.target));
    kirune::preparePrinter(*printer);
    const QSize area = kirune::PrintOutput(*printer).pageSize();
    pageWidth = area.width();
    pageHeight = area.height();
  } else if (pageWidth == 0) {
    const QSize a4 = kirune::a4PagePixels();
    pageWidth = a4.width();
    pageHeight = a4.height();
  }

  try {
    std::unique_ptr<kirune::Random> rng =
        options.seed ? std::make_unique<kirune::Random>(*options.seed) : std::make_unique<kirune::Random>();
    kirune::Session session(kirune::ImageSet::builtIn(), *rng);
    for (const auto& [control, value] : options.sets)
      kirune::cli::applySetting(session.settings, control, value);
    Run run{session, options, pageWidth, pageHeight};
    switch (options.output) {
      case Output::Trace:
        return runTrace(run);
      case Output::Pdf:
        return runPdf(run);
      case Output::Png:
        return runPng(run);
      case Output::Printer:
        return runPrinter(run, *printer);
    }
  } catch (const kirune::PrinterError& e) {
    say(e.what());
    return kWriteFailed;
  } catch (const std::exception& e) {
    say(std::string("失敗しました: ") + e.what());
    return kWriteFailed;
  }
  return EXIT_SUCCESS;
}
