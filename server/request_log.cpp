#include "server/request_log.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace kirune::serve {
namespace {

std::string utcNow() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm tm{};
  gmtime_r(&seconds, &tm);
  char text[40];
  const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &tm);
  std::snprintf(text + n, sizeof text - n, ".%03dZ", static_cast<int>(ms));
  return text;
}

}  // namespace

RequestLog::RequestLog(double perSecond, double burst)
    : perSecond_(perSecond), burst_(burst), tokens_(burst), refilled_(std::chrono::steady_clock::now()) {}

void RequestLog::write(const std::string& line) {
  const std::lock_guard lock(mutex_);
  const auto now = std::chrono::steady_clock::now();
  tokens_ = std::min(burst_, tokens_ + std::chrono::duration<double>(now - refilled_).count() * perSecond_);
  refilled_ = now;
  if (tokens_ < 1) {
    ++skipped_;
    return;
  }
  tokens_ -= 1;
  std::string out;
  if (skipped_ > 0) {
    out = utcNow() + " kirune-serve: 多すぎるため " + std::to_string(skipped_) + " 行を記録しませんでした\n";
    skipped_ = 0;
  }
  out += utcNow() + " " + line + "\n";
  // One write per line, so lines from several threads never mix.
  std::fwrite(out.data(), 1, out.size(), stderr);
  std::fflush(stderr);
}

}  // namespace kirune::serve
