#pragma once
// What the printing tests share: the private spooler the fixture starts (cups_spooler.sh, its folder in
// KIRUNE_CUPS_DIR), commands run to completion, and reading back the PDFs cups-pdf made of the jobs.
#include <cups/cups.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QRegularExpression>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>

#include "tests/support/program.h"

namespace kirune::spool {

inline QString spoolerDir() { return qEnvironmentVariable("KIRUNE_CUPS_DIR"); }
inline QString spoolerScript() { return QStringLiteral(KIRUNE_CUPS_SCRIPT); }

// Points libcups (and so Qt's printer too) at the spooler in `dir`.
inline void useSpooler(const QString& socket) {
  qputenv("CUPS_SERVER", socket.toUtf8());
  cupsSetServer(nullptr);  // forget the server libcups looked up before
}

// Points this test at the spooler the CTest fixture started, with `home` as the user's home and
// configuration folder, where the no-printer folder and the user's printer settings go.
inline void useFixtureSpooler(const QTemporaryDir& home) {
  ASSERT_FALSE(spoolerDir().isEmpty()) << "run through ctest: the fixture starts the spooler";
  useSpooler(spoolerDir() + "/cups.sock");
  ASSERT_TRUE(home.isValid());
  qputenv("HOME", home.path().toUtf8());
  qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toUtf8());
}

// Runs a command to its end and gives its output, standard error merged in; a failure is recorded at
// the caller's line when it ends otherwise than `expect` says.
inline QString run(const QString& program, const QStringList& arguments, const test::Expect& expect,
                   test::Where where = {}) {
  test::RunOptions options;
  options.mergeErr = true;
  return QString::fromStdString(test::run(program, arguments, expect, options, where).out);
}

// A command the test cannot go on without.
inline void admin(const QStringList& arguments, test::Where where = {}) {
  test::RunOptions options;
  options.mergeErr = true;
  ASSERT_TRUE(test::run(arguments.first(), arguments.mid(1), 0, options, where).ok);
}

// One more private spooler beside the fixture's, stopped when the test leaves it, however it leaves.
class ExtraSpooler {
 public:
  explicit ExtraSpooler(const QString& name) : dir_(spoolerDir() + "-" + name) {}
  ~ExtraSpooler() { run("bash", {spoolerScript(), "stop", dir_}, 0); }
  ExtraSpooler(const ExtraSpooler&) = delete;
  ExtraSpooler& operator=(const ExtraSpooler&) = delete;

  void start() { admin({"bash", spoolerScript(), "start", dir_}); }
  /// Starts it with its spool folder on a tmpfs of `size` ("400k"); false, with the reason in `why`,
  /// when no tmpfs can be mounted here.
  bool startOnTmpfs(const QString& size, QString* why) {
    test::RunOptions options;
    options.env = {"KIRUNE_SPOOL_SIZE=" + size.toStdString()};
    options.mergeErr = true;
    const test::Ran ran =
        test::run("bash", {spoolerScript(), "start", dir_}, test::Expect::oneOf({0, 3}), options);
    *why = QString::fromStdString(ran.out).trimmed();
    return ran.exitCode != 3;  // the script's word for "no tmpfs"
  }
  void stop() { admin({"bash", spoolerScript(), "stop", dir_}); }
  QString dir() const { return dir_; }
  QString socket() const { return dir_ + "/cups.sock"; }

 private:
  QString dir_;
};

// The ids of the jobs of `queue` above `after`, in the order they were queued.
inline QList<int> jobsAfter(int after, const char* queue = "kirune-pdf") {
  cups_job_t* jobs = nullptr;
  const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, queue, 0, CUPS_WHICHJOBS_ALL);
  QList<int> ids;
  for (int i = 0; i < count; ++i) {
    if (jobs[i].id > after) ids << jobs[i].id;
  }
  cupsFreeJobs(count, jobs);
  std::sort(ids.begin(), ids.end());
  return ids;
}

// The title (IPP job-name) of each of `jobs` of `queue`, in the order of `jobs`.
inline QStringList jobTitles(const QList<int>& ids, const char* queue = "kirune-pdf") {
  cups_job_t* jobs = nullptr;
  const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, queue, 0, CUPS_WHICHJOBS_ALL);
  QStringList titles;
  for (int id : ids) {
    QString title;
    for (int i = 0; i < count; ++i) {
      if (jobs[i].id == id && jobs[i].title) title = QString::fromUtf8(jobs[i].title);
    }
    titles << title;
  }
  cupsFreeJobs(count, jobs);
  return titles;
}

// Bytes in the fixture's spooler's access log (it logs every request), to read what came after.
inline qint64 accessLogSize() { return QFileInfo(spoolerDir() + "/log/access_log").size(); }

// How often the spooler was asked about a queue after byte `from` of its access log, before the first
// job was made; -1 when no job was made.
inline int queueQuestionsBeforeFirstJob(qint64 from) {
  QFile log(spoolerDir() + "/log/access_log");
  if (!log.open(QIODevice::ReadOnly) || !log.seek(from)) return -1;
  int questions = 0;
  for (const QByteArray& line : log.readAll().split('\n')) {
    const QList<QByteArray> words = line.trimmed().split(' ');
    if (words.size() < 2) continue;
    const QByteArray& operation = words[words.size() - 2];  // "... Get-Printer-Attributes successful-ok"
    if (operation == "Create-Job") return questions;
    if (operation == "Get-Printer-Attributes") ++questions;
  }
  return -1;
}

inline int lastJob(const char* queue = "kirune-pdf") {
  const QList<int> ids = jobsAfter(0, queue);
  return ids.isEmpty() ? 0 : ids.last();
}

// The PDFs cups-pdf made for `jobs` (file names carry the job id), once the spooler has finished them.
inline QStringList spooledFiles(const QList<int>& jobs) {
  QStringList files;
  for (int attempt = 0; attempt < 600; ++attempt) {
    files.clear();
    const QStringList made = QDir(spoolerDir() + "/out").entryList(QDir::Files);
    for (int job : jobs) {
      const QStringList found =
          made.filter(QRegularExpression(QStringLiteral("(^|\\D)job_%1(\\D|$)").arg(job)));
      if (found.size() == 1) files << spoolerDir() + "/out/" + found.first();
    }
    cups_job_t* completed = nullptr;
    const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &completed, nullptr, 0, CUPS_WHICHJOBS_ACTIVE);
    cupsFreeJobs(count, completed);
    if (files.size() == jobs.size() && count == 0) return files;
    QThread::msleep(100);
  }
  return files;
}

inline int pdfPages(const QString& file) {
  const QRegularExpressionMatch match =
      QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(run("pdfinfo", {file}, 0));
  return match.hasMatch() ? match.captured(1).toInt() : -1;
}

inline int pdfImages(const QString& file) {
  // Two heading lines, then one line per image.
  return static_cast<int>(run("pdfimages", {"-list", file}, 0).trimmed().split('\n').size()) - 2;
}

// The colour and encoding of every image of a PDF, as "gray image", "rgb jpeg" ...
inline QSet<QString> pdfImageKinds(const QString& file) {
  QSet<QString> kinds;
  const QStringList rows = run("pdfimages", {"-list", file}, 0).split('\n');
  for (const QString& row : rows.mid(2)) {
    const QStringList cols = row.split(' ', Qt::SkipEmptyParts);
    if (cols.size() > 8) kinds.insert(cols[5] + ' ' + cols[8]);
  }
  return kinds;
}

}  // namespace kirune::spool
