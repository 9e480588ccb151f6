#include "app/window_fonts.h"

#include <QFontMetrics>
#include <QMessageBox>
#include <QMetaObject>
#include <QWidget>
#include <algorithm>

#include "kirune/version.h"
#include "printing/fonts.h"

namespace kirune {

QFont windowFont(bool bold) {
  QFont font(QString::fromUtf8(kWindowFontFamily));
  font.setBold(bold);
  setCellHeight(font, 16);
  return font;
}

void setCellHeight(QFont& font, int cellHeight) {
  const int cell = std::max(cellHeight, 1);
  font.setPixelSize(cell);
  // Pixel size is the em; fonts whose cell is taller than the em are scaled down to fit the cell.
  const int measured = QFontMetrics(font).height();
  if (measured > cell) font.setPixelSize(std::max(1, cell * cell / measured));
}

void tellMissingFonts(QWidget& window) {
  const QString notice = missingFontsNotice(true);
  if (notice.isEmpty()) return;
  // Queued on the window itself: dropped if the window is gone by then.
  QMetaObject::invokeMethod(
      &window,
      [&window, notice] {
        QMessageBox::warning(&window, QString::fromUtf8(kApplicationName.data()), notice);
      },
      Qt::QueuedConnection);
}

}  // namespace kirune
