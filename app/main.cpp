#include <QApplication>
#include <QMessageBox>
#include <QPrinter>
#include <exception>

#include "app/main_window.h"
#include "app/print_run.h"
#include "app/version.h"
#include "printing/document_sinks.h"
#include "printing/fonts.h"
#include "render/image_set.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  // The application name only: a display name would make Qt append it to the window's caption.
  QApplication::setApplicationName(QString::fromUtf8(kirune::kApplicationName.data()));
  kirune::installFontSubstitutions();

  const kirune::ImageSet* images = nullptr;
  try {
    images = &kirune::ImageSet::builtIn();
  } catch (const std::exception& e) {
    QMessageBox box(QMessageBox::Critical, QString::fromUtf8(kirune::kApplicationName.data()),
                    QStringLiteral("プログラムの絵を読み込めませんでした。\nもう一度入れ直してください。"));
    box.setDetailedText(QString::fromUtf8(e.what()));
    box.exec();
    return 1;
  }

  QPrinter printer(QPrinter::HighResolution);
  kirune::preparePrinter(printer);

  kirune::TForm1 window(*images, printer, [&printer] { return kirune::printerRun(printer); });
  QApplication::setWindowIcon(window.windowIcon());
  window.showCentred();
  return QApplication::exec();
}
