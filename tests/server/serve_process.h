#pragma once

// kirune-serve started as a user starts it, on a free loopback port, and stopped with SIGTERM.

#include <sys/prctl.h>

#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <csignal>

namespace kirune::test {

class ServeProcess {
 public:
  /// `log`: a file for the server's standard error (its request log); empty, the test's own.
  explicit ServeProcess(const QStringList& arguments, const QString& log = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.remove("SOURCE_DATE_EPOCH");
    process_.setProcessEnvironment(env);
    process_.setProcessChannelMode(log.isEmpty() ? QProcess::ForwardedErrorChannel
                                                 : QProcess::SeparateChannels);
    if (!log.isEmpty()) process_.setStandardErrorFile(log);
    // A test stopped without its destructors (a sanitizer ending it) takes its server with it, rather
    // than leaving it running and holding the test's output open.
    process_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    process_.start(QStringLiteral(KIRUNE_SERVE), QStringList{"--listen", "127.0.0.1:0"} + arguments);
    static const QRegularExpression line(R"(^kirune-serve: http://127\.0\.0\.1:(\d+)/$)");
    QByteArray out;
    // Bounded: the server announces its port within seconds or the test fails on port() == 0.
    for (int i = 0; i < 100 && !out.contains('\n') && process_.state() != QProcess::NotRunning; ++i) {
      process_.waitForReadyRead(200);
      out += process_.readAllStandardOutput();
    }
    const auto m = line.match(QString::fromUtf8(out).trimmed());
    if (m.hasMatch()) port_ = m.captured(1).toInt();
  }
  ~ServeProcess() {
    process_.terminate();
    if (!process_.waitForFinished(10000)) process_.kill();
    process_.waitForFinished(5000);
  }
  ServeProcess(const ServeProcess&) = delete;
  ServeProcess& operator=(const ServeProcess&) = delete;

  int port() const { return port_; }
  qint64 pid() const { return process_.processId(); }
  /// After the server was stopped: whether it ended by itself with exit code 0.
  bool stopCleanly(int signal = SIGTERM) {
    ::kill(static_cast<pid_t>(process_.processId()), signal);
    return process_.waitForFinished(10000) && process_.exitStatus() == QProcess::NormalExit &&
           process_.exitCode() == 0;
  }

 private:
  QProcess process_;
  int port_ = 0;
};

}  // namespace kirune::test
