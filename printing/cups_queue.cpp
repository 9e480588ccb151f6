#include "printing/cups_queue.h"

#include <cups/cups.h>
#include <cups/ipp.h>
#include <strings.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "problems/parse_integer.h"

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
    // Made first and connected after, so that the limit also holds for the connection itself: the
    // handshake of an encrypted one waits on the socket as an answer does.
    http_ = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, 0, nullptr);
    if (!http_) return;
    limit_.start(limits_.askMs);
    httpSetTimeout(http_, 0.1, keepWaiting, &limit_);
    if (httpReconnect2(http_, limits_.askMs, nullptr) != 0) {
      connectTimedOut_ = limit_.timedOut || errno == ETIMEDOUT || httpError(http_) == ETIMEDOUT;
      httpClose(http_);
      http_ = nullptr;
    }
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
  int askMs() const { return limits_.askMs; }

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

// The spooler's answer to one question.
struct Answer {
  Ipp response;           // null without a response
  bool answered = false;  // the spooler answered, if only with an HTTP error
  // The answer's status; for an HTTP error, the IPP status libcups gives it.
  ipp_status_t status = IPP_STATUS_OK;
  std::string words;  // the spooler's own words for it

  bool ok() const { return response && status <= IPP_STATUS_OK_CONFLICTING; }
};

// Asks `request` on `connection` within the limit of its step. cupsDoRequest first waits a whole second
// for a "100 Continue" that a stalled spooler never sends, outside any limit, so every question to
// such a spooler would take at least that long: a question needs no such go-ahead and goes without.
// A spooler that wants the client to authenticate or encrypt gets it once more through cupsDoRequest,
// which knows how; it is answering by then.
Answer exchange(Connection& connection, Ipp request) {
  http_t* http = connection.get();
  Answer answer;
  // The spooler closes the connection after some answers.
  const char* previous = httpGetField(http, HTTP_FIELD_CONNECTION);
  if (previous && strcasecmp(previous, "close") == 0 &&
      httpReconnect2(http, connection.askMs(), nullptr) != 0)
    return answer;
  httpClearFields(http);
  httpSetField(http, HTTP_FIELD_CONTENT_TYPE, "application/ipp");
  if (const char* auth = httpGetAuthString(http)) httpSetField(http, HTTP_FIELD_AUTHORIZATION, auth);
  httpSetLength(http, ippLength(request.get()));
  if (httpPost(http, "/") != 0) return answer;
  ippSetState(request.get(), IPP_STATE_IDLE);
  ipp_state_t state = IPP_STATE_IDLE;
  while (state != IPP_STATE_DATA && state != IPP_STATE_ERROR) state = ippWrite(http, request.get());
  if (state == IPP_STATE_ERROR) return answer;
  answer.response.reset(cupsGetResponse(http, "/"));
  const http_status_t status = httpGetStatus(http);
  if ((status == HTTP_STATUS_UNAUTHORIZED || status == HTTP_STATUS_UPGRADE_REQUIRED) &&
      !connection.stepFailure()) {
    answer.response.reset(cupsDoRequest(http, request.release(), "/"));
  }
  if (httpGetState(http) != HTTP_STATE_WAITING) httpFlush(http);
  // Without a response libcups leaves its last error as it was, unless the spooler answered with an
  // HTTP error.
  answer.answered = answer.response || httpGetStatus(http) != HTTP_STATUS_ERROR;
  if (answer.answered) {
    answer.status = cupsLastError();
    answer.words = lastError();
  }
  return answer;
}

// The state after a failed question on `connection`: the limit or a cancel, a spooler that gave no
// answer, or its refusal.
QueueStatus requestFailure(const Connection& connection, const std::string& queue, const Answer& answer) {
  if (auto why = connection.stepFailure()) return {*why, queue, {}, 0, 0, false, {}};
  if (!answer.answered) return {QueueState::NoSpooler, queue, "no answer", 0, 0, false, {}};
  return {stateOfIppError(answer.status), queue, answer.words, 0, static_cast<int>(answer.status), false, {}};
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

std::optional<bool> landscapeOf(int orientation) {
  switch (orientation) {
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

// Asks about `requested` (empty: the default destination) on `connection`; with `defaults`, also what
// the queue prints on by default.
QueueStatus checkOn(Connection& connection, const std::string& requested, QueueDefaults* defaults = nullptr) {
  connection.ask();
  QueueStatus status;
  status.queue = requested;
  if (requested.empty()) {
    // libcups's lookup of the default destination honours the user's own (LPDEST, PRINTER, lpoptions)
    // but waits out a spooler that does not answer (see exchange): a question of ours goes first.
    const Answer answer = exchange(connection, Ipp(ippNewRequest(IPP_OP_CUPS_GET_DEFAULT)));
    if (!answer.answered) return requestFailure(connection, requested, answer);
    status.queue = defaultQueue(connection.get());
    if (auto why = connection.stepFailure()) return {*why, requested, {}, 0, 0, false, {}};
    if (status.queue.empty()) {
      const bool any = anyQueue(connection.get());
      if (auto why = connection.stepFailure()) return {*why, requested, {}, 0, 0, false, {}};
      status.state = QueueState::NoPrinter;
      status.detail = any ? "no default destination" : "no print queue";
      return status;
    }
  }

  Ipp request(ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES));
  ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
               printerUri(status.queue).c_str());
  static const char* const wanted[] = {"printer-is-accepting-jobs",
                                       "printer-state",
                                       "printer-state-message",
                                       "media-default",
                                       "media-col-default",
                                       "orientation-requested-default",
                                       "printer-info"};
  ippAddStrings(request.get(), IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                static_cast<int>(std::size(wanted)), nullptr, wanted);
  const Answer answer = exchange(connection, std::move(request));
  if (!answer.ok()) return requestFailure(connection, status.queue, answer);
  ipp_t* response = answer.response.get();

  if (ipp_attribute_t* message = ippFindAttribute(response, "printer-state-message", IPP_TAG_TEXT)) {
    if (const char* text = ippGetString(message, 0, nullptr)) status.detail = text;
  }
  if (const char* info = ippGetString(ippFindAttribute(response, "printer-info", IPP_TAG_TEXT), 0, nullptr))
    status.description = info;
  ipp_attribute_t* accepting = ippFindAttribute(response, "printer-is-accepting-jobs", IPP_TAG_BOOLEAN);
  ipp_attribute_t* state = ippFindAttribute(response, "printer-state", IPP_TAG_ENUM);
  if (accepting && !ippGetBoolean(accepting, 0)) {
    status.state = QueueState::NotAccepting;
  } else if (state && ippGetInteger(state, 0) == IPP_PSTATE_STOPPED) {
    status.state = QueueState::Stopped;
  } else {
    status.state = QueueState::Ready;
  }
  if (defaults) {
    // The size of the paper itself: a queue's media-default name may be empty for a size its driver
    // names its own way.
    ipp_attribute_t* width =
        ippFindAttribute(response, "media-col-default/media-size/x-dimension", IPP_TAG_INTEGER);
    ipp_attribute_t* length =
        ippFindAttribute(response, "media-col-default/media-size/y-dimension", IPP_TAG_INTEGER);
    const char* name = ippGetString(ippFindAttribute(response, "media-default", IPP_TAG_ZERO), 0, nullptr);
    if (width && length) {
      defaults->paperWidth = ippGetInteger(width, 0);
      defaults->paperLength = ippGetInteger(length, 0);
    } else if (pwg_media_t* media = name ? pwgMediaForPWG(name) : nullptr) {
      defaults->paperWidth = media->width;
      defaults->paperLength = media->length;
    }
    if (ipp_attribute_t* orientation =
            ippFindAttribute(response, "orientation-requested-default", IPP_TAG_ENUM))
      defaults->landscape = landscapeOf(ippGetInteger(orientation, 0));
  }
  return status;
}

// Creates a job on `queue` with one IPP request. cupsCreateJob would first fetch the queue's whole
// description (every media size and option of its driver) to build the same request: on a local
// spooler that was most of a document's hand-over time. Returns the job's id, or 0 with `answer`
// saying why.
int createJob(Connection& connection, const std::string& queue, const std::string& title, int optionCount,
              cups_option_t* options, Answer& answer) {
  Ipp request(ippNewRequest(IPP_OP_CREATE_JOB));
  ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
               printerUri(queue).c_str());
  ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
  if (!title.empty()) {
    ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_NAME, "job-name", nullptr, title.c_str());
  }
  cupsEncodeOptions2(request.get(), optionCount, options, IPP_TAG_OPERATION);
  cupsEncodeOptions2(request.get(), optionCount, options, IPP_TAG_JOB);
  answer = exchange(connection, std::move(request));
  if (!answer.ok()) return 0;
  ipp_attribute_t* id = ippFindAttribute(answer.response.get(), "job-id", IPP_TAG_INTEGER);
  return id ? ippGetInteger(id, 0) : 0;
}

// The IPP status libcups gives an HTTP error.
ipp_status_t ippStatusOf(http_status_t status) {
  switch (status) {
    case HTTP_STATUS_NOT_FOUND:
      return IPP_STATUS_ERROR_NOT_FOUND;
    case HTTP_STATUS_UNAUTHORIZED:
      return IPP_STATUS_ERROR_NOT_AUTHENTICATED;
    case HTTP_STATUS_FORBIDDEN:
      return IPP_STATUS_ERROR_FORBIDDEN;
    case HTTP_STATUS_BAD_REQUEST:
      return IPP_STATUS_ERROR_BAD_REQUEST;
    case HTTP_STATUS_REQUEST_TOO_LARGE:
      return IPP_STATUS_ERROR_REQUEST_VALUE;
    default:
      return IPP_STATUS_ERROR_SERVICE_UNAVAILABLE;
  }
}

// The spooler's answer to the document step that just failed on `connection`, as libcups left it.
Answer documentAnswer(const Connection& connection) {
  http_t* http = connection.get();
  Answer answer;
  http_status_t status = httpGetStatus(http);
  // A spooler that stops taking a document part way (its spool disk is full, say) answers and closes
  // the connection; the write that finds it closed fails first, and the answer is still there to read.
  // Its status line is read off the socket itself: libcups would first try again to write what the
  // spooler no longer takes.
  if (httpError(http) == EPIPE && status < HTTP_STATUS_OK && !connection.stepFailure()) {
    std::array<char, 256> line{};
    int major = 0;
    int minor = 0;
    int code = 0;
    if (recv(httpGetFd(http), line.data(), line.size() - 1, MSG_DONTWAIT) > 0 &&
        std::sscanf(line.data(), "HTTP/%d.%d %d", &major, &minor, &code) == 3) {
      status = static_cast<http_status_t>(code);
    }
  }
  answer.answered = status >= HTTP_STATUS_OK;
  if (status == HTTP_STATUS_OK) {
    answer.status = cupsLastError();  // the IPP answer, read by libcups
    answer.words = lastError();
  } else if (answer.answered) {
    answer.status = ippStatusOf(status);
    answer.words = httpStatus(status);
  }
  return answer;
}

// Why a step of a submission failed: the limit or a cancel; otherwise a fresh look at the queue names
// the cause when it is the queue or the spooler, and the spooler's answer to the step stands.
QueueStatus failure(const Connection& connection, const std::string& queue, const Answer& answer) {
  if (auto why = connection.stepFailure()) return {*why, queue, {}, 0, 0, false, {}};
  QueueStatus now = checkQueue(queue);
  if (now.state != QueueState::Ready) return now;
  if (!answer.answered) return {QueueState::Lost, queue, {}, 0, 0, false, {}};
  return {stateOfIppError(answer.status), queue, answer.words, 0, static_cast<int>(answer.status), false, {}};
}

JobEnd endOf(ipp_t* response) {
  ipp_attribute_t* state = ippFindAttribute(response, "job-state", IPP_TAG_ENUM);
  if (!state) return JobEnd::Unknown;
  bool withErrors = false;
  bool printerStopped = false;
  if (ipp_attribute_t* reasons = ippFindAttribute(response, "job-state-reasons", IPP_TAG_KEYWORD)) {
    for (int i = 0; i < ippGetCount(reasons); ++i) {
      const std::string_view reason = ippGetString(reasons, i, nullptr);
      // A filter that failed (or crashed) stops the job with one of these; it prints no more.
      withErrors = withErrors || reason == "job-completed-with-errors" || reason == "cups-filter-crashed";
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
      return withErrors ? JobEnd::CompletedWithErrors : JobEnd::PrinterStopped;
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
  const Answer answer = exchange(connection, std::move(request));
  if (answer.response && answer.status == IPP_STATUS_ERROR_NOT_FOUND) return JobEnd::Gone;
  if (!answer.ok()) return JobEnd::Unknown;
  return endOf(answer.response.get());
}

void cancelOn(Connection& connection, int jobId) {
  Ipp request(ippNewRequest(IPP_OP_CANCEL_JOB));
  ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, jobUri(jobId).c_str());
  ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
  exchange(connection, std::move(request));
}

}  // namespace

SpoolerLimits SpoolerLimits::current() {
  SpoolerLimits limits;
  if (const char* text = std::getenv("KIRUNE_SPOOLER_TIMEOUT_MS")) {
    if (const auto ms = parseInteger<int>(text); ms && *ms > 0 && *ms <= 600000) {
      limits.askMs = *ms;
      limits.documentMs = limits.askMs * 12;
      limits.followMs = limits.askMs * 24;
    }
  }
  return limits;
}

std::optional<QueueDefaults> queueDefaults(const std::string& queue) {
  Connection connection;
  if (!connection) return std::nullopt;
  QueueDefaults defaults;
  const QueueStatus status = checkOn(connection, queue, &defaults);
  switch (status.state) {
    case QueueState::Ready:
    case QueueState::NotAccepting:
    case QueueState::Stopped:
      return defaults;
    default:
      return std::nullopt;
  }
}

QueueStatus checkQueue(const std::string& queue, const CancelFlag* cancel, QueueDefaults* defaults) {
  Connection connection(cancel);
  if (!connection) return {connection.connectFailure(), queue, lastError(), 0, 0, false, {}};
  return checkOn(connection, queue, defaults);
}

QueueStatus submitPdf(const std::string& queue, std::string_view pdf, const JobOptions& options,
                      const std::string& title, const CancelFlag* cancel, bool queueChecked) {
  Connection connection(cancel);
  if (!connection) return {connection.connectFailure(), queue, lastError(), 0, 0, false, {}};
  QueueStatus before{QueueState::Ready, queue, {}, 0, 0, false, {}};
  if (!queueChecked) before = checkOn(connection, queue);
  if (before.state != QueueState::Ready) return before;
  const std::string& name = before.queue;

  int optionCount = 0;
  cups_option_t* cupsOptions = nullptr;
  for (const auto& [key, value] : options) {
    optionCount = cupsAddOption(key.c_str(), value.c_str(), optionCount, &cupsOptions);
  }
  connection.ask();
  Answer created;
  const int jobId = createJob(connection, name, title, optionCount, cupsOptions, created);
  cupsFreeOptions(optionCount, cupsOptions);
  if (jobId <= 0) return failure(connection, name, created);

  // A job without its whole document is of no use to anyone: it goes.
  auto abandon = [&](const Answer& answer) {
    QueueStatus why = failure(connection, name, answer);
    cancelJobs({jobId});
    why.jobId = jobId;
    return why;
  };

  connection.handOver();
  if (cupsStartDocument(connection.get(), name.c_str(), jobId, title.empty() ? nullptr : title.c_str(),
                        CUPS_FORMAT_PDF, 1) != HTTP_STATUS_CONTINUE) {
    return abandon(documentAnswer(connection));
  }
  constexpr std::size_t chunk = 64 * 1024;
  for (std::size_t offset = 0; offset < pdf.size(); offset += chunk) {
    const std::size_t length = std::min(chunk, pdf.size() - offset);
    if (connection.cancelRequested() ||
        cupsWriteRequestData(connection.get(), pdf.data() + offset, length) != HTTP_STATUS_CONTINUE) {
      return abandon(documentAnswer(connection));
    }
  }
  // From here the spooler has the whole document: without its answer, the job may still print.
  auto unconfirmed = [&](const Answer& answer) {
    QueueStatus why = failure(connection, name, answer);
    why.jobId = jobId;
    why.maybeHeld = true;
    return why;
  };
  if (cupsFinishDocument(connection.get(), name.c_str()) > IPP_STATUS_OK_CONFLICTING ||
      httpGetStatus(connection.get()) == HTTP_STATUS_ERROR) {
    const Answer answer = documentAnswer(connection);
    // A spooler that answered with a refusal did not take the document.
    return answer.answered ? abandon(answer) : unconfirmed(answer);
  }

  connection.ask();
  switch (lookAtJob(connection, jobId)) {
    case JobEnd::Unknown:
    case JobEnd::Gone:
      return unconfirmed(Answer{});
    case JobEnd::Aborted:
      return {QueueState::Refused, name, "job aborted", jobId, 0, false, {}};
    case JobEnd::Canceled:
      return {QueueState::Refused, name, "job canceled", jobId, 0, false, {}};
    default:
      return {QueueState::Ready, name, {}, jobId, 0, false, {}};
  }
}

std::vector<JobState> lookAtJobs(const std::vector<int>& jobs, const CancelFlag* cancel, int askMs) {
  std::vector<JobState> states;
  if (jobs.empty()) return states;  // nothing to ask: no connection
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

NoSpoolerOnThisThread::NoSpoolerOnThisThread() : server_(cupsServer()) {
  // Under a file, a path that can never be a socket: connecting fails at once.
  cupsSetServer("/dev/null/kirune-no-spooler");
}

NoSpoolerOnThisThread::~NoSpoolerOnThisThread() { cupsSetServer(server_.c_str()); }

}  // namespace kirune
