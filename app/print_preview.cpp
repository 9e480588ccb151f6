#include "app/print_preview.h"

#include <QAction>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QScreen>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QWidget>
#include <algorithm>
#include <vector>

#include "app/recorded_run.h"
#include "printing/document_sinks.h"
#include "printing/qt_page_canvas.h"

namespace kirune {

namespace {

// Every document of the run as one page of the preview, drawn at the sheets' 600 dpi.
class PreviewSink final : public DocumentSink {
 public:
  explicit PreviewSink(QPrinter& printer) : printer_(printer) {}

  void beginDocument(QPainter& painter, int /*number*/, const DocumentInfo& /*info*/) override {
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

// Every document drawn into a white grey image of its own at the sheets' 600 dpi. (Drawn scaled
// down, Qt's raster painter puts some of the text under the glyphs in the wrong place.)
class ImageSink final : public DocumentSink {
 public:
  explicit ImageSink(QSize page) : page_(page) {}

  void beginDocument(QPainter& painter, int /*number*/, const DocumentInfo& /*info*/) override {
    if (painter.isActive()) painter.end();
    QImage image(page_.expandedTo(QSize(1, 1)), QImage::Format_Grayscale8);
    image.fill(Qt::white);
    image.setDotsPerMeterX(qRound(kDotsPerInch / 0.0254));
    image.setDotsPerMeterY(qRound(kDotsPerInch / 0.0254));
    images_.push_back(std::move(image));
    painter.begin(&images_.back());
  }
  void endDocument(QPainter& painter, int /*number*/) override {
    if (painter.isActive()) painter.end();
  }
  void finish(QPainter& painter) override {
    if (painter.isActive()) painter.end();
  }
  void abandon(QPainter& painter) noexcept override {
    if (painter.isActive()) painter.end();
  }
  std::vector<QImage>& images() { return images_; }

 private:
  QSize page_;
  std::vector<QImage> images_;
};

// Below this many screen pixels per inch of paper, the pages are shown as pictures made for the
// zoom: Qt scales its preview pages down without averaging, so thin strokes break up ("＝" reads as
// "－"); drawn at the sheets' 600 dpi and averaged down, every stroke stays on screen.
constexpr qreal kSmoothBelowDpi = 200;
// Each such page costs a 600-dpi drawing at every zoom: longer previews keep Qt's own drawing.
constexpr int kSmoothPagesAtMost = 6;

// Paints `run` onto the preview's printer, a page per document, as they will print.
void paintPreview(const RecordedRun& run, QPrinter& onto, qreal screenDpi) {
  if (screenDpi >= kSmoothBelowDpi || run.documents() > kSmoothPagesAtMost) {
    PreviewSink sink(onto);
    QtPageCanvas canvas(sink, run.pageWidth(), run.pageHeight());
    run.replay(canvas);
    canvas.finish();
    return;
  }
  const QSize page(run.pageWidth(), run.pageHeight());
  const QSize shown = (QSizeF(page) * (screenDpi / kDotsPerInch)).toSize().expandedTo(QSize(1, 1));
  ImageSink sink(page);
  {
    QtPageCanvas canvas(sink, page.width(), page.height());
    run.replay(canvas);
    canvas.finish();
  }
  QPainter painter(&onto);
  const qreal scale = static_cast<qreal>(onto.resolution()) / kDotsPerInch;
  const QRectF target(QPointF(0, 0), QSizeF(page) * scale);
  bool first = true;
  for (QImage& image : sink.images()) {
    if (!first) onto.newPage();
    first = false;
    painter.drawImage(target, image.scaled(shown, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    image = QImage();
  }
}

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
  auto* preview = dialog.findChild<QPrintPreviewWidget*>();
  // The pages are made for the zoom they are shown at, and made again when it changes.
  qreal paintedZoom = -1;
  QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [&](QPrinter* onto) {
    paintedZoom = preview ? preview->zoomFactor() : 1;
    const qreal dpi = preview ? paintedZoom * preview->logicalDpiX() : kSmoothBelowDpi;
    paintPreview(run, *onto, dpi);
  });
  if (preview) {
    QObject::connect(preview, &QPrintPreviewWidget::previewChanged, &dialog, [&] {
      const qreal zoom = preview->zoomFactor();
      if (paintedZoom > 0 && qAbs(zoom - paintedZoom) > 0.01 &&
          std::min(zoom, paintedZoom) * preview->logicalDpiX() < kSmoothBelowDpi) {
        paintedZoom = zoom;
        QMetaObject::invokeMethod(preview, &QPrintPreviewWidget::updatePreview, Qt::QueuedConnection);
      }
    });
  }
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
