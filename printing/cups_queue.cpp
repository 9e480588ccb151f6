#include "printing/cups_queue.h"

#include <cups/cups.h>
#include <cups/ipp.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <memory>
#include <optional>

namespace kirune {

namespace {

struct HttpClose {
  void operator()(http_t* http) const { httpClose(http); }
};
using Http = std::unique_ptr<http_t, HttpClose>;

struct IppDelete {
  void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};
using Ipp = std::unique_ptr<ipp_t, IppDelete>;

// A connection of our own for every question: the spooler may have been restarted (or stopped)
// since the last one, and a cached connection would hide that.
Http connectSpooler() {
  return Http(httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, 5000, nullptr));
}

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

QueueState stateOfIppError(ipp_status_t status) {
  switch (status) {
    case IPP_STATUS_ERROR_NOT_ACCEPTING_JOBS:
      return QueueState::NotAccepting;
    case IPP_STATUS_ERROR_NOT_FOUND:
      return QueueState::NotFound;
    case IPP_STATUS_ERROR_SERVICE_UNAVAILABLE:
      return QueueState::NoSpooler;
    default:
      return QueueState::Refused;
  }
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

QueueStatus checkOn(http_t* http, const std::string& requested) {
  QueueStatus status;
  status.queue = requested.empty() ? defaultQueue(http) : requested;
  if (status.queue.empty()) {
    status.state = QueueState::NoPrinter;
    status.detail = anyQueue(http) ? "no default destination" : "no print queue";
    return status;
  }

  Ipp request(ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES));
  ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
               printerUri(status.queue).c_str());
  static const char* const wanted[] = {"printer-is-accepting-jobs", "printer-state", "printer-state-message"};
  ippAddStrings(request.get(), IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                static_cast<int>(std::size(wanted)), nullptr, wanted);
  // cupsDoRequest frees the request.
  Ipp response(cupsDoRequest(http, request.release(), "/"));
  const ipp_status_t ippStatus = cupsLastError();
  if (!response || ippStatus > IPP_STATUS_OK_CONFLICTING) {
    status.state = response ? stateOfIppError(ippStatus) : QueueState::NoSpooler;
    status.detail = lastError();
    return status;
  }

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
  if (!response || cupsLastError() > IPP_STATUS_OK_CONFLICTING) return 0;
  ipp_attribute_t* id = ippFindAttribute(response.get(), "job-id", IPP_TAG_INTEGER);
  return id ? ippGetInteger(id, 0) : 0;
}

// Why a step of a submission failed: a fresh look at the queue names the cause when it is the queue
// or the spooler; otherwise the spooler's error for the step stands.
QueueStatus failure(const std::string& queue, const std::string& detail) {
  QueueStatus now = checkQueue(queue);
  if (now.state != QueueState::Ready) return now;
  return {QueueState::Refused, queue, detail, 0};
}

// The job exists and the spooler has not thrown it away.
QueueStatus confirmJob(http_t* http, const std::string& queue, int jobId) {
  Ipp request(ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES));
  ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
               printerUri(queue).c_str());
  ippAddInteger(request.get(), IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", jobId);
  static const char* const wanted[] = {"job-state", "job-state-message"};
  ippAddStrings(request.get(), IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                static_cast<int>(std::size(wanted)), nullptr, wanted);
  Ipp response(cupsDoRequest(http, request.release(), "/"));
  if (!response || cupsLastError() > IPP_STATUS_OK_CONFLICTING) return failure(queue, lastError());

  ipp_attribute_t* state = ippFindAttribute(response.get(), "job-state", IPP_TAG_ENUM);
  if (!state) return {QueueState::Refused, queue, "job without state", jobId};
  const int jobState = ippGetInteger(state, 0);
  if (jobState == IPP_JSTATE_CANCELED || jobState == IPP_JSTATE_ABORTED) {
    std::string detail = jobState == IPP_JSTATE_CANCELED ? "job canceled" : "job aborted";
    if (ipp_attribute_t* message = ippFindAttribute(response.get(), "job-state-message", IPP_TAG_TEXT)) {
      if (const char* text = ippGetString(message, 0, nullptr); text && *text) detail = text;
    }
    return {QueueState::Refused, queue, detail, jobId};
  }
  return {QueueState::Ready, queue, {}, jobId};
}

}  // namespace

std::optional<bool> defaultLandscape(const std::string& queue) {
  Http http = connectSpooler();
  if (!http || queue.empty()) return std::nullopt;
  Ipp request(ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES));
  ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
               printerUri(queue).c_str());
  ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr,
               "orientation-requested-default");
  Ipp response(cupsDoRequest(http.get(), request.release(), "/"));
  if (!response || cupsLastError() > IPP_STATUS_OK_CONFLICTING) return std::nullopt;
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

QueueStatus checkQueue(const std::string& queue) {
  Http http = connectSpooler();
  if (!http) return {QueueState::NoSpooler, queue, lastError(), 0};
  return checkOn(http.get(), queue);
}

QueueStatus submitPdf(const std::string& queue, std::string_view pdf, const JobOptions& options,
                      const std::string& title) {
  Http http = connectSpooler();
  if (!http) return {QueueState::NoSpooler, queue, lastError(), 0};
  QueueStatus before = checkOn(http.get(), queue);
  if (before.state != QueueState::Ready) return before;
  const std::string& name = before.queue;

  int optionCount = 0;
  cups_option_t* cupsOptions = nullptr;
  for (const auto& [key, value] : options) {
    optionCount = cupsAddOption(key.c_str(), value.c_str(), optionCount, &cupsOptions);
  }
  const int jobId = createJob(http.get(), name, title, optionCount, cupsOptions);
  cupsFreeOptions(optionCount, cupsOptions);
  if (jobId <= 0) {
    const ipp_status_t status = cupsLastError();
    const std::string detail = lastError();
    QueueStatus why = failure(name, detail);
    if (why.state == QueueState::Refused) why.state = stateOfIppError(status);
    return why;
  }

  auto abandon = [&](const std::string& detail) {
    cupsCancelJob2(http.get(), name.c_str(), jobId, 0);
    QueueStatus why = failure(name, detail);
    why.jobId = jobId;
    return why;
  };

  if (cupsStartDocument(http.get(), name.c_str(), jobId, title.empty() ? nullptr : title.c_str(),
                        CUPS_FORMAT_PDF, 1) != HTTP_STATUS_CONTINUE) {
    return abandon(lastError());
  }
  constexpr std::size_t chunk = 64 * 1024;
  for (std::size_t offset = 0; offset < pdf.size(); offset += chunk) {
    const std::size_t length = std::min(chunk, pdf.size() - offset);
    if (cupsWriteRequestData(http.get(), pdf.data() + offset, length) != HTTP_STATUS_CONTINUE) {
      cupsFinishDocument(http.get(), name.c_str());
      return abandon(lastError());
    }
  }
  if (cupsFinishDocument(http.get(), name.c_str()) > IPP_STATUS_OK_CONFLICTING) return abandon(lastError());

  return confirmJob(http.get(), name, jobId);
}

}  // namespace kirune
