#pragma once

#include <QImage>
#include <QSize>

class QPrinter;
class QWidget;

namespace kirune {

class RecordedRun;

/// The text of the preview's print button.
inline constexpr const char* kPreviewPrintText = "この用紙を印刷";

/// A page drawn at 600 dpi as it looks at `shown` pixels: every sample averaged in, so thin strokes
/// stay visible at any zoom instead of breaking up.
QImage shrinkPage(const QImage& page, QSize shown);

/// Shows `run` page by page in Qt's print preview on `printer`'s page, and returns true when the user
/// presses its print button. The preview itself prints nothing: the caller prints the run on its own
/// output, so the sheets go the way every click's do (one job per sheet, or files without a printer).
bool confirmInPreview(const RecordedRun& run, QPrinter& printer, QWidget* parent);

}  // namespace kirune
