// kirune-print under output faults: devices, things that are not files, a full disk, signals, a PNG
// folder of an earlier run, names that are not UTF-8, time zones, missing fonts. The program is run with
// fork and exec so that arguments keep their bytes and a signal's status can be read.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimeZone>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Child {
  pid_t pid = -1;
  std::string errPath;
};

// Starts `args` (args[0] the program) with `env` added to a clean environment; stderr into `errPath`.
Child start(const std::vector<std::string>& args, const std::vector<std::string>& env,
            const std::string& errPath) {
  const pid_t pid = fork();
  if (pid == 0) {
    unsetenv("SOURCE_DATE_EPOCH");
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(err, 2);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  return {pid, errPath};
}

struct Outcome {
  int exitCode = -1;  // -1 when ended by a signal
  int signal = 0;
  QString err;
};

Outcome finish(const Child& run) {
  int status = 0;
  waitpid(run.pid, &status, 0);
  QFile err(QString::fromStdString(run.errPath));
  err.open(QIODevice::ReadOnly);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, WIFSIGNALED(status) ? WTERMSIG(status) : 0,
          QString::fromUtf8(err.readAll())};
}

class FaultTest : public ::testing::Test {
 protected:
  QTemporaryDir dir;        // where the outputs go
  QTemporaryDir stderrDir;  // kept apart, so `dir` holds only what kirune-print made

  std::string path(const std::string& name) const { return dir.path().toStdString() + "/" + name; }
  std::vector<std::string> entries() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir.path().toStdString()))
      names.push_back(e.path().filename());
    return names;
  }
  Outcome kirunePrint(std::vector<std::string> args, const std::vector<std::string>& env = {}) {
    args.insert(args.begin(), KIRUNE_PRINT);
    return finish(start(args, env, stderrDir.path().toStdString() + "/err"));
  }
  Child startKirunePrint(std::vector<std::string> args) {
    args.insert(args.begin(), KIRUNE_PRINT);
    return start(args, {}, stderrDir.path().toStdString() + "/err");
  }
};

bool isCharDevice(const std::string& p) {
  struct stat st {};
  return stat(p.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

QByteArray readAll(const std::string& p) {
  QFile f(QString::fromStdString(p));
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

const std::vector<std::string> kSheet = {"BitBtn13", "--seed", "7", "--set", "SpinEdit1=2"};

std::vector<std::string> with(std::vector<std::string> args, const std::vector<std::string>& more) {
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

TEST_F(FaultTest, ACharacterDeviceIsWrittenToAndStaysADevice) {
  std::vector<std::string> devices = {"/dev/null"};
  if (geteuid() == 0) {
    // A copy of /dev/null in a folder of our own: before, it was replaced by a regular file.
    ASSERT_EQ(mknod(path("nul").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0) << std::strerror(errno);
    devices.push_back(path("nul"));
  }
  for (const std::string& device : devices) {
    for (const char* output : {"--pdf", "--trace"}) {
      SCOPED_TRACE(device + " " + output);
      const Outcome r = kirunePrint(with(kSheet, {output, device}));
      EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
      EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
      EXPECT_TRUE(isCharDevice(device));
    }
  }
  EXPECT_EQ(entries().size(), devices.size() - 1);  // nothing beside the device copy
  if (geteuid() != 0) GTEST_SKIP() << "mknod needs root: only /dev/null was tried";
}

TEST_F(FaultTest, ATargetThatIsNeitherFileNorDeviceIsRefusedAndKept) {
  fs::create_directory(path("folder"));
  ASSERT_EQ(mkfifo(path("fifo").c_str(), 0644), 0);
  struct Case {
    std::string target;
    QString says;
  };
  for (const Case& c : {Case{"folder", "フォルダです"}, Case{"fifo", "名前付きパイプです"}}) {
    for (const char* output : {"--pdf", "--trace"}) {
      SCOPED_TRACE(c.target + " " + output);
      const Outcome r = kirunePrint(with(kSheet, {output, path(c.target)}));
      EXPECT_EQ(r.exitCode, 1);
      EXPECT_TRUE(r.err.contains(QString::fromStdString(path(c.target)))) << r.err.toStdString();
      EXPECT_TRUE(r.err.contains(c.says)) << r.err.toStdString();
    }
  }
  EXPECT_TRUE(fs::is_directory(path("folder")));
  EXPECT_TRUE(fs::is_fifo(path("fifo")));
  EXPECT_EQ(entries().size(), 2u);
}

// A full disk names the file and says the disk is full; nothing is left half written. /dev/full fails
// every write with ENOSPC; as root, a tiny tmpfs in a mount namespace of its own fills up for real.
TEST_F(FaultTest, AFullDiskNamesTheFileAndLeavesNothing) {
  for (const char* output : {"--pdf", "--trace"}) {
    SCOPED_TRACE(output);
    const Outcome r = kirunePrint(with(kSheet, {output, "/dev/full"}));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("/dev/full")) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("ディスクがいっぱいです")) << r.err.toStdString();
  }
  if (geteuid() != 0 || system("unshare -m true 2>/dev/null") != 0) {
    GTEST_SKIP() << "no private mount namespace (needs root): only /dev/full was tried";
  }
  // The run's message, then every path left on the disk, both from inside the namespace.
  const std::string script =
      "mount -t tmpfs -o size=48k kirune-full \"$1\" || exit 99; shift; \"$@\"; rc=$?; "
      "find \"$0\" -mindepth 1 >&2; exit $rc";
  struct Case {
    std::vector<std::string> output;
    QString names;
  };
  const Case cases[] = {{{"--pdf", path("s.pdf")}, "s.pdf"},
                        {{"--trace", path("t.trace")}, "t.trace"},
                        {{"--png", path("pages")}, "page-"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.output[0]);
    std::vector<std::string> args = {
        "unshare",   "-m", "sh", "-c", script, dir.path().toStdString(), dir.path().toStdString(),
        KIRUNE_PRINT};
    args = with(with(args, {"BitBtn13", "--seed", "7", "--set", "SpinEdit1=40"}), c.output);
    const Outcome r = finish(start(args, {}, stderrDir.path().toStdString() + "/err"));
    ASSERT_NE(r.exitCode, 99) << r.err.toStdString();
    EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
    const QStringList lines = r.err.split('\n', Qt::SkipEmptyParts);
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_TRUE(lines[0].contains("ディスクがいっぱいです")) << r.err.toStdString();
    EXPECT_TRUE(lines[0].contains(c.names)) << r.err.toStdString();
    // Left on the full disk: at most the PNG folder and the whole pages before the one that did not fit.
    const QRegularExpression page(QString::fromStdString(path("pages/page-\\d{6}\\.png$")));
    for (const QString& left : lines.mid(1)) {
      const bool allowed = c.output[0] == "--png" &&
                           (left == QString::fromStdString(path("pages")) || page.match(left).hasMatch());
      EXPECT_TRUE(allowed) << left.toStdString();
    }
  }
  EXPECT_TRUE(entries().empty());  // the mount is gone with its namespace
}

// SIGINT or SIGTERM in the middle of a long run: the status of the signal, and no file at all.
TEST_F(FaultTest, ASignalMidRunLeavesNoFile) {
  struct Case {
    std::string output;
    int signal;
  };
  for (const Case& c : {Case{"--pdf", SIGTERM}, Case{"--trace", SIGINT}, Case{"--pdf", SIGINT}}) {
    SCOPED_TRACE(c.output + " " + std::to_string(c.signal));
    const Child run = startKirunePrint({"BitBtn13", "--set", "SpinEdit1=100000", c.output, path("out")});
    // Wait until the run is writing: its temporary file is there.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (entries().empty() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_FALSE(entries().empty()) << "the run never started writing";
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    kill(run.pid, c.signal);
    const Outcome r = finish(run);
    EXPECT_EQ(r.signal, c.signal) << r.err.toStdString();
    EXPECT_TRUE(entries().empty()) << entries().front();
  }
}

TEST_F(FaultTest, APngFolderThatHoldsPagesIsRefusedAndAnEmptyOneTaken) {
  fs::create_directory(path("pages"));
  {
    QFile old(QString::fromStdString(path("pages/page-000003.png")));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("an earlier run");
  }
  const Outcome refused = kirunePrint(with(kSheet, {"--page", "300x400", "--png", path("pages")}));
  EXPECT_EQ(refused.exitCode, 2);
  EXPECT_TRUE(refused.err.contains(QString::fromStdString(path("pages")))) << refused.err.toStdString();
  EXPECT_EQ(std::distance(fs::directory_iterator(path("pages")), fs::directory_iterator()), 1);
  EXPECT_EQ(readAll(path("pages/page-000003.png")), "an earlier run");

  fs::create_directory(path("empty"));
  const Outcome taken = kirunePrint(with(kSheet, {"--page", "300x400", "--png", path("empty")}));
  EXPECT_EQ(taken.exitCode, 0) << taken.err.toStdString();
  std::vector<std::string> pages;
  for (const auto& e : fs::directory_iterator(path("empty"))) pages.push_back(e.path().filename());
  std::sort(pages.begin(), pages.end());
  EXPECT_EQ(pages, (std::vector<std::string>{"page-000001.png", "page-000002.png"}));  // no temporary left
}

TEST_F(FaultTest, ANameThatIsNotUtf8KeepsItsBytes) {
  for (const std::string& name :
       {std::string("\xff\xfe.pdf"), std::string("\xff\xfe.trace"), std::string("\xe3\x81\x82\xff")}) {
    const std::string output = name.ends_with(".pdf")     ? "--pdf"
                               : name.ends_with(".trace") ? "--trace"
                                                          : "--png";
    SCOPED_TRACE(output);
    const Outcome r = kirunePrint(with(kSheet, {output, path(name)}));
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  }
  std::vector<std::string> names = entries();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"\xe3\x81\x82\xff", "\xff\xfe.pdf", "\xff\xfe.trace"}));
  for (const std::string& name : names) fs::remove_all(path(name));  // QTemporaryDir cannot name them
}

TEST_F(FaultTest, SeededPdfsAreTheSameInEveryTimeZoneAndAnUnseededOneRecordsTheLocalTime) {
  QByteArray first;
  for (const char* zone : {"TZ=Asia/Tokyo", "TZ=America/New_York", "TZ=UTC"}) {
    SCOPED_TRACE(zone);
    ASSERT_EQ(kirunePrint(with(kSheet, {"--pdf", path("s.pdf")}), {zone}).exitCode, 0);
    const QByteArray pdf = readAll(path("s.pdf"));
    EXPECT_TRUE(pdf.contains("/CreationDate (D:19700101000000Z)"));
    if (first.isEmpty()) first = pdf;
    EXPECT_EQ(pdf, first);
  }

  const Outcome now = kirunePrint({"BitBtn13", "--pdf", path("now.pdf")}, {"TZ=Asia/Tokyo"});
  ASSERT_EQ(now.exitCode, 0) << now.err.toStdString();
  const auto m = QRegularExpression(R"(/CreationDate \(D:(\d{14})\+09'00'\))")
                     .match(QString::fromLatin1(readAll(path("now.pdf"))));
  ASSERT_TRUE(m.hasMatch());
  const QDateTime recorded =
      QDateTime::fromString(m.captured(1), "yyyyMMddhhmmss").toTimeZone(QTimeZone::utc());
  QDateTime local = QDateTime::fromString(m.captured(1), "yyyyMMddhhmmss");
  local.setTimeZone(QTimeZone(9 * 3600));
  EXPECT_LT(std::abs(local.secsTo(QDateTime::currentDateTimeUtc())), 300)
      << recorded.toString().toStdString();
}

TEST_F(FaultTest, MessagesSayOutOfRangeAndCutLongArguments) {
  const Outcome range = kirunePrint({"BitBtn13", "--set", "SpinEdit1=2147483648", "--pdf", path("s.pdf")});
  EXPECT_EQ(range.exitCode, 2);
  EXPECT_TRUE(range.err.contains("範囲外")) << range.err.toStdString();
  const Outcome seed = kirunePrint({"BitBtn13", "--seed", "18446744073709551616", "--pdf", path("s.pdf")});
  EXPECT_EQ(seed.exitCode, 2);
  EXPECT_TRUE(seed.err.contains("範囲外")) << seed.err.toStdString();

  const std::string huge(100000, 'x');
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{huge, "--pdf", path("s.pdf")},
        std::vector<std::string>{"BitBtn13", "--set", "SpinEdit1=" + huge, "--pdf", path("s.pdf")},
        std::vector<std::string>{"BitBtn13", "--rows", huge, "--pdf", path("s.pdf")},
        std::vector<std::string>{"BitBtn13", "--" + huge, "--pdf", path("s.pdf")}}) {
    const Outcome r = kirunePrint(args);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_LT(r.err.size(), 300) << r.err.left(400).toStdString();
    EXPECT_TRUE(r.err.contains(QString(70, 'x') + QChar(0x2026))) << r.err.left(400).toStdString();
  }
  EXPECT_TRUE(entries().empty());
}

// PNG pages are drawn by Qt with the installed fonts: a missing one is told once and the run goes on.
// A PDF carries its own font and needs none installed. Fonts are found by any of their family names:
// under a Japanese locale Klee One is also 「クレー One」.
TEST_F(FaultTest, MissingFontsAreToldOnceForPngAndNeverForPdf) {
  // A font configuration that finds no font at all.
  QFile conf(stderrDir.filePath("fonts.conf"));
  ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
  conf.write(("<?xml version=\"1.0\"?><fontconfig><dir>" + stderrDir.path() + "/none</dir><cachedir>" +
              stderrDir.path() + "/cache</cachedir></fontconfig>")
                 .toUtf8());
  conf.close();
  const std::string env = "FONTCONFIG_FILE=" + conf.fileName().toStdString();
  const Outcome r = kirunePrint(with(kSheet, {"--png", path("png")}), {env});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  EXPECT_EQ(r.err.count("Klee One"), 1) << r.err.toStdString();
  EXPECT_TRUE(r.err.contains("フォントが見つかりません")) << r.err.toStdString();
  EXPECT_FALSE(QDir(QString::fromStdString(path("png"))).isEmpty());

  const Outcome pdf = kirunePrint(with(kSheet, {"--pdf", path("s.pdf")}), {env});
  EXPECT_EQ(pdf.exitCode, 0) << pdf.err.toStdString();
  EXPECT_TRUE(pdf.err.isEmpty()) << pdf.err.toStdString();
  EXPECT_TRUE(readAll(path("s.pdf")).contains("+KleeOne-Regular"));

  for (const char* lang : {"C.UTF-8", "ja_JP.UTF-8"}) {
    const Outcome found = kirunePrint(with(kSheet, {"--png", path(std::string("png-") + lang)}),
                                      {std::string("LANG=") + lang, std::string("LC_ALL=") + lang});
    EXPECT_EQ(found.exitCode, 0) << lang;
    EXPECT_TRUE(found.err.isEmpty()) << lang << ": " << found.err.toStdString();
  }
}

}  // namespace
