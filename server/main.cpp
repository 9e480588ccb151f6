// kirune-serve: the preset buttons as a web page and an HTTP interface, for every device of a school
// network. Stateless: every request carries its settings, so several servers can share one address.

#include <pthread.h>
#include <sys/resource.h>
#include <QFile>
#include <QGuiApplication>
#include <QString>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "kirune/version.h"
#include "printing/fonts.h"
#include "render/image_set.h"
#include "server/http_service.h"
#include "server/listen_addresses.h"
#include "server/serve_options.h"

namespace {

constexpr int kBadArguments = 2;

void say(const std::string& message) { std::cerr << "kirune-serve: " << message << '\n'; }

void quietHandler(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtDebugMsg || type == QtInfoMsg) return;
  if (message.startsWith(QLatin1String("QStandardPaths:"))) return;
  std::cerr << message.toStdString() << '\n';
}

std::string resource(const char* path) {
  QFile f(QString::fromLatin1(path));
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll().toStdString();
}

}  // namespace

int main(int argc, char** argv) {
  auto parsed = kirune::serve::parseServeArguments(std::vector<std::string>(argv + 1, argv + argc));
  if (!parsed) {
    say(parsed.error());
    return kBadArguments;
  }
  const kirune::serve::ServeOptions options = std::move(parsed).value();
  if (options.help) {
    std::cout << kirune::serve::serveUsage();
    return EXIT_SUCCESS;
  }
  if (options.version) {
    std::cout << "kirune-serve (" << kirune::kVersionLine << ")\n";
    return EXIT_SUCCESS;
  }

  // PDFs record their date with the local offset; in UTC a seeded request gives the same bytes as
  // kirune-print --seed wherever the server runs, and the dates of its other PDFs stay right.
  setenv("TZ", "UTC", 1);
  tzset();

  // SIGTERM (systemd), SIGINT and SIGHUP (a closed terminal) end the server through one thread that
  // waits for them, and the requests under way are finished first. Blocked here, before any other
  // thread exists, so no other thread receives them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGHUP);
  // A client that goes away mid-answer must not end the server.
  std::signal(SIGPIPE, SIG_IGN);
  // Every open connection is a descriptor; idle ones cost little else, so allow as many as permitted.
  rlimit files{};
  if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);
  }
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  // Fonts need a GUI application; it needs no display.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  qInstallMessageHandler(quietHandler);
  int qtArgc = 1;
  char* qtArgv[] = {argv[0], nullptr};
  QGuiApplication app(qtArgc, qtArgv);
  kirune::installFontSubstitutions();
  try {
    kirune::ImageSet::builtIn();  // the catalogue now; PDFs carry build-time samples and decode nothing
  } catch (const std::exception& e) {
    say(e.what());
    return EXIT_FAILURE;
  }

  kirune::serve::HttpService service(
      options, {resource(":/page/index.html"), resource(":/page/kirune.css"), resource(":/page/kirune.js")});
  const auto bound = service.bind();
  if (!bound) {
    say(bound.error());
    return EXIT_FAILURE;
  }
  const int port = *bound;
  for (const std::string& url : kirune::serve::openableUrls(options.host, port))
    std::cout << "kirune-serve: " << url << '\n';
  std::cout.flush();

  std::thread stopper([&service, stopSignals] {
    int signal = 0;
    sigwait(&stopSignals, &signal);
    service.stop();
  });
  const bool ran = service.run();
  if (ran) {
    stopper.join();
  } else {
    stopper.detach();
    say("待ち受けを続けられませんでした");
  }
  return ran ? EXIT_SUCCESS : EXIT_FAILURE;
}
