// The shared runner: how a run ended is checked against what the caller expects, and the output and
// arguments come through as bytes, whatever the program leaves behind.
#include "tests/support/program.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <csignal>

namespace kirune::test {
namespace {

TEST(Program, AnEndOtherThanExpectedIsAFailureThatSaysWhy) {
  struct Case {
    const char* script;
    int expect;
    const char* says;
  };
  for (const Case& c : {Case{"echo oops >&2; exit 3", 0, "got exit code 3"},
                        Case{"exit 0", 2, "expected exit code 2, got exit code 0"},
                        Case{"kill -TERM $$", 0, "got signal 15"}}) {
    SCOPED_TRACE(c.script);
    EXPECT_NONFATAL_FAILURE(run({"sh", "-c", c.script}, c.expect), c.says);
  }
  EXPECT_NONFATAL_FAILURE(run({"/nonexistent/program"}, 0), "no start");
  RunOptions brief;
  brief.timeout = std::chrono::milliseconds(300);
  EXPECT_NONFATAL_FAILURE(run({"sleep", "30"}, 0, brief), "no end within 300 ms");

  EXPECT_TRUE(run({"sh", "-c", "exit 3"}, Expect::oneOf({0, 3})).ok);
  EXPECT_TRUE(run({"sh", "-c", "kill -INT $$"}, Expect::signal(SIGINT)).ok);
}

TEST(Program, BytesGoThroughAndADaemonHoldingTheOutputDoesNotHoldTheRun) {
  RunOptions options;
  options.env = {"KIRUNE_RUNNER_TEST=\xff value", "HOME"};
  options.input = std::string(200000, 'i');  // more than a pipe holds
  const std::string script =
      R"(printf '%s|%s|%s' "$1" "$KIRUNE_RUNNER_TEST" "${HOME-unset}"; printf err >&2; wc -c >&2; (sleep 30 &))";
  const Ran r = run({"sh", "-c", script, "_", "\xfe\x01 arg"}, 0, options);
  EXPECT_EQ(r.out, "\xfe\x01 arg|\xff value|unset");
  EXPECT_EQ(r.err, "err200000\n");
}

TEST(Program, AProgramRunningCanBeReadAndSignalled) {
  Program p({"sh", "-c", "echo ready; exec sleep 30"});
  EXPECT_TRUE(p.waitForOutput("ready\n", std::chrono::seconds(10)));
  EXPECT_TRUE(p.running());
  p.kill(SIGTERM);
  EXPECT_EQ(p.finish(Expect::signal(SIGTERM)).out, "ready\n");
}

}  // namespace
}  // namespace kirune::test
