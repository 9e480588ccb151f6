#pragma once

#include <QList>
#include <QString>
#include <functional>

#include "printing/cups_queue.h"
#include "render/page_canvas.h"

namespace kirune {

// What the print output says to the user, in plain Japanese a teacher can act on; the spooler's own
// (English) words never show. Queue names, file names and numbers are inserted as they are.

/// Why `status` (not Ready) stops printing, or, with `document` > 0, stopped document `document`.
QString queueProblemText(const QueueStatus& status, int document = 0);

/// How the job of document `document` on `queue` ended, when it did not complete; empty for Completed.
QString jobEndText(JobEnd end, int document, const QString& queue);

/// The kind of document `number` (1-based) of a run.
using DocumentKindOf = std::function<DocumentKind(int number)>;

/// The message of a run that went wrong: `reason`, then which documents (1-based) were printed (sent to
/// the printer and completed by it, or saved `toFiles`), which the spooler left unknown, and which were
/// not printed: every other one up to `totalDocuments` (0 when not known: "from there on"), the first
/// of them named with its kind.
QString outcomeMessage(const QString& reason, const QList<int>& printed, const QList<int>& unknown,
                       int totalDocuments, const DocumentKindOf& kindOf, bool toFiles = false);

/// The title of a document, in the PDF and as its job's name in the printer's queue:
/// "くりあがり ２０ 1/3 もんだい".
QString documentTitle(const DocumentInfo& info);

/// After a run that went to files instead of paper: `sheets` problem sheets in `pages` pages (answers
/// included when `answers`), `copies` asked of the printer, the file or folder `where`; `noPrinter`
/// when there was no printer to print on.
QString savedNoticeText(int sheets, int pages, bool answers, int copies, const QString& where,
                        bool noPrinter);

/// "\n保存先: FOLDER", the line that ends a message about files.
QString savedWhereText(const QString& folder);

// The file faults of the runs without a printer.
QString folderNotMadeText(const QString& folder);
QString runFileNotMadeText(const QString& folder);
QString fileNotMadeText(const QString& path);
QString fileNotWrittenText(const QString& path);
QString pageNotFinishedText();

}  // namespace kirune
