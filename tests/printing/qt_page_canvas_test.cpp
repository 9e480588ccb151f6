#include "printing/qt_page_canvas.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDateTime>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTimeZone>
#include <vector>

#include "printing/document_sinks.h"

namespace kirune {
namespace {

class QtPageCanvasTest : public ::testing::Test {
 protected:
  static Picture solid(std::uint8_t grey) {
    Picture p;
    p.name = "test.solid";
    p.width = 10;
    p.height = 10;
    p.channels = 1;
    p.pixels.assign(100, grey);
    return p;
  }

  // Draws on raster pages and keeps them.
  std::vector<QImage> pages;
  RasterSink raster{QSize(400, 300), [this](const QImage& page, int) { pages.push_back(page); }};
};

bool isBlack(const QImage& image, int x, int y) { return qGray(image.pixel(x, y)) < 64; }
bool isWhite(const QImage& image, int x, int y) { return qGray(image.pixel(x, y)) > 192; }

TEST_F(QtPageCanvasTest, PictureFillsItsRectangleExactlyAndTextCellIsOpaque) {
  const Picture black = solid(0);
  QtPageCanvas canvas(raster, 400, 300);
  canvas.beginDoc({});
  canvas.stretchDraw({50, 60, 150, 110}, black);
  canvas.setFontName("HGP教科書体");
  canvas.setFontHeight(30);
  canvas.textOut(60, 70, "1");
  canvas.endDoc();
  canvas.finish();
  ASSERT_EQ(pages.size(), 1u);
  const QImage& page = pages[0];
  EXPECT_TRUE(isBlack(page, 50, 60));
  EXPECT_TRUE(isBlack(page, 149, 109));
  EXPECT_TRUE(isWhite(page, 49, 60));
  EXPECT_TRUE(isWhite(page, 150, 60));
  EXPECT_TRUE(isWhite(page, 50, 110));
  // The text's cell is white over the picture, from its top-left corner about 30 pixels down.
  EXPECT_TRUE(isWhite(page, 60, 70));
  EXPECT_TRUE(isWhite(page, 60, 96));
  EXPECT_TRUE(isBlack(page, 60, 103));
  EXPECT_TRUE(isBlack(page, 58, 75));
}

TEST_F(QtPageCanvasTest, PenWidthHoldsAcrossDocumentsAndEachDocumentIsAFreshWhitePage) {
  QtPageCanvas canvas(raster, 400, 300);
  canvas.beginDoc({});
  canvas.setPenWidth(6);
  canvas.moveTo(20, 20);
  canvas.lineTo(20, 100);
  canvas.endDoc();
  canvas.beginDoc({});
  canvas.moveTo(200, 50);
  canvas.lineTo(200, 150);
  canvas.endDoc();
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_TRUE(isWhite(pages[1], 20, 60));
  for (int x : {198, 201}) EXPECT_TRUE(isBlack(pages[1], x, 100)) << x;
  for (int x : {195, 205}) EXPECT_TRUE(isWhite(pages[1], x, 100)) << x;
}

// Texts and pictures are painted in batches; whatever the batching, what comes later covers what came
// earlier wherever the two overlap, and shapes that do not overlap all appear.
TEST_F(QtPageCanvasTest, LaterOperationsCoverEarlierOnesWhereTheyOverlap) {
  const Picture black = solid(0);
  QtPageCanvas canvas(raster, 400, 300);
  canvas.setFontName("HGP教科書体");
  canvas.setFontHeight(30);
  canvas.beginDoc({});
  canvas.textOut(10, 10, "1");  // covered by the picture after it
  canvas.stretchDraw({10, 10, 60, 60}, black);
  canvas.stretchDraw({100, 10, 150, 60}, black);  // the cell of the text after it lies on top
  canvas.textOut(110, 20, "2");
  canvas.textOut(200, 10, "3");  // crossed by a line after it
  canvas.setPenWidth(4);
  canvas.moveTo(190, 25);
  canvas.lineTo(260, 25);
  canvas.moveTo(0, 250);  // under the cell of the text after it
  canvas.lineTo(200, 250);
  canvas.textOut(100, 230, "5");
  canvas.textOut(300, 200, "4");  // overlaps nothing
  canvas.stretchDraw({300, 100, 350, 150}, black);
  canvas.endDoc();
  canvas.finish();
  ASSERT_EQ(pages.size(), 1u);
  const QImage& page = pages[0];
  EXPECT_TRUE(isBlack(page, 11, 11));    // picture over the first text's cell
  EXPECT_TRUE(isBlack(page, 105, 15));   // picture outside the second cell
  EXPECT_TRUE(isWhite(page, 111, 21));   // second cell over the picture
  EXPECT_TRUE(isBlack(page, 201, 25));   // line over the third cell
  EXPECT_TRUE(isWhite(page, 201, 12));   // third cell beside the line
  EXPECT_TRUE(isBlack(page, 90, 250));   // line beside the fifth cell
  EXPECT_TRUE(isWhite(page, 101, 250));  // fifth cell over the line
  EXPECT_TRUE(isBlack(page, 325, 125));
  // The last text was drawn: its glyph puts some ink into its cell.
  int ink = 0;
  for (int y = 200; y < 235; ++y)
    for (int x = 300; x < 325; ++x) ink += isBlack(page, x, y) ? 1 : 0;
  EXPECT_GT(ink, 10);
}

}  // namespace
}  // namespace kirune
