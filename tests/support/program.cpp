#include "tests/support/program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <sstream>

extern char** environ;

namespace kirune::test {

Expect Expect::oneOf(std::initializer_list<int> exitCodes) {
  Expect e;
  e.codes_ = exitCodes;
  return e;
}

Expect Expect::signal(int number) {
  Expect e;
  e.signal_ = number;
  return e;
}

bool Expect::accepts(int exitCode, int signal) const {
  if (signal_ != 0 || signal != 0) return signal == signal_;
  return std::find(codes_.begin(), codes_.end(), exitCode) != codes_.end();
}

std::string Expect::describe() const {
  if (signal_ != 0) return "killed by signal " + std::to_string(signal_);
  std::string text = "exit code";
  for (std::size_t i = 0; i < codes_.size(); ++i) text += (i == 0 ? " " : " or ") + std::to_string(codes_[i]);
  return text;
}

namespace {

void setNonBlocking(int fd) { fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK); }

// The test's environment with `changes` applied, in the form execve takes.
std::vector<std::string> environment(const std::vector<std::string>& changes) {
  std::map<std::string, std::string> vars;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    vars[entry.substr(0, entry.find('='))] = entry;
  }
  for (const std::string& change : changes) {
    const auto eq = change.find('=');
    if (eq == std::string::npos) {
      vars.erase(change);
    } else {
      vars[change.substr(0, eq)] = change;
    }
  }
  std::vector<std::string> all;
  for (auto& [name, entry] : vars) all.push_back(std::move(entry));
  return all;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
  std::vector<char*> p;
  for (std::string& s : strings) p.push_back(s.data());
  p.push_back(nullptr);
  return p;
}

std::string tail(const std::string& text, std::size_t n) {
  return text.size() <= n ? text : "…" + text.substr(text.size() - n);
}

}  // namespace

Program::Program(std::vector<std::string> argv, RunOptions options)
    : argv_(std::move(argv)), options_(std::move(options)) {
  deadline_ = std::chrono::steady_clock::now() + options_.timeout;
  int out[2];
  int err[2];
  int in[2];
  if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0 || pipe2(in, O_CLOEXEC) != 0) {
    startError_ = std::string("pipe: ") + std::strerror(errno);
    return;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, options_.mergeErr ? out[1] : err[1], 2);
  if (!options_.workDir.empty()) posix_spawn_file_actions_addchdir_np(&actions, options_.workDir.c_str());
  // Signals the test ignores or blocks stay the child's own business.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigset_t all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  std::vector<std::string> env = environment(options_.env);
  std::vector<char*> envp = pointers(env);
  std::vector<char*> args = pointers(argv_);
  const int spawned = posix_spawnp(&pid_, args[0], &actions, &attributes, args.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  close(out[1]);
  close(err[1]);
  close(in[0]);
  outFd_ = out[0];
  errFd_ = err[0];
  inFd_ = in[1];
  if (options_.mergeErr) {
    close(errFd_);
    errFd_ = -1;
  }
  setNonBlocking(outFd_);
  if (errFd_ >= 0) setNonBlocking(errFd_);
  setNonBlocking(inFd_);
  if (spawned != 0) {
    pid_ = -1;
    startError_ = std::strerror(spawned);
  }
  if (options_.input.empty()) {
    close(inFd_);
    inFd_ = -1;
  }
}

Program::~Program() {
  if (pid_ > 0 && !reaped_) {
    ::kill(pid_, SIGKILL);
    reap(true);
  }
  for (int fd : {outFd_, errFd_, inFd_}) {
    if (fd >= 0) close(fd);
  }
}

bool Program::reap(bool block) {
  if (reaped_ || pid_ <= 0) return true;
  int status = 0;
  pid_t got;
  do {
    got = waitpid(pid_, &status, block ? 0 : WNOHANG);
  } while (got < 0 && errno == EINTR);
  if (got == pid_) {
    reaped_ = true;
    status_ = status;
  }
  return reaped_;
}

bool Program::running() { return pid_ > 0 && !reap(false); }

void Program::kill(int signal) const {
  if (pid_ > 0 && !reaped_) ::kill(pid_, signal);
}

// Moves what is ready between the pipes and the buffers, waiting at most `timeoutMs` for something.
bool Program::pump(int timeoutMs) {
  pollfd fds[3];
  nfds_t n = 0;
  if (outFd_ >= 0) fds[n++] = {outFd_, POLLIN, 0};
  if (errFd_ >= 0) fds[n++] = {errFd_, POLLIN, 0};
  if (inFd_ >= 0) fds[n++] = {inFd_, POLLOUT, 0};
  if (n == 0 || poll(fds, n, timeoutMs) <= 0) return false;
  bool moved = false;
  char buffer[65536];
  for (nfds_t i = 0; i < n; ++i) {
    if (fds[i].revents == 0) continue;
    int& fd = fds[i].fd == outFd_ ? outFd_ : fds[i].fd == errFd_ ? errFd_ : inFd_;
    if (fd == inFd_) {
      const std::string& input = options_.input;
      const ssize_t w = write(fd, input.data() + inWritten_, input.size() - inWritten_);
      if (w > 0) {
        inWritten_ += static_cast<std::size_t>(w);
        moved = true;
      }
      if ((w < 0 && errno != EAGAIN && errno != EINTR) || inWritten_ == input.size()) {
        close(fd);
        fd = -1;
      }
      continue;
    }
    std::string& sink = fd == outFd_ ? ran_.out : ran_.err;
    const ssize_t r = read(fd, buffer, sizeof buffer);
    if (r > 0) {
      sink.append(buffer, static_cast<std::size_t>(r));
      moved = true;
    } else if (r == 0 || (errno != EAGAIN && errno != EINTR)) {
      close(fd);
      fd = -1;
    }
  }
  return moved;
}

bool Program::waitForOutput(const std::string& text, std::chrono::milliseconds wait) {
  const auto until = std::chrono::steady_clock::now() + wait;
  while (ran_.out.find(text) == std::string::npos && std::chrono::steady_clock::now() < until) {
    if (outFd_ < 0) break;  // ended, or its output closed: nothing more will come
    pump(20);
  }
  return ran_.out.find(text) != std::string::npos;
}

Ran Program::finish(const Expect& expect, Where where) {
  // Until the program has ended: what it wrote then, without waiting for the end of its pipes, which a
  // daemon it started may hold open.
  while (pid_ > 0 && !reap(false)) {
    if (std::chrono::steady_clock::now() >= deadline_) {
      ran_.timedOut = true;
      ::kill(pid_, SIGKILL);
      reap(true);
      break;
    }
    const bool pipes = outFd_ >= 0 || errFd_ >= 0 || inFd_ >= 0;
    if (pipes) {
      pump(20);
    } else {
      usleep(20000);
    }
  }
  if (inFd_ >= 0) close(inFd_);
  inFd_ = -1;
  while (pump(0)) {
  }
  for (int* fd : {&outFd_, &errFd_, &inFd_}) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
  }
  if (reaped_) {
    ran_.exitCode = WIFEXITED(status_) && !ran_.timedOut ? WEXITSTATUS(status_) : -1;
    ran_.signal = WIFSIGNALED(status_) && !ran_.timedOut ? WTERMSIG(status_) : 0;
  }
  ran_.ok = pid_ > 0 && !ran_.timedOut && expect.accepts(ran_.exitCode, ran_.signal);
  if (!ran_.ok) {
    std::ostringstream command;
    for (const std::string& a : argv_) command << (a.size() > 200 ? a.substr(0, 200) + "…" : a) << ' ';
    std::ostringstream why;
    why << "ran: " << command.str() << "\nexpected " << expect.describe() << ", got ";
    if (pid_ <= 0) {
      why << "no start (" << startError_ << ")";
    } else if (ran_.timedOut) {
      why << "no end within " << options_.timeout.count() << " ms (killed)";
    } else if (ran_.signal) {
      why << "signal " << ran_.signal;
    } else {
      why << "exit code " << ran_.exitCode;
    }
    if (!ran_.err.empty()) why << "\nstderr: " << tail(ran_.err, 2000);
    if (options_.mergeErr && !ran_.out.empty()) why << "\noutput: " << tail(ran_.out, 2000);
    ADD_FAILURE_AT(where.file, where.line) << why.str();
  }
  return ran_;
}

Ran run(std::vector<std::string> argv, const Expect& expect, RunOptions options, Where where) {
  Program program(std::move(argv), std::move(options));
  return program.finish(expect, where);
}

}  // namespace kirune::test
