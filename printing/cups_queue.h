#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kirune {

/// What the spooler (CUPS) says about a print queue, in the order a document would meet the problem.
enum class QueueState {
  Ready,         ///< exists, accepts jobs, not stopped
  NoSpooler,     ///< no spooler answers at all
  NoPrinter,     ///< the spooler runs but has no queue to use: none at all, or no default destination
  NotFound,      ///< the queue asked for by name does not exist
  NotAccepting,  ///< the queue rejects jobs (cupsreject)
  Stopped,       ///< the queue holds jobs but does not print them (cupsdisable, or a failed device)
  Refused,       ///< the spooler turned the document down for another reason
};

/// The answer of the spooler about one queue or one job.
struct QueueStatus {
  QueueState state = QueueState::NoSpooler;
  std::string queue;   ///< the queue's name; for the default destination, the name it resolved to
  std::string detail;  ///< the spooler's own words (printer-state-message, last IPP error), may be empty
  int jobId = 0;       ///< for a submitted document: the job the spooler holds it under
};

/// Job options passed to the spooler ("media" = "A4", "copies" = "2").
using JobOptions = std::vector<std::pair<std::string, std::string>>;

/// Asks the spooler (the one libcups is pointed at: CUPS_SERVER, client.conf or the local socket) about
/// `queue`; an empty name means the default destination.
QueueStatus checkQueue(const std::string& queue);

/// The orientation `queue` prints in when a job asks for none: true for landscape; empty when the
/// spooler or the queue says nothing.
std::optional<bool> defaultLandscape(const std::string& queue);

/// Hands one PDF document to `queue` as a job of its own, titled `title` in the queue (none when
/// empty), and confirms that the spooler
/// holds the job: it exists and was neither aborted nor cancelled. On success the state is Ready and
/// jobId is set; otherwise the state says why, and no job of this document stays behind in the queue.
QueueStatus submitPdf(const std::string& queue, std::string_view pdf, const JobOptions& options = {},
                      const std::string& title = {});

}  // namespace kirune
