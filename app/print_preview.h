#pragma once

class QPrinter;
class QWidget;

namespace kirune {

class RecordedRun;

/// The text of the preview's print button.
inline constexpr const char* kPreviewPrintText = "この用紙を印刷";

/// Shows `run` page by page in Qt's print preview on `printer`'s page, and returns true when the user
/// presses its print button. The preview itself prints nothing: the caller prints the run on its own
/// output, so the sheets go the way every click's do (one job per sheet, or files without a printer).
bool confirmInPreview(const RecordedRun& run, QPrinter& printer, QWidget* parent);

}  // namespace kirune
