// kirune-print under output faults: devices, things that are not files, a full disk, signals, a PNG
// folder of an earlier run, names that are not UTF-8, time zones, missing fonts. Arguments keep their
// bytes, and a signal's status can be read.

#include <sys/stat.h>
#include <sys/sysmacros.h>
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

#include "tests/support/program.h"

namespace {

namespace fs = std::filesystem;

namespace test = kirune::test;

struct Outcome {
  bool ok = false;    // ended as expected; the failure is recorded otherwise
  int exitCode = -1;  // -1 when ended by a signal
  QString err;
};

// kirune-print's environment: offscreen, the clock of now, and `env` ("NAME=value") on top.
test::RunOptions options(const std::vector<std::string>& env = {}) {
  test::RunOptions o;
  o.env = {"SOURCE_DATE_EPOCH", "QT_QPA_PLATFORM=offscreen"};
  o.env.insert(o.env.end(), env.begin(), env.end());
  return o;
}

Outcome outcome(const test::Ran& r) { return {r.ok, r.exitCode, QString::fromUtf8(r.err)}; }

class FaultTest : public ::testing::Test {
 protected:
  QTemporaryDir dir;  // where the outputs go
  // The test's own files, kept apart so that `dir` holds only what kirune-print made.
  QTemporaryDir stderrDir;

  std::string path(const std::string& name) const { return dir.path().toStdString() + "/" + name; }
  std::vector<std::string> entries() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir.path().toStdString()))
      names.push_back(e.path().filename());
    return names;
  }
  static Outcome kirunePrint(std::vector<std::string> args, const test::Expect& expect,
                             const std::vector<std::string>& env = {}, test::Where where = {}) {
    args.insert(args.begin(), KIRUNE_PRINT);
    return outcome(test::run(args, expect, options(env), where));
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
      const Outcome r = kirunePrint(with(kSheet, {output, device}), 0);
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
      const Outcome r = kirunePrint(with(kSheet, {output, path(c.target)}), 1);
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
    const Outcome r = kirunePrint(with(kSheet, {output, "/dev/full"}), 1);
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
    const Outcome r = outcome(test::run(args, 1, options()));
    ASSERT_NE(r.exitCode, 99) << "no tmpfs could be mounted";
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
    test::Program run({KIRUNE_PRINT, "BitBtn13", "--set", "SpinEdit1=100000", c.output, path("out")},
                      options());
    // Wait until the run is writing: its temporary file is there.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (entries().empty() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_FALSE(entries().empty()) << "the run never started writing";
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    run.kill(c.signal);
    run.finish(test::Expect::signal(c.signal));
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
  const Outcome refused = kirunePrint(with(kSheet, {"--page", "300x400", "--png", path("pages")}), 2);
  EXPECT_TRUE(refused.err.contains(QString::fromStdString(path("pages")))) << refused.err.toStdString();
  EXPECT_EQ(std::distance(fs::directory_iterator(path("pages")), fs::directory_iterator()), 1);
  EXPECT_EQ(readAll(path("pages/page-000003.png")), "an earlier run");

  fs::create_directory(path("empty"));
  const Outcome taken = kirunePrint(with(kSheet, {"--page", "300x400", "--png", path("empty")}), 0);
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
    const Outcome r = kirunePrint(with(kSheet, {output, path(name)}), 0);
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
    ASSERT_TRUE(kirunePrint(with(kSheet, {"--pdf", path("s.pdf")}), 0, {zone}).ok);
    const QByteArray pdf = readAll(path("s.pdf"));
    EXPECT_TRUE(pdf.contains("/CreationDate (D:19700101000000Z)"));
    if (first.isEmpty()) first = pdf;
    EXPECT_EQ(pdf, first);
  }

  const Outcome now = kirunePrint({"BitBtn13", "--pdf", path("now.pdf")}, 0, {"TZ=Asia/Tokyo"});
  ASSERT_TRUE(now.ok);
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
  const Outcome range = kirunePrint({"BitBtn13", "--set", "SpinEdit1=2147483648", "--pdf", path("s.pdf")}, 2);
  EXPECT_TRUE(range.err.contains("範囲外")) << range.err.toStdString();
  const Outcome seed = kirunePrint({"BitBtn13", "--seed", "18446744073709551616", "--pdf", path("s.pdf")}, 2);
  EXPECT_TRUE(seed.err.contains("範囲外")) << seed.err.toStdString();

  const std::string huge(100000, 'x');
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{huge, "--pdf", path("s.pdf")},
        std::vector<std::string>{"BitBtn13", "--set", "SpinEdit1=" + huge, "--pdf", path("s.pdf")},
        std::vector<std::string>{"BitBtn13", "--rows", huge, "--pdf", path("s.pdf")},
        std::vector<std::string>{"BitBtn13", "--" + huge, "--pdf", path("s.pdf")}}) {
    const Outcome r = kirunePrint(args, 2);
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
  const Outcome r = kirunePrint(with(kSheet, {"--png", path("png")}), 0, {env});
  EXPECT_EQ(r.err.count("Klee One"), 1) << r.err.toStdString();
  EXPECT_TRUE(r.err.contains("フォントが見つかりません")) << r.err.toStdString();
  EXPECT_FALSE(QDir(QString::fromStdString(path("png"))).isEmpty());

  const Outcome pdf = kirunePrint(with(kSheet, {"--pdf", path("s.pdf")}), 0, {env});
  EXPECT_TRUE(pdf.err.isEmpty()) << pdf.err.toStdString();
  EXPECT_TRUE(readAll(path("s.pdf")).contains("+KleeOne-Regular"));

  for (const char* lang : {"C.UTF-8", "ja_JP.UTF-8"}) {
    const Outcome found = kirunePrint(with(kSheet, {"--png", path(std::string("png-") + lang)}), 0,
                                      {std::string("LANG=") + lang, std::string("LC_ALL=") + lang});
    EXPECT_TRUE(found.err.isEmpty()) << lang << ": " << found.err.toStdString();
  }
}

}  // namespace
