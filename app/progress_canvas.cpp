#include "app/progress_canvas.h"

#include <QApplication>
#include <QProgressDialog>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace kirune {

ProgressCanvas::ProgressCanvas(PageCanvas& inner, int documents, int delayMs, QWidget* near)
    : inner_(inner), expected_(std::max(documents, 0)), delayMs_(delayMs), near_(near) {
  clock_.start();
}

ProgressCanvas::~ProgressCanvas() = default;

bool ProgressCanvas::dialogShown() const { return dialog_ && dialog_->isVisible(); }

void ProgressCanvas::beginDoc() {
  if (cancelled_) throw PrintCancelled();
  ++begun_;
  inner_.beginDoc();
}

void ProgressCanvas::endDoc() {
  inner_.endDoc();
  ++ended_;
  if (!dialog_ && clock_.elapsed() >= delayMs_ && ended_ < expected_) showDialog();
  if (dialog_) {
    dialog_->setValue(std::min(ended_, expected_));
    dialog_->setLabelText(QStringLiteral("印刷しています… %1 / %2 枚").arg(ended_).arg(expected_));
  }
  // The only point where the user interface gets a turn: between two documents.
  QApplication::processEvents();
}

void ProgressCanvas::showDialog() {
  // No parent: the main window is disabled for the run, and a child would be disabled with it.
  dialog_ = std::make_unique<QProgressDialog>();
  dialog_->setWindowTitle(QStringLiteral("Kirune"));
  dialog_->setCancelButtonText(QStringLiteral("中止"));
  dialog_->setRange(0, expected_);
  dialog_->setMinimumDuration(0);
  dialog_->setAutoClose(false);
  dialog_->setAutoReset(false);
  dialog_->setWindowModality(Qt::ApplicationModal);
  QObject::connect(dialog_.get(), &QProgressDialog::canceled, [this] {
    cancelled_ = true;
    dialog_->setLabelText(QStringLiteral("この用紙を印刷したら止めます…"));
  });
  dialog_->setLabelText(QStringLiteral("印刷しています… %1 / %2 枚").arg(ended_).arg(expected_));
  dialog_->adjustSize();
  if (near_) {
    const QRect area = near_->frameGeometry();
    dialog_->move(area.center() - QPoint(dialog_->width() / 2, dialog_->height() / 2));
  }
  dialog_->show();
}

}  // namespace kirune
