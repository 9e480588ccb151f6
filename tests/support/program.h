#pragma once
// Runs another program from a test: its exact bytes as arguments, its output captured, and how it ended
// checked against what the caller says it expects, so that no run's exit code goes unlooked at.
#include <sys/types.h>

#include <chrono>
#include <initializer_list>
#include <string>
#include <vector>

#ifdef QT_CORE_LIB
#include <QString>
#include <QStringList>
#endif

namespace kirune::test {

/// Where in a test a call was made, as a default argument records it (std::source_location is not in
/// every compiler the project builds with).
struct Where {
  Where(const char* f = __builtin_FILE(), int l = __builtin_LINE()) : file(f), line(l) {}  // NOLINT
  const char* file;
  int line;
};

/// How a run is expected to end: with one of some exit codes, or killed by a signal.
class Expect {
 public:
  Expect(int exitCode) : codes_{exitCode} {}  // NOLINT(google-explicit-constructor): `run(..., 0)` reads well
  static Expect oneOf(std::initializer_list<int> exitCodes);
  static Expect signal(int number);

  bool accepts(int exitCode, int signal) const;
  std::string describe() const;

 private:
  Expect() = default;
  std::vector<int> codes_;
  int signal_ = 0;
};

struct RunOptions {
  /// Changes to the test's own environment: "NAME=value" sets, a bare "NAME" removes.
  std::vector<std::string> env;
  std::string workDir;    ///< empty: the test's own
  std::string input;      ///< written to the program's standard input, which is then closed
  bool mergeErr = false;  ///< standard error into `out`, in the order written
  std::chrono::milliseconds timeout{std::chrono::minutes(2)};
};

/// What a finished run did. `exitCode` is -1 when a signal (or the timeout) ended it.
struct Ran {
  bool ok =
      false;  ///< ended as expected; when not, the failure is already recorded (ASSERT_TRUE(r.ok) stops)
  int exitCode = -1;
  int signal = 0;
  bool timedOut = false;
  std::string out;
  std::string err;
};

/// A program started and not yet waited for. A run still going when this is destroyed is killed.
class Program {
 public:
  explicit Program(std::vector<std::string> argv, RunOptions options = {});
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  pid_t pid() const { return pid_; }
  bool running();
  /// Waits until the standard output so far holds `text`, the program has ended, or `wait` has passed;
  /// whether it holds it.
  bool waitForOutput(const std::string& text, std::chrono::milliseconds wait);
  /// The standard output read so far.
  const std::string& output() const { return ran_.out; }
  void kill(int signal) const;
  /// Waits for the end (the timeout counted from the start) and records a test failure, at the caller's
  /// line, when it ends otherwise than `expect` says.
  Ran finish(const Expect& expect, Where where = {});

 private:
  bool pump(int timeoutMs);
  bool reap(bool block);

  std::vector<std::string> argv_;
  RunOptions options_;
  pid_t pid_ = -1;
  std::string startError_;
  int status_ = 0;
  bool reaped_ = false;
  int outFd_ = -1;
  int errFd_ = -1;
  int inFd_ = -1;
  std::size_t inWritten_ = 0;
  std::chrono::steady_clock::time_point deadline_;
  Ran ran_;
};

/// Runs `argv` (argv[0] looked up in PATH when it has no slash) to its end; see Program::finish.
Ran run(std::vector<std::string> argv, const Expect& expect, RunOptions options = {}, Where where = {});

#ifdef QT_CORE_LIB
inline std::vector<std::string> argv(const QString& program, const QStringList& arguments) {
  std::vector<std::string> all{program.toStdString()};
  for (const QString& a : arguments) all.push_back(a.toStdString());
  return all;
}
inline Ran run(const QString& program, const QStringList& arguments, const Expect& expect,
               RunOptions options = {}, Where where = {}) {
  return run(argv(program, arguments), expect, std::move(options), where);
}
#endif

}  // namespace kirune::test
