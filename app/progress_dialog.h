#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <functional>
#include <memory>
#include <utility>

#include "app/print_controller.h"

class QProgressDialog;
class QWidget;

namespace kirune {

/// The window's side of a run: once a run has taken longer than `delayMs`, a progress dialog (sheet i of
/// n, counted as 作成枚数 counts them) with a cancel button appears. Events are processed after each
/// finished document and while the spooler is being waited for, so the engine is never re-entered
/// mid-page; a cancel takes effect at the next problem sheet, or at once while the spooler is waited for.
class PrintProgressDialog final : public PrintProgress {
 public:
  /// `near` is the window the dialog is centred on.
  PrintProgressDialog(int delayMs, QWidget* near);
  ~PrintProgressDialog() override;

  /// Called as each document begins, before it is drawn: the window re-reads what the engine changed.
  void setOnDocumentBegun(std::function<void()> call) { onDocumentBegun_ = std::move(call); }

  void documentBegun(int /*number*/, int /*expected*/) override {
    if (onDocumentBegun_) onDocumentBegun_();
  }
  void documentEnded(int number, int sheetsDone, int sheets) override;
  bool cancelRequested() override { return cancelled_; }
  /// As the dialog's 中止: the run stops before the next problem sheet.
  void requestCancel();
  /// While the spooler works the dialog appears after the same delay, says so, and takes the cancel.
  bool waitingForPrinter(int number, int sheetsDone, int sheets) override;
  void outputDecided(bool savesFiles, int copies) override {
    savesFiles_ = savesFiles;
    copies_ = copies;
  }

 private:
  void showDialog(int ended, int expected);
  QString progressText(int ended, int expected) const;

  int delayMs_;
  QPointer<QWidget> near_;
  QElapsedTimer clock_;
  std::unique_ptr<QProgressDialog> dialog_;
  bool cancelled_ = false;
  bool savesFiles_ = false;
  int copies_ = 1;
  std::function<void()> onDocumentBegun_;
};

}  // namespace kirune
