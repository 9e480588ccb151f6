// kirune-print: runs one preset button headless and writes its documents to a PDF, PNG files or a
// trace. Other tools read its command line and its output, so both stay as they are.

#include <time.h>
#include <QGuiApplication>
#include <QPageLayout>
#include <QSize>
#include <QString>
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/options.h"
#include "kirune/version.h"
#include "printing/document_sinks.h"
#include "printing/fonts.h"
#include "printing/output_file.h"
#include "printing/print_run.h"
#include "problems/random.h"
#include "render/errors.h"
#include "render/image_set.h"
#include "render/presets.h"
#include "render/session.h"

namespace {

using kirune::cli::Options;
using kirune::cli::Output;

constexpr int kBadArguments = 2;
constexpr int kWriteFailed = 1;

void say(const std::string& message) { std::cerr << "kirune-print: " << message << '\n'; }

void listPresets() {
  std::cout << "button\trow title\tcaption\tkind\tcount item\tengine\ttiles\n";
  for (const kirune::Preset& p : kirune::presets()) {
    std::cout << p.button << '\t' << p.rowTitle << '\t' << p.caption << '\t' << p.kind << '\t' << p.countItem
              << '\t' << kirune::engineName(p.engine) << '\t' << (p.tiles ? 1 : 0) << '\n';
  }
}

// Qt's notes about its runtime directory under a headless run are not the user's business.
void quietHandler(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtDebugMsg || type == QtInfoMsg) return;
  if (message.startsWith(QLatin1String("QStandardPaths:"))) return;
  // A failed PNG write is reported with the file and its cause; libpng's own words add nothing.
  if (message.startsWith(QLatin1String("libpng error:"))) return;
  std::cerr << message.toStdString() << '\n';
}

int noDocuments() {
  say("文書は一つも出ませんでした（CheckBox3 が 0、SpinEdit1 が 0 "
      "以下、または段・分解する数が一つも選ばれていません）");
  return EXIT_SUCCESS;
}

// The one output of the run. A PDF file is written only when the run makes a document; a trace on
// standard output is written as it is made, into a file at the end.
std::unique_ptr<kirune::PrintRun> makeRun(const Options& options) {
  // A paper is drawn inside the margins of files made without a printer; --page is drawn to its edges.
  const QPageLayout layout = options.pageWidth == 0
                                 ? kirune::paperLayout(kirune::paperSize(options.paper))
                                 : kirune::fullPageLayout(QSize(options.pageWidth, options.pageHeight));
  const QSize page =
      options.pageWidth == 0 ? kirune::drawingArea(layout) : QSize(options.pageWidth, options.pageHeight);
  switch (options.output) {
    // File names are the argument's bytes as they are, so a name that is not UTF-8 is kept.
    case Output::Trace:
      return options.target == "-" ? kirune::traceRun(std::cout, page, "標準出力")
                                   : kirune::traceFileRun(options.target, page);
    case Output::Pdf:
      if (options.pageWidth != 0) {
        return kirune::pdfFileRun(
            options.target, page,
            options.seed ? std::optional(kirune::reproducibleCreationDate()) : std::nullopt);
      }
      return kirune::pdfFileRun(
          options.target, layout,
          options.seed ? std::optional(kirune::reproducibleCreationDate()) : std::nullopt);
    case Output::Png:
      return kirune::pngRun(options.target, page);
    case Output::Printer:
      // Each document its own job on the printer, confirmed by the spooler; without any printer, PDF
      // files in a new folder, named on standard error.
      return kirune::queueRun(options.target == "default" ? QString()
                                                          : QString::fromStdString(options.target));
  }
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  auto parsed = kirune::cli::parseArguments(std::vector<std::string>(argv + 1, argv + argc));
  if (!parsed) {
    say(parsed.error());
    return kBadArguments;
  }
  const Options options = std::move(parsed).value();
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

  // Pages of an earlier run would be mixed with this one's: refused before anything is written.
  if (options.output == Output::Png) {
    if (const auto folder = kirune::checkPngFolder(options.target); !folder) {
      say(folder.error());
      return kBadArguments;
    }
  }
  // A PDF records the local time with its offset; a seeded run records a fixed date in UTC, and its
  // bytes must not depend on where it runs.
  if (options.seed) {
    setenv("TZ", "UTC", 1);
    tzset();
  }
  kirune::removeOutputsOnSignals();

  // Qt draws the PNG pages with the installed fonts and makes the printer's page layout, which needs
  // a GUI application (a headless run needs no display for it). A PDF is Kirune's own, font included.
  std::unique_ptr<QGuiApplication> app;
  if (options.output == Output::Png || options.output == Output::Printer) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietHandler);
    static int qtArgc = 1;
    static char* qtArgv[] = {argv[0], nullptr};
    app = std::make_unique<QGuiApplication>(qtArgc, qtArgv);
    kirune::installFontSubstitutions();
  }
  if (options.output == Output::Png) {
    if (const QString notice = kirune::missingFontsNotice(false); !notice.isEmpty())
      say(notice.toStdString());
  }

  // A refused document ends the run with the message of which sheets went out (exit 1); the fallback
  // to files loses nothing, so it exits 0 and says where the files are.
  try {
    std::unique_ptr<kirune::Random> rng =
        options.seed ? std::make_unique<kirune::Random>(*options.seed) : std::make_unique<kirune::Random>();
    kirune::Session session(kirune::ImageSet::builtIn(), *rng);
    for (const kirune::ControlValue& set : options.sets) set.applyTo(session.settings);
    const std::unique_ptr<kirune::PrintRun> run = makeRun(options);
    const kirune::Settings& s = session.settings;
    run->plan(static_cast<int>(std::min<std::int64_t>(kirune::plannedDocuments(*options.preset, s), INT_MAX)),
              s.CheckBox15);
    kirune::runPreset(*options.preset, session, run->canvas());
    run->finish();
    if (run->madeNothing()) return noDocuments();
    const QString notice = run->savedNotice();
    if (!notice.isEmpty()) say(notice.toStdString());
    return EXIT_SUCCESS;
  } catch (const kirune::PrinterError& e) {
    say(e.what());
    return kWriteFailed;
  } catch (const std::exception& e) {
    say(std::string("失敗しました: ") + e.what());
    return kWriteFailed;
  }
}
