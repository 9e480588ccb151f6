#pragma once

#include <atomic>
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
  Stalled,       ///< the spooler is there but did not answer within Kirune's time limit
  Lost,          ///< the connection to the spooler broke off in the middle of a request
  Cancelled,     ///< the user asked to stop while the spooler was being asked
};

/// The answer of the spooler about one queue or one job.
struct QueueStatus {
  QueueState state = QueueState::NoSpooler;
  std::string queue;   ///< the queue's name; for the default destination, the name it resolved to
  std::string detail;  ///< the spooler's own words (printer-state-message, last IPP error), may be empty
  int jobId = 0;       ///< for a submitted document: the job the spooler holds it under
  int ippStatus = 0;   ///< the IPP status of a refusal (ipp_status_t), 0 when there was none
  /// A submission that failed after the whole document was sent: the spooler may still print job jobId.
  bool maybeHeld = false;
  std::string description;  ///< the queue's description (printer-info, "職員室プリンタ"), may be empty
};

/// Kirune's own time limits on the spooler, so that a slow or stalled spooler never holds a run for long.
struct SpoolerLimits {
  int askMs = 5000;        ///< to connect, and for the answer to any question
  int documentMs = 60000;  ///< to take one document
  int followMs = 120000;   ///< for the next job of a run to reach its end
  /// The defaults; KIRUNE_SPOOLER_TIMEOUT_MS sets the ask limit and scales the others with it
  /// (document 12 times, follow 24 times), so tests can put a stalled spooler through quickly.
  static SpoolerLimits current();
};

/// Set (from any thread) when the user asks to stop; a spooler call in progress gives up within a
/// fraction of a second.
using CancelFlag = std::atomic<bool>;

/// Job options passed to the spooler ("media" = "A4", "copies" = "2").
using JobOptions = std::vector<std::pair<std::string, std::string>>;

/// What a queue prints on when a job asks for nothing else.
struct QueueDefaults {
  int paperWidth = 0;  ///< its paper in hundredths of a millimetre, as IPP gives it; 0: not said
  int paperLength = 0;
  std::optional<bool> landscape;  ///< true for landscape; empty when the queue says nothing
};

/// Asks the spooler (the one libcups is pointed at: CUPS_SERVER, client.conf or the local socket) about
/// `queue`; an empty name means the default destination. With `defaults`, what the queue prints on is
/// filled in by the same question (left as it is when the queue does not answer them).
QueueStatus checkQueue(const std::string& queue, const CancelFlag* cancel = nullptr,
                       QueueDefaults* defaults = nullptr);

/// The defaults of `queue` (empty: the default destination), asked within the ask limit; empty when
/// the spooler does not answer or has no such queue.
std::optional<QueueDefaults> queueDefaults(const std::string& queue);

/// Hands one PDF document to `queue` as a job of its own, titled `title` in the queue (none when
/// empty), and confirms that the spooler holds the job: it exists and was neither aborted nor
/// cancelled. On success the state is Ready and jobId is set. Otherwise the state says why; a job made
/// without its whole document, or whose document the spooler refused, is cancelled, and one whose
/// document was sent in full but never answered is named by jobId with maybeHeld set. Every question
/// ends within the ask limit, the hand-over within the document limit. `queueChecked`: `queue` is the
/// name of a queue found Ready a moment ago, which is then not asked about again.
QueueStatus submitPdf(const std::string& queue, std::string_view pdf, const JobOptions& options = {},
                      const std::string& title = {}, const CancelFlag* cancel = nullptr,
                      bool queueChecked = false);

/// Where a job stands.
enum class JobEnd {
  Going,                ///< waiting or printing
  Completed,            ///< the spooler finished it
  CompletedWithErrors,  ///< finished, but the spooler says it went wrong (job-completed-with-errors)
  Aborted,              ///< the spooler gave it up (a filter or the device failed)
  Canceled,             ///< cancelled, by someone or because its queue went away
  PrinterStopped,       ///< waiting in a queue that is stopped
  Gone,                 ///< the spooler no longer knows the job: its queue was deleted with it
  Unknown,              ///< the spooler did not answer
};

struct JobState {
  int jobId = 0;
  JobEnd end = JobEnd::Unknown;
};

/// One look at `jobs` within the ask limit (or `askMs` when shorter and not 0), all on one connection;
/// Unknown for those the spooler gave no answer about. No jobs: no connection, nothing asked.
std::vector<JobState> lookAtJobs(const std::vector<int>& jobs, const CancelFlag* cancel = nullptr,
                                 int askMs = 0);

/// Cancels `jobs`, as far as the spooler answers within the ask limit.
void cancelJobs(const std::vector<int>& jobs);

/// While it lives, libcups on this thread reaches no spooler, so what Qt's printer support asks CUPS
/// meanwhile (it asks about every printer whenever a QPrinter is made, with no time limit of its own)
/// fails at once instead of waiting on a spooler that may be stalled. libcups keeps its server per
/// thread: other threads, and this one afterwards, reach the spooler as before.
class NoSpoolerOnThisThread {
 public:
  NoSpoolerOnThisThread();
  ~NoSpoolerOnThisThread();
  NoSpoolerOnThisThread(const NoSpoolerOnThisThread&) = delete;
  NoSpoolerOnThisThread& operator=(const NoSpoolerOnThisThread&) = delete;

 private:
  std::string server_;
};

}  // namespace kirune
