#include "app/print_preview.h"

#include <QAction>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
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
#include <cstdint>
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

// Every document drawn at the sheets' 600 dpi into one white grey page that is reused, shrunk to the
// zoom as soon as it ends and put on the preview's page at once: a long run holds one full-size page
// and the preview's own pages, nothing more. (Drawn scaled down instead, Qt's raster painter puts some
// of the text under the glyphs in the wrong place.)
class ShrinkingSink final : public DocumentSink {
 public:
  ShrinkingSink(QPrinter& onto, QSize page, QSize shown)
      : onto_(onto), page_(page.expandedTo(QSize(1, 1)), QImage::Format_Grayscale8), shown_(shown) {
    const qreal scale = static_cast<qreal>(onto.resolution()) / kDotsPerInch;
    target_ = QRectF(QPointF(0, 0), QSizeF(page) * scale);
  }

  void beginDocument(QPainter& painter, int /*number*/, const DocumentInfo& /*info*/) override {
    if (painter.isActive()) painter.end();
    page_.fill(Qt::white);
    painter.begin(&page_);
  }
  void endDocument(QPainter& painter, int /*number*/) override {
    if (painter.isActive()) painter.end();
    if (preview_.isActive()) {
      onto_.newPage();
    } else {
      preview_.begin(&onto_);
    }
    preview_.drawImage(target_, shrinkPage(page_, shown_));
  }
  void finish(QPainter& painter) override {
    if (painter.isActive()) painter.end();
    if (preview_.isActive()) preview_.end();
  }
  void abandon(QPainter& painter) noexcept override {
    if (painter.isActive()) painter.end();
    if (preview_.isActive()) preview_.end();
  }

 private:
  QPrinter& onto_;
  QPainter preview_;
  QImage page_;
  QSize shown_;
  QRectF target_;
};

// Below this many screen pixels per inch of paper, the pages are shown as pictures made for the
// zoom: Qt scales its preview pages down without averaging, so thin strokes break up ("＝" reads as
// "－"); drawn at the sheets' 600 dpi and averaged down, every stroke stays on screen.
constexpr qreal kSmoothBelowDpi = 200;

// Paints `run` onto the preview's printer, a page per document, as they will print.
void paintPreview(const RecordedRun& run, QPrinter& onto, qreal screenDpi) {
  const QSize page(run.pageWidth(), run.pageHeight());
  if (screenDpi >= kSmoothBelowDpi) {
    PreviewSink sink(onto);
    QtPageCanvas canvas(sink, page.width(), page.height());
    run.replay(canvas);
    canvas.finish();
    return;
  }
  const QSize shown = (QSizeF(page) * (screenDpi / kDotsPerInch)).toSize().expandedTo(QSize(1, 1));
  ShrinkingSink sink(onto, page, shown);
  QtPageCanvas canvas(sink, page.width(), page.height());
  run.replay(canvas);
  canvas.finish();
}

QAction* previewAction(QPrintPreviewDialog& dialog, const char* text) {
  const QString name = QCoreApplication::translate("QPrintPreviewDialog", text);
  for (QAction* action : dialog.findChildren<QAction*>()) {
    if (action->text() == name) return action;
  }
  return nullptr;
}

}  // namespace

QImage shrinkPage(const QImage& page, QSize shown) {
  const QImage grey =
      page.format() == QImage::Format_Grayscale8 ? page : page.convertToFormat(QImage::Format_Grayscale8);
  shown = shown.expandedTo(QSize(1, 1));
  // Whole blocks of k x k samples averaged first (Qt's smooth scaling of a 600-dpi page takes about
  // ten times as long), then the small remainder of the ratio scaled smoothly.
  const int k = std::max(1, std::min(grey.width() / shown.width(), grey.height() / shown.height()));
  if (k == 1) return grey.scaled(shown, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  const int width = grey.width() / k;
  const int height = grey.height() / k;
  QImage averaged(width, height, QImage::Format_Grayscale8);
  std::vector<std::uint32_t> sums(static_cast<std::size_t>(width));
  const std::uint32_t area = static_cast<std::uint32_t>(k) * static_cast<std::uint32_t>(k);
  for (int y = 0; y < height; ++y) {
    std::fill(sums.begin(), sums.end(), 0U);
    for (int row = y * k; row < (y + 1) * k; ++row) {
      const uchar* in = grey.constScanLine(row);
      for (int x = 0; x < width; ++x) {
        std::uint32_t sum = 0;
        for (int i = 0; i < k; ++i) sum += in[x * k + i];
        sums[static_cast<std::size_t>(x)] += sum;
      }
    }
    uchar* out = averaged.scanLine(y);
    for (int x = 0; x < width; ++x)
      out[x] = static_cast<uchar>((sums[static_cast<std::size_t>(x)] + area / 2) / area);
  }
  return averaged.size() == shown ? averaged
                                  : averaged.scaled(shown, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

bool confirmInPreview(const RecordedRun& run, QPrinter& printer, QWidget* parent) {
  QPrintPreviewDialog dialog(&printer, parent);
  dialog.setWindowTitle(QStringLiteral("印刷前に確認（%1ページ）").arg(run.documents()));
  auto* preview = dialog.findChild<QPrintPreviewWidget*>();
  // The pages are made for the zoom they are shown at, and made again when it changes.
  qreal paintedZoom = -1;
  bool shown = false;
  QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [&](QPrinter* onto) {
    if (preview && !shown) {
      // The first request comes while the dialog is being shown, before its page has found the zoom
      // that fits: empty pages until then, so the sheets are drawn once, for that zoom.
      shown = true;
      QPainter blank(onto);
      for (int n = 1; n < run.documents(); ++n) onto->newPage();
      QMetaObject::invokeMethod(preview, &QPrintPreviewWidget::updatePreview, Qt::QueuedConnection);
      return;
    }
    paintedZoom = preview ? preview->zoomFactor() : 1;
    const qreal dpi = preview ? paintedZoom * preview->logicalDpiX() : kSmoothBelowDpi;
    // A long run takes seconds to draw: the pointer says so meanwhile.
    struct WaitCursor {
      WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
      ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
      WaitCursor(const WaitCursor&) = delete;
      WaitCursor& operator=(const WaitCursor&) = delete;
    } waiting;
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
