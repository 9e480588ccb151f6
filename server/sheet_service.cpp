#include "server/sheet_service.h"

#include <QBuffer>
#include <memory>

#include "printing/cups_queue.h"
#include "printing/document_sinks.h"
#include "printing/print_messages.h"
#include "printing/print_run.h"
#include "problems/random.h"
#include "render/errors.h"
#include "render/image_set.h"
#include "render/session.h"

namespace kirune::serve {
namespace {

void runRequest(const SheetRequest& request, PrintRun& run) {
  std::unique_ptr<Random> rng =
      request.seed ? std::make_unique<Random>(*request.seed) : std::make_unique<Random>();
  Session session(ImageSet::builtIn(), *rng);
  session.settings = request.settings;
  run.plan(request.documents, session.settings.CheckBox15);
  runPreset(*request.preset, session, run.canvas());
  run.finish();
}

std::string sheetWords(const SheetRequest& r) {
  const int sheets = r.settings.SpinEdit1;
  return std::to_string(sheets) + " 枚" +
         (r.settings.CheckBox15 ? "（答え " + std::to_string(sheets) + " 枚つき）" : "");
}

}  // namespace

QByteArray sheetsPdf(const SheetRequest& request) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  const std::unique_ptr<PrintRun> run =
      // A4 inside the margins of files made without a printer, as kirune-print draws without --page.
      pdfRun(buffer, paperLayout(paperSize("A4")),
             request.seed ? std::optional(reproducibleCreationDate()) : std::nullopt);
  runRequest(request, *run);
  buffer.close();
  return bytes;
}

PrintedRequest printRequest(const SheetRequest& request, const std::string& queue) {
  QueueStatus status;
  const std::unique_ptr<PrintRun> run = queueRun(QString::fromStdString(queue), &status);
  if (status.state != QueueState::Ready) {
    // Why, as the window says it: the spooler's own words are English and mean little to a teacher.
    return {false, true,
            "プリンタ " + (queue.empty() ? std::string("(既定)") : queue) +
                " は使えません: " + queueProblemText(status).toStdString()};
  }
  try {
    runRequest(request, *run);
  } catch (const PrinterError& e) {
    return {false, false, e.what()};
  }
  return {true, false,
          "プリンタ " + status.queue + " に " + sheetWords(request) + "を送りました（" +
              std::string(request.preset->rowTitle) + " " + std::string(request.preset->caption) + "）"};
}

}  // namespace kirune::serve
