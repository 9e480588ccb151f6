#include "app/print_preview.h"

#include <QAction>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScreen>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QWidget>
#include <algorithm>

#include "app/recorded_run.h"
#include "printing/document_sinks.h"
#include "printing/qt_page_canvas.h"

namespace kirune {

namespace {

// Every document of the run as one page of the preview, drawn at the sheets' 600 dpi.
class PreviewSink final : public DocumentSink {
 public:
  explicit PreviewSink(QPrinter& printer) : printer_(printer) {}

  void beginDocument(QPainter& painter, int /*number*/) override {
    if (painter.isActive()) {
      printer_.newPage();
    } else {
      painter.begin(&printer_);
      const qreal scale = static_cast<qreal>(printer_.resolution()) / kDotsPerInch;
      painter.scale(scale, scale);
    }
  }
  void endDocument(QPainter& /*painter*/, int /*number*/) override {}
  void finish(QPainter& painter) override {
    if (painter.isActive()) painter.end();
  }
  void abandon(QPainter& painter) noexcept override {
    if (painter.isActive()) painter.end();
  }

 private:
  QPrinter& printer_;
};

QAction* previewAction(QPrintPreviewDialog& dialog, const char* text) {
  const QString name = QCoreApplication::translate("QPrintPreviewDialog", text);
  for (QAction* action : dialog.findChildren<QAction*>()) {
    if (action->text() == name) return action;
  }
  return nullptr;
}

}  // namespace

bool confirmInPreview(const RecordedRun& run, QPrinter& printer, QWidget* parent) {
  QPrintPreviewDialog dialog(&printer, parent);
  dialog.setWindowTitle(QStringLiteral("印刷前に確認（%1ページ）").arg(run.documents()));
  QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [&run](QPrinter* onto) {
    PreviewSink sink(*onto);
    QtPageCanvas canvas(sink, run.pageWidth(), run.pageHeight());
    run.replay(canvas);
    canvas.finish();
  });
  // Its print button confirms instead of printing through Qt, and the page set-up stays with
  // "プリンタ設定": the sheets were drawn for the page they will be printed on.
  if (QAction* print = previewAction(dialog, "Print")) {
    QObject::disconnect(print, &QAction::triggered, nullptr, nullptr);
    QObject::connect(print, &QAction::triggered, &dialog, &QDialog::accept);
    // Said in words beside its icon: the one button that prints.
    print->setText(QString::fromUtf8(kPreviewPrintText));
    for (auto* toolBar : dialog.findChildren<QToolBar*>()) {
      if (auto* button = qobject_cast<QToolButton*>(toolBar->widgetForAction(print)))
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    }
  }
  if (QAction* setup = previewAction(dialog, "Page setup")) setup->setVisible(false);
  // A sheet's height fits the screen it is shown on.
  if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    const QSize size(std::min(900, area.width() * 9 / 10), std::min(1000, area.height() * 9 / 10));
    dialog.setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size, area));
  }
  return dialog.exec() == QDialog::Accepted;
}

}  // namespace kirune
