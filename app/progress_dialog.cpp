#include "app/progress_dialog.h"

#include <QApplication>
#include <QProgressDialog>
#include <QWidget>
#include <algorithm>

namespace kirune {

PrintProgressDialog::PrintProgressDialog(int delayMs, QWidget* near) : delayMs_(delayMs), near_(near) {
  clock_.start();
}

PrintProgressDialog::~PrintProgressDialog() = default;

QString PrintProgressDialog::progressText(int ended, int expected) const {
  // Counted as 作成枚数 counts; the copies the printer makes of each are said beside it.
  if (savesFiles_) return QStringLiteral("保存しています… %1 / %2 枚").arg(ended).arg(expected);
  QString text = QStringLiteral("印刷しています… %1 / %2 枚").arg(ended).arg(expected);
  if (copies_ > 1) text += QStringLiteral("（各%1部）").arg(copies_);
  return text;
}

void PrintProgressDialog::documentEnded(int /*number*/, int sheetsDone, int sheets) {
  sheets = std::max(sheets, 0);
  if (!dialog_ && clock_.elapsed() >= delayMs_ && sheetsDone < sheets) showDialog(sheetsDone, sheets);
  if (dialog_ && !cancelled_) {
    dialog_->setValue(std::min(sheetsDone, sheets));
    dialog_->setLabelText(progressText(sheetsDone, sheets));
  }
  // The only point where the user interface gets a turn: between two documents.
  QApplication::processEvents();
}

bool PrintProgressDialog::waitingForPrinter(int number, int sheetsDone, int sheets) {
  sheets = std::max(sheets, 0);
  if (!dialog_ && clock_.elapsed() >= delayMs_) showDialog(sheetsDone, sheets);
  if (dialog_ && !cancelled_) {
    dialog_->setValue(std::clamp(sheetsDone, 0, sheets));
    dialog_->setLabelText(
        number > 0 ? QStringLiteral("プリンタの返事を待っています（%1枚目）… %2 / %3 枚")
                         .arg(number)
                         .arg(sheetsDone)
                         .arg(sheets)
                   : QStringLiteral("プリンタの返事を待っています… %1 / %2 枚").arg(sheetsDone).arg(sheets));
  }
  QApplication::processEvents(QEventLoop::AllEvents, 20);
  return cancelled_;
}

void PrintProgressDialog::requestCancel() {
  if (dialog_ && !cancelled_) dialog_->cancel();
  cancelled_ = true;
}

void PrintProgressDialog::showDialog(int ended, int expected) {
  // No parent: the main window is disabled for the run, and a child would be disabled with it.
  dialog_ = std::make_unique<QProgressDialog>();
  dialog_->setWindowTitle(savesFiles_ ? QStringLiteral("Kirune 保存中") : QStringLiteral("Kirune 印刷中"));
  dialog_->setCancelButtonText(QStringLiteral("中止"));
  dialog_->setRange(0, expected);
  dialog_->setMinimumDuration(0);
  dialog_->setAutoClose(false);
  dialog_->setAutoReset(false);
  // Not modal: the main window is disabled for the run anyway, and its close box must still reach it,
  // so that closing asks whether to stop.
  QObject::connect(dialog_.get(), &QProgressDialog::canceled, [this] {
    cancelled_ = true;
    dialog_->setLabelText(savesFiles_ ? QStringLiteral("この用紙（答えの用紙も）を保存したら止めます…")
                                      : QStringLiteral("この用紙（答えの用紙も）を印刷したら止めます…"));
  });
  dialog_->setLabelText(progressText(ended, expected));
  dialog_->adjustSize();
  if (near_) {
    const QRect area = near_->frameGeometry();
    dialog_->move(area.center() - QPoint(dialog_->width() / 2, dialog_->height() / 2));
  }
  dialog_->show();
}

}  // namespace kirune
