#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <exception>
#include <memory>

#include "render/page_canvas.h"

class QProgressDialog;
class QWidget;

namespace kirune {

/// Thrown by `ProgressCanvas::beginDoc` once the user has asked to stop; never mid-document.
class PrintCancelled : public std::exception {
 public:
  const char* what() const noexcept override { return "print cancelled"; }
};

/// Passes every operation through to `inner` and keeps the user informed on long runs: once a run has
/// taken longer than `delayMs`, a progress dialog (sheet i of n) with a cancel button appears. Events are
/// processed after each finished document only, so the engine is never re-entered mid-page. A cancel takes
/// effect at the next `beginDoc`, so no document is ever left half sent.
class ProgressCanvas : public PageCanvas {
 public:
  /// `documents` is the number the run is expected to hand over; `near` is the window the dialog is
  /// centred on.
  ProgressCanvas(PageCanvas& inner, int documents, int delayMs, QWidget* near);
  ~ProgressCanvas() override;

  int documentsBegun() const { return begun_; }
  int documentsEnded() const { return ended_; }
  int documentsExpected() const { return expected_; }
  bool dialogShown() const;

  int pageHeight() const override { return inner_.pageHeight(); }
  int pageWidth() const override { return inner_.pageWidth(); }
  void beginDoc() override;
  void endDoc() override;
  void stretchDraw(const Rect& rect, const Picture& picture) override { inner_.stretchDraw(rect, picture); }
  void setPenWidth(int width) override { inner_.setPenWidth(width); }
  void moveTo(int x, int y) override { inner_.moveTo(x, y); }
  void lineTo(int x, int y) override { inner_.lineTo(x, y); }
  void setFontName(const std::string& name) override { inner_.setFontName(name); }
  void setFontHeight(int height) override { inner_.setFontHeight(height); }
  void textOut(int x, int y, const std::string& text) override { inner_.textOut(x, y, text); }

 private:
  void showDialog();

  PageCanvas& inner_;
  int expected_;
  int delayMs_;
  QPointer<QWidget> near_;
  QElapsedTimer clock_;
  std::unique_ptr<QProgressDialog> dialog_;
  bool cancelled_ = false;
  int begun_ = 0;
  int ended_ = 0;
};

}  // namespace kirune
