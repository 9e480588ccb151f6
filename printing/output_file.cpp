#include "printing/output_file.h"

#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "render/errors.h"

namespace kirune {
namespace {

constexpr qsizetype kShownLength = 80;
constexpr std::size_t kBufferSize = 1 << 16;

// Files removed on a signal: fixed storage, so the handler reads no memory that may be moving.
constexpr int kSlots = 16;
char gPaths[kSlots][PATH_MAX];
std::atomic<bool> gTaken[kSlots];  // reserved by a thread
std::atomic<bool> gUsed[kSlots];   // holds a whole path

extern "C" void removeOutputsAndDie(int sig) {
  for (int i = 0; i < kSlots; ++i) {
    if (gUsed[i].load()) ::unlink(gPaths[i]);
  }
  // Back to the default action: the signal, delivered again on return, ends the process with its status.
  ::signal(sig, SIG_DFL);
  ::raise(sig);
}

std::string kindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "フォルダです";
  if (S_ISFIFO(mode)) return "名前付きパイプです";
  if (S_ISSOCK(mode)) return "ソケットです";
  if (S_ISBLK(mode)) return "ブロックデバイスです";
  return "ふつうのファイルではありません";
}

mode_t currentUmask() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

}  // namespace

std::string pathBytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

std::string shownPath(const std::string& path) {
  const QString text = QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size()));
  if (text.size() <= kShownLength) return text.toStdString();
  return (text.left(kShownLength) + QChar(0x2026)).toStdString();
}

std::string reasonFor(int error) {
  switch (error) {
    case ENOSPC:
      return "ディスクがいっぱいです";
    case EDQUOT:
      return "ディスクの割り当てを使い切りました";
    case EACCES:
    case EPERM:
      return "書き込む権限がありません";
    case ENOENT:
      return "フォルダがありません";
    case ENOTDIR:
      return "途中の名前がフォルダではありません";
    case EROFS:
      return "読み込み専用のディスクです";
    case ENAMETOOLONG:
      return "名前が長すぎます";
    case EEXIST:
      return "同じ名前のファイルがあります";
    case EISDIR:
      return "フォルダです";
    case EIO:
      return "ディスクの読み書きに失敗しました";
    default:
      return std::strerror(error);
  }
}

OutputFile::OutputFile(std::string path, std::string what) : path_(std::move(path)), what_(std::move(what)) {
  const auto refuse = [this](const std::string& reason) {
    throw PrinterError(what_ + "を書き込めません: " + shownPath(path_) + "（" + reason + "）");
  };
  std::string target = path_;
  struct stat st {};
  if (::lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    // A link stays a link: the file it points to is what is written.
    if (char* real = ::realpath(target.c_str(), nullptr)) {
      target = real;
      std::free(real);
    }
  }
  const bool exists = ::stat(target.c_str(), &st) == 0;
  if (exists && S_ISCHR(st.st_mode)) {
    // A device (/dev/null) is written to as it is; renaming over it would replace it by a file.
    fd_ = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd_ < 0) refuse(reasonFor(errno));
    return;
  }
  if (exists && !S_ISREG(st.st_mode)) refuse(kindOf(st.st_mode));

  const auto slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  if (base.size() > 200) base.resize(200);  // the temporary name must stay a valid name
  temporary_ = folder + "." + base + ".kirune-XXXXXX";
  fd_ = ::mkostemp(temporary_.data(), O_CLOEXEC);
  if (fd_ < 0) {
    const int error = errno;
    temporary_.clear();
    refuse(reasonFor(error));
  }
  slot_ = removeOnSignal(temporary_);
  // The file gets the permissions the target has, or those a new file would get.
  ::fchmod(fd_, exists ? (st.st_mode & 07777) : (0666 & ~currentUmask()));
}

OutputFile::~OutputFile() { discard(); }

bool OutputFile::write(const char* data, std::size_t size) {
  while (error_ == 0 && size > 0) {
    const ssize_t n = ::write(fd_, data, size);
    if (n < 0) {
      if (errno != EINTR) error_ = errno;
      continue;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return error_ == 0;
}

bool OutputFile::writeFrom(int source, std::uint64_t offset, const char* data, std::size_t size) {
  auto at = static_cast<off_t>(offset);
  while (error_ == 0 && size > 0) {
    const ssize_t n = ::sendfile(fd_, source, &at, size);
    if (n > 0) {
      data += n;
      size -= static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    // A target or source that cannot be copied between (or a source cut short): the rest from memory.
    // A full disk or a failing one fails the same way here as there.
    if (n < 0 && errno != EINVAL && errno != ESPIPE && errno != ENOSYS && errno != EOPNOTSUPP &&
        errno != EOVERFLOW) {
      error_ = errno;
      return false;
    }
    break;
  }
  return write(data, size);
}

void OutputFile::fail() const {
  throw PrinterError(what_ + "を書き込めません: " + shownPath(path_) + "（" + reasonFor(error_) + "）");
}

void OutputFile::commit() {
  if (error_ != 0) fail();
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0 && errno != EINTR) error_ = errno;
  if (error_ == 0 && !temporary_.empty() && ::rename(temporary_.c_str(), path_.c_str()) != 0) error_ = errno;
  if (error_ != 0) {
    discard();
    fail();
  }
  keepOnSignal(slot_);
  slot_ = -1;
  temporary_.clear();
}

void OutputFile::discard() noexcept {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  temporary_.clear();
  keepOnSignal(slot_);
  slot_ = -1;
}

OutputFileDevice::OutputFileDevice(OutputFile& file) : file_(file) { open(QIODevice::WriteOnly); }

// A failed write is kept in the file and reported by commit(), naming the file and the cause; the writer
// goes on as if it had succeeded, so that libpng does not print its own English words about it.
qint64 OutputFileDevice::writeData(const char* data, qint64 size) {
  file_.write(data, static_cast<std::size_t>(size));
  return size;
}

OutputFileBuffer::OutputFileBuffer(OutputFile& file) : file_(file), buffer_(new char[kBufferSize]) {
  setp(buffer_.get(), buffer_.get() + kBufferSize);
}

bool OutputFileBuffer::drain() {
  const bool ok = file_.write(pbase(), static_cast<std::size_t>(pptr() - pbase()));
  setp(buffer_.get(), buffer_.get() + kBufferSize);
  return ok;
}

OutputFileBuffer::int_type OutputFileBuffer::overflow(int_type c) {
  if (!drain()) return traits_type::eof();
  if (!traits_type::eq_int_type(c, traits_type::eof())) {
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
  }
  return traits_type::not_eof(c);
}

int OutputFileBuffer::sync() { return drain() ? 0 : -1; }

void removeOutputsOnSignals() {
  struct sigaction action {};
  action.sa_handler = removeOutputsAndDie;
  sigemptyset(&action.sa_mask);
  sigaddset(&action.sa_mask, SIGINT);
  sigaddset(&action.sa_mask, SIGTERM);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

int removeOnSignal(const std::string& path) noexcept {
  if (path.size() >= PATH_MAX) return -1;
  // A slot is taken before its path is written and counted only once the path is whole, so that two
  // threads never share one and the handler never reads half a path.
  for (int i = 0; i < kSlots; ++i) {
    if (gTaken[i].exchange(true)) continue;
    std::memcpy(gPaths[i], path.c_str(), path.size() + 1);
    gUsed[i].store(true);
    return i;
  }
  return -1;
}

void keepOnSignal(int slot) noexcept {
  if (slot < 0) return;
  gUsed[slot].store(false);
  gTaken[slot].store(false);
}

}  // namespace kirune
