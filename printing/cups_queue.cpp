#include "printing/cups_queue.h"

#include <cups/cups.h>
#include <cups/ipp.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string_view>

namespace kirune {

namespace {

using Clock = std::chrono::steady_clock;

struct IppDelete {
  void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};
using Ipp = std::unique_ptr<ipp_t, IppDelete>;

// The limit of the step a connection is in. libcups asks it each time a wait on the socket has lasted
// a tenth of a second, so a stalled spooler or a cancel ends the step within that.
struct Limit {
  Clock::time_point until;
  const CancelFlag* cancel = nullptr;
  bool timedOut = false;
  bool cancelled = false;

  void start(int ms) {
    until = Clock::now() + std::chrono::milliseconds(ms);
    timedOut = false;
  }
};

int keepWaiting(http_t*, void* data) {
  auto* limit = static_cast<Limit*>(data);
  if (limit->cancel && limit->cancel->load()) {
    limit->cancelled = true;
    return 0;
  }
  if (Clock::now() >= limit->until) {
    limit->timedOut = true;
    return 0;
  }
  return 1;
}

// A connection of our own for every question: the spooler may have been restarted (or stopped)
// since the last one, and a cached connection would hide that.
class Connection {
 public:
  /// `askMs`: a shorter ask limit than the usual one, for what is done after a cancel.
  explicit Connection(const CancelFlag* cancel = nullptr, int askMs = 0) : limits_(SpoolerLimits::current()) {
    if (askMs > 0) limits_.askMs = std::min(limits_.askMs, askMs);
    limit_.cancel = cancel;
    http_ = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, limits_.askMs,
                         nullptr);
    if (!http_) {
      connectTimedOut_ = errno == ETIMEDOUT;
      return;
    }
    limit_.start(limits_.askMs);
    httpSetTimeout(http_, 0.1, keepWaiting, &limit_);
  }
  ~Connection() {
    if (http_) httpClose(http_);
  }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  explicit operator bool() const { return http_ != nullptr; }
  http_t* get() const { return http_; }
  /// Starts a question: the ask limit from now.
  void ask() { limit_.start(limits_.askMs); }
  /// Starts the hand-over of a document.
  void handOver() { limit_.start(limits_.documentMs); }
  bool cancelRequested() const { return limit_.cancel && limit_.cancel->load(); }

  /// Why the connection could not be made.
  QueueState connectFailure() const { return connectTimedOut_ ? QueueState::Stalled : QueueState::NoSpooler; }
  /// Why the last step failed, when it was the limit or a cancel.
  std::optional<QueueState> stepFailure() const {
    if (limit_.cancelled || cancelRequested()) return QueueState::Cancelled;
    if (limit_.timedOut) return QueueState::Stalled;
    return std::nullopt;
  }

 private:
  SpoolerLimits limits_;
  Limit limit_;
  http_t* http_ = nullptr;
  bool connectTimedOut_ = false;
};

std::string lastError() {
  const char* text = cupsLastErrorString();
  return text ? text : "";
}

std::string printerUri(const std::string& queue) {
  std::array<char, HTTP_MAX_URI> uri{};
  httpAssembleURIf(HTTP_URI_CODING_ALL, uri.data(), uri.size(), "ipp", nullptr, "localhost", ippPort(),
                   "/printers/%s", queue.c_str());
  return uri.data();
}

std::string jobUri(int jobId) {
  std::array<char, HTTP_MAX_URI> uri{};
  httpAssembleURIf(HTTP_URI_CODING_ALL, uri.data(), uri.size(), "ipp", nullptr, "localhost", ippPort(),
                   "/jobs/%d", jobId);
  return uri.data();
}

QueueState stateOfIppError(ipp_status_t status) {
  switch (status) {
    case IPP_STATUS_ERROR_NOT_ACCEPTING_JOBS:
      return QueueState::NotAccepting;
    case IPP_STATUS_ERROR_NOT_FOUND:
      return QueueState::NotFound;
    case IPP_STATUS_ERROR_SERVICE_UNAVAILABLE:
      return QueueState::NoSpooler;
    default:
      // A request that failed without any IPP error never got its answer: the connection broke.
      return status <= IPP_STATUS_OK_CONFLICTING ? QueueState::Lost : QueueState::Refused;
  }
}

bool failed(const Ipp& response) { return !response || cupsLastError() > IPP_STATUS_OK_CONFLICTING; }

// The state after a failed request on `connection`: the limit or a cancel, a broken connection, or the
// spooler's refusal.
QueueStatus requestFailure(const Connection& connection, const std::string& queue, bool answered) {
  if (auto why = connection.stepFailure()) return {*why, queue, {}, 0, 0, false};
  const ipp_status_t status = cupsLastError();
  if (!answered) return {QueueState::NoSpooler, queue, lastError(), 0, 0, false};
  return {stateOfIppError(status), queue, lastError(), 0, static_cast<int>(status), false};
}

// The name the default destination stands for, or empty when there is none.
std::string defaultQueue(http_t* http) {
  cups_dest_t* dest = cupsGetNamedDest(http, nullptr, nullptr);
  if (!dest) return {};
  std::string name = dest->name;
  cupsFreeDests(1, dest);
  return name;
}

bool anyQueue(http_t* http) {
  cups_dest_t* dests = nullptr;
  int count = cupsGetDests2(http, &dests);
  cupsFreeDests(count, dests);
  return count > 0;
}

QueueStatus checkOn(Connection& connection, const std::string& requested) {
  connection.ask();
  QueueStatus status;
  status.queue = requested.empty() ? defaultQueue(connection.get()) : requested;
  if (auto why = connection.stepFailure()) return {*why, requested, {}, 0, 0, false};
  if (status.queue.empty()) {
    const bool any = anyQueue(connection.get());
    if (auto why = connection.stepFailure()) return {*why, requested, {}, 0, 0, false};
    status.state = QueueState::NoPrinter;
    status.detail = any ? "no default destination" : "no print queue";
    return status;
  }

  Ipp request(ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES));
  ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
               printerUri(status.queue).c_str());
  static const char* const wanted[] = {"printer-is-accepting-jobs", "printer-state", "printer-state-message"};
  ippAddStrings(request.get(), IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                static_cast<int>(std::size(wanted)), nullptr, wanted);
  // cupsDoRequest frees the request.
  Ipp response(cupsDoRequest(connection.get(), request.release(), "/"));
  if (failed(response)) return requestFailure(connection, status.queue, response != nullptr);

  if (ipp_attribute_t* message = ippFindAttribute(response.get(), "printer-state-message", IPP_TAG_TEXT)) {
    if (const char* text = ippGetString(message, 0, nullptr)) status.detail = text;
  }
  ipp_attribute_t* accepting = ippFindAttribute(response.get(), "printer-is-accepting-jobs", IPP_TAG_BOOLEAN);
  ipp_attribute_t* state = ippFindAttribute(response.get(), "printer-state", IPP_TAG_ENUM);
  if (accepting && !ippGetBoolean(accepting, 0)) {
    status.state = QueueState::NotAccepting;
  } else if (state && ippGetInteger(state, 0) == IPP_PSTATE_STOPPED) {
    status.state = QueueState::Stopped;
  } else {
    status.state = QueueState::Ready;
  }
  return status;
}

// Creates a job on `queue` with one IPP request. cupsCreateJob would first fetch the queue's whole
// description (every media size and option of its driver) to build the same request: on a local
// spooler that was most of a document's hand-over time.
int createJob(http_t* http, const std::string& queue, const std::string& title, int optionCount,
              cups_option_t* options) {
  Ipp request(ippNewRequest(IPP_OP_CREATE_JOB));
  ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
               printerUri(queue).c_str());
  ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
  if (!title.empty()) {
    ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_NAME, "job-name", nullptr, title.c_str());
  }
  cupsEncodeOptions2(request.get(), optionCount, options, IPP_TAG_OPERATION);
  cupsEncodeOptions2(request.get(), optionCount, options, IPP_TAG_JOB);
  Ipp response(cupsDoRequest(http, request.release(), "/"));
  if (failed(response)) return 0;
  ipp_attribute_t* id = ippFindAttribute(response.get(), "job-id", IPP_TAG_INTEGER);
  return id ? ippGetInteger(id, 0) : 0;
}

// Why a step of a submission failed: the limit or a cancel; otherwise a fresh look at the queue names
// the cause when it is the queue or the spooler, and the spooler's error for the step stands.
QueueStatus failure(const Connection& connection, const std::string& queue) {
  if (auto why = connection.stepFailure()) return {*why, queue, {}, 0, 0, false};
  const ipp_status_t status = cupsLastError();
  const std::string detail = lastError();
  QueueStatus now = checkQueue(queue);
  if (now.state != QueueState::Ready) return now;
  return {stateOfIppError(status), queue, detail, 0, static_cast<int>(status), false};
}

JobEnd endOf(ipp_t* response) {
  ipp_attribute_t* state = ippFindAttribute(response, "job-state", IPP_TAG_ENUM);
  if (!state) return JobEnd::Unknown;
  bool withErrors = false;
  bool printerStopped = false;
  if (ipp_attribute_t* reasons = ippFindAttribute(response, "job-state-reasons", IPP_TAG_KEYWORD)) {
    for (int i = 0; i < ippGetCount(reasons); ++i) {
      const std::string_view reason = ippGetString(reasons, i, nullptr);
      withErrors = withErrors || reason == "job-completed-with-errors";
      printerStopped = printerStopped || reason == "printer-stopped";
    }
  }
  switch (ippGetInteger(state, 0)) {
    case IPP_JSTATE_COMPLETED:
      return withErrors ? JobEnd::CompletedWithErrors : JobEnd::Completed;
    case IPP_JSTATE_ABORTED:
      return JobEnd::Aborted;
    case IPP_JSTATE_CANCELED:
      return JobEnd::Canceled;
    case IPP_JSTATE_STOPPED:
      return JobEnd::PrinterStopped;
    default:
      return printerStopped ? JobEnd::PrinterStopped : JobEnd::Going;
  }
}

// Where job `jobId` stands, on a connection whose step is already started.
JobEnd lookAtJob(Connection& connection, int jobId) {
  Ipp request(ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES));
  // By the job's own address: a job whose queue was deleted is still found.
  ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, jobUri(jobId).c_str());
  static const char* const wanted[] = {"job-state", "job-state-reasons"};
  ippAddStrings(request.get(), IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                static_cast<int>(std::size(wanted)), nullptr, wanted);
  Ipp response(cupsDoRequest(connection.get(), request.release(), "/"));
  if (response && cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND) return JobEnd::Gone;
  if (failed(response)) return JobEnd::Unknown;
  return endOf(response.get());
}

void cancelOn(Connection& connection, int jobId) {
  Ipp request(ippNewRequest(IPP_OP_CANCEL_JOB));
  ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, jobUri(jobId).c_str());
  ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
  Ipp response(cupsDoRequest(connection.get(), request.release(), "/"));
}

}  // namespace

SpoolerLimits SpoolerLimits::current() {
  SpoolerLimits limits;
  if (const char* text = std::getenv("KIRUNE_SPOOLER_TIMEOUT_MS")) {
    char* end = nullptr;
    const long ms = std::strtol(text, &end, 10);
    if (end != text && *end == '\0' && ms > 0 && ms <= 600000) {
      limits.askMs = static_cast<int>(ms);
      limits.documentMs = limits.askMs * 12;
      limits.followMs = limits.askMs * 24;
    }
  }
  return limits;
}

std::optional<bool> defaultLandscape(const std::string& queue) {
  if (queue.empty()) return std::nullopt;
  Connection connection;
  if (!connection) return std::nullopt;
  Ipp request(ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES));
  ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
               printerUri(queue).c_str());
  ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr,
               "orientation-requested-default");
  Ipp response(cupsDoRequest(connection.get(), request.release(), "/"));
  if (failed(response)) return std::nullopt;
  ipp_attribute_t* orientation =
      ippFindAttribute(response.get(), "orientation-requested-default", IPP_TAG_ENUM);
  if (!orientation) return std::nullopt;
  switch (ippGetInteger(orientation, 0)) {
    case IPP_ORIENT_PORTRAIT:
    case IPP_ORIENT_REVERSE_PORTRAIT:
      return false;
    case IPP_ORIENT_LANDSCAPE:
    case IPP_ORIENT_REVERSE_LANDSCAPE:
      return true;
    default:
      return std::nullopt;
  }
}

QueueStatus checkQueue(const std::string& queue, const CancelFlag* cancel) {
  Connection connection(cancel);
  if (!connection) return {connection.connectFailure(), queue, lastError(), 0, 0, false};
  return checkOn(connection, queue);
}

QueueStatus submitPdf(const std::string& queue, std::string_view pdf, const JobOptions& options,
                      const std::string& title, const CancelFlag* cancel) {
  Connection connection(cancel);
  if (!connection) return {connection.connectFailure(), queue, lastError(), 0, 0, false};
  QueueStatus before = checkOn(connection, queue);
  if (before.state != QueueState::Ready) return before;
  const std::string& name = before.queue;

  int optionCount = 0;
  cups_option_t* cupsOptions = nullptr;
  for (const auto& [key, value] : options) {
    optionCount = cupsAddOption(key.c_str(), value.c_str(), optionCount, &cupsOptions);
  }
  connection.ask();
  const int jobId = createJob(connection.get(), name, title, optionCount, cupsOptions);
  cupsFreeOptions(optionCount, cupsOptions);
  if (jobId <= 0) return failure(connection, name);

  // A job without its whole document is of no use to anyone: it goes.
  auto abandon = [&] {
    QueueStatus why = failure(connection, name);
    cancelJobs({jobId});
    why.jobId = jobId;
    return why;
  };

  connection.handOver();
  if (cupsStartDocument(connection.get(), name.c_str(), jobId, title.empty() ? nullptr : title.c_str(),
                        CUPS_FORMAT_PDF, 1) != HTTP_STATUS_CONTINUE) {
    return abandon();
  }
  constexpr std::size_t chunk = 64 * 1024;
  for (std::size_t offset = 0; offset < pdf.size(); offset += chunk) {
    const std::size_t length = std::min(chunk, pdf.size() - offset);
    if (connection.cancelRequested() ||
        cupsWriteRequestData(connection.get(), pdf.data() + offset, length) != HTTP_STATUS_CONTINUE) {
      return abandon();
    }
  }
  // From here the spooler has the whole document: without its answer, the job may still print.
  auto unconfirmed = [&] {
    QueueStatus why = failure(connection, name);
    why.jobId = jobId;
    why.maybeHeld = true;
    return why;
  };
  if (cupsFinishDocument(connection.get(), name.c_str()) > IPP_STATUS_OK_CONFLICTING) return unconfirmed();

  connection.ask();
  switch (lookAtJob(connection, jobId)) {
    case JobEnd::Unknown:
    case JobEnd::Gone:
      return unconfirmed();
    case JobEnd::Aborted:
      return {QueueState::Refused, name, "job aborted", jobId, 0, false};
    case JobEnd::Canceled:
      return {QueueState::Refused, name, "job canceled", jobId, 0, false};
    default:
      return {QueueState::Ready, name, {}, jobId, 0, false};
  }
}

std::vector<JobState> lookAtJobs(const std::vector<int>& jobs, const CancelFlag* cancel, int askMs) {
  std::vector<JobState> states;
  Connection connection(cancel, askMs);
  // One limit for the whole look: a stalled spooler costs it once, not once per job.
  for (int id : jobs) {
    // A spooler that did not answer about one job is not asked about the next.
    const bool answering = connection && !connection.stepFailure();
    states.push_back({id, answering ? lookAtJob(connection, id) : JobEnd::Unknown});
  }
  return states;
}

void cancelJobs(const std::vector<int>& jobs) {
  if (jobs.empty()) return;
  // Cancelling follows a failure or the user's cancel: it must not keep them waiting long.
  Connection connection(nullptr, 2000);
  if (!connection) return;
  for (int id : jobs) {
    if (connection.stepFailure()) break;
    cancelOn(connection, id);
  }
}

}  // namespace kirune
