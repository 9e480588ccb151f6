#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <memory>

#include "app/print_controller.h"

class QProgressDialog;
class QWidget;

namespace kirune {

/// The window's side of a run: once a run has taken longer than `delayMs`, a progress dialog (sheet i of
/// n) with a cancel button appears. Events are processed after each finished document only, so the engine
/// is never re-entered mid-page; a cancel takes effect at the next document.
class PrintProgressDialog final : public PrintProgress {
 public:
  /// `near` is the window the dialog is centred on.
  PrintProgressDialog(int delayMs, QWidget* near);
  ~PrintProgressDialog() override;

  void documentBegun(int /*number*/, int /*expected*/) override {}
  void documentEnded(int number, int expected) override;
  bool cancelRequested() override { return cancelled_; }

 private:
  void showDialog(int ended, int expected);

  int delayMs_;
  QPointer<QWidget> near_;
  QElapsedTimer clock_;
  std::unique_ptr<QProgressDialog> dialog_;
  bool cancelled_ = false;
};

}  // namespace kirune
