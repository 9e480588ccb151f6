#pragma once

#include <chrono>
#include <mutex>
#include <string>

namespace kirune::serve {

/// The lines kirune-serve writes to standard error, one per request, for the journal. A flood of
/// requests cannot fill the disk: past a burst of `burst` lines, at most `perSecond` a second are
/// written, and the next line written says how many were left out.
class RequestLog {
 public:
  RequestLog(double perSecond, double burst);
  /// Writes `line` after the current UTC time, if the rate allows.
  void write(const std::string& line);

 private:
  std::mutex mutex_;
  double perSecond_;
  double burst_;
  double tokens_;
  std::chrono::steady_clock::time_point refilled_;
  long long skipped_ = 0;
};

}  // namespace kirune::serve
