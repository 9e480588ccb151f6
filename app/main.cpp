#include <QApplication>
#include <QPrinter>
#include <memory>

#include "app/main_window.h"
#include "app/print_run.h"
#include "app/version.h"
#include "printing/document_sinks.h"
#include "printing/fonts.h"
#include "render/image_set.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  // The application name only: setting a display name would make Qt append it to the window's caption.
  QApplication::setApplicationName(QString::fromUtf8(kirune::kApplicationName.data()));
  kirune::installFontSubstitutions();

  const kirune::ImageSet& images = kirune::ImageSet::builtIn();
  QPrinter printer(QPrinter::HighResolution);
  kirune::preparePrinter(printer);

  kirune::TForm1 window(images, printer, [&printer] { return kirune::printerRun(printer); });
  QApplication::setWindowIcon(window.windowIcon());
  window.showCentred();
  return QApplication::exec();
}
