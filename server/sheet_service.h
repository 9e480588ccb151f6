#pragma once

#include <QByteArray>
#include <string>

#include "server/sheet_request.h"

namespace kirune::serve {

/// The documents of a checked request as one PDF in memory, in print order, made by the preset runner
/// and the output path every front end uses; with a seed, byte for byte what kirune-print --seed makes.
/// Each call has its own generator, session and canvas, so calls may run in parallel threads once the
/// Qt application exists. Throws kirune::Error.
QByteArray sheetsPdf(const SheetRequest& request);

/// What became of a print request: whether every document went to the spooler, and a short message in
/// Japanese saying which sheets went out.
struct PrintedRequest {
  bool delivered = false;
  bool noPrinter = false;  ///< the queue is not ready; nothing was done
  std::string message;
};

/// Sends the documents of a checked request to the CUPS queue `queue` (empty: the default printer),
/// each a job confirmed by the spooler, as kirune-print --printer does. A queue that is not ready is
/// reported without any work, so nothing ever lands in a folder on this machine. The spooler is asked
/// about the queue once.
PrintedRequest printRequest(const SheetRequest& request, const std::string& queue);

}  // namespace kirune::serve
