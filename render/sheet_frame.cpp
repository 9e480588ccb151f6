#include "render/sheet_frame.h"

#include <algorithm>

#include "render/clip_art.h"

namespace kirune {

namespace {

// A problem document draws a new clip-art; its answer document repeats the one in `cut`.
void drawHeading(Session& session, PageCanvas& canvas, const PageMetrics& metrics,
                 const SheetHeading& heading, bool newClipArt) {
  const Settings& settings = session.settings;
  const auto clipArt = [&] {
    if (!settings.CheckBox2) return;
    if (newClipArt) print03Click(session);
    drawClipArt(session, canvas, metrics, heading.clipArtTop);
  };
  const auto name = [&] {
    if (settings.CheckBox1) drawNameHeader(session, canvas, metrics, heading.headerTop);
  };
  if (heading.nameFirst) {
    name();
    clipArt();
  } else {
    clipArt();
    name();
  }
}

}  // namespace

SheetLayout gridSheetLayout(const PageMetrics& metrics, bool nameFirstOnProblems) {
  SheetLayout layout;
  layout.metrics = metrics;
  layout.answers = {metrics.glyphWidth + metrics.glyphHeight, metrics.rowPitch + metrics.glyphHeight, false};
  layout.problems = layout.answers;
  layout.problems.nameFirst = nameFirstOnProblems;
  return layout;
}

void printSheets(const SheetEngine& engine, Session& session, PageCanvas& canvas) {
  Settings& settings = session.settings;
  if (!settings.CheckBox3) return;

  print03Click(session);
  settings.Label6 = true;
  settings.Label7 = false;
  session.pageHeight = canvas.pageHeight();
  session.pageWidth = canvas.pageWidth();

  const int item = settings.mondaisuu();
  const SheetLayout layout = engine.layout(settings, session.pageHeight);
  const PageMetrics& metrics = layout.metrics;

  const int sheets = settings.SpinEdit1;
  for (int sheet = 0; sheet < sheets; ++sheet) {
    DocumentInfo info{DocumentKind::Problems, sheet + 1, sheets, session.title};
    canvas.beginDoc(info);
    if (layout.problemFontHeight) canvas.setFontHeight(*layout.problemFontHeight);
    if (layout.problemPenWidth) canvas.setPenWidth(*layout.problemPenWidth);
    drawHeading(session, canvas, metrics, layout.problems, true);

    startSheet(settings, session.pool, session.rng);
    const int n = settings.SpinEdit3();
    for (int k = 0; k < n; ++k) {
      const ProblemRecord* dealt = dealNext(session.pool, session.rng, k + 1);
      if (dealt == nullptr) break;  // an empty pool deals nothing
      const ProblemRecord record = *dealt;
      if (engine.keepForAnswers != nullptr) {
        session.pool.sheetProblems[static_cast<std::size_t>(k + 1)] = engine.keepForAnswers(record);
      }
      const CellOrigin o = engine.problemOrigin(metrics, session.pageWidth, item, k);
      engine.drawProblem(session, canvas, metrics, record, o.x, o.y);
    }

    if (settings.CheckBox16) drawTimeField(session, canvas, metrics);
    canvas.endDoc();

    if (settings.CheckBox15) {
      info.kind = DocumentKind::Answers;
      canvas.beginDoc(info);
      drawHeading(session, canvas, metrics, layout.answers, false);
      const int answers = std::max(0, std::min(settings.SpinEdit3(), session.pool.dealtCount));
      const std::span<const ProblemRecord> records(session.pool.sheetProblems.data() + 1,
                                                   static_cast<std::size_t>(answers));
      const PageMetrics cellMetrics = engine.answerCellMetrics != nullptr
                                          ? engine.answerCellMetrics(metrics, session.pageWidth, records)
                                          : metrics;
      for (int k = 0; k < answers; ++k) {
        const CellOrigin o = engine.answerOrigin(metrics, session.pageWidth, item, k);
        engine.drawAnswer(session, canvas, cellMetrics, records[static_cast<std::size_t>(k)], o.x, o.y);
      }
      canvas.endDoc();
    }
  }

  settings.Label7 = false;
  settings.Label6 = false;
}

}  // namespace kirune
