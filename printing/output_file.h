#pragma once

#include <QIODevice>
#include <QString>
#include <cstdint>
#include <memory>
#include <streambuf>
#include <string>

namespace kirune {

/// How a path names a file on disk: its bytes exactly as the system has them, so a name that is not
/// UTF-8 is kept as it is.
std::string pathBytes(const QString& path);
/// A path for messages: the bytes read as UTF-8, invalid bytes shown as U+FFFD, cut to a readable length.
std::string shownPath(const std::string& path);

/// What a failed call on `path` means, in plain Japanese: "ディスクがいっぱいです" for ENOSPC and so on.
std::string reasonFor(int error);

/// A file that appears only complete. Written under a temporary name in the target's own folder and
/// renamed over the target by commit(); a run that fails, or is ended by SIGINT or SIGTERM once
/// removeOutputsOnSignals() is installed, leaves no part of it behind. A character device (/dev/null)
/// is written to directly and never replaced; any other target that is not a regular file is refused.
class OutputFile {
 public:
  /// `what` names the output in messages ("PDF ", "トレース", "PNG "). Throws PrinterError when the
  /// target is refused or nothing can be written beside it.
  OutputFile(std::string path, std::string what);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  /// Writes all of `data`; false when a write failed (error() then says why).
  bool write(const char* data, std::size_t size);
  /// Writes the `size` bytes at `data`, which are also at `offset` in the file `source`: the kernel
  /// copies them from file to file where it can (the program never reads them), from memory otherwise.
  bool writeFrom(int source, std::uint64_t offset, const char* data, std::size_t size);
  /// Puts the file in place; throws PrinterError naming the file and the cause.
  void commit();
  /// Removes what was written; the target stays as it was.
  void discard() noexcept;
  /// Throws PrinterError naming the file and the cause of the first failed write.
  [[noreturn]] void fail() const;

  const std::string& path() const { return path_; }
  bool failed() const { return error_ != 0; }

 private:
  std::string path_;
  std::string what_;
  std::string temporary_;  // empty for a device written directly
  int fd_ = -1;
  int slot_ = -1;  // in the list of files removed on a signal
  int error_ = 0;
};

/// A QIODevice that writes to an OutputFile (PdfSink writes through it). Its writes always succeed: a
/// failure is kept by the file, and its commit() throws.
class OutputFileDevice final : public QIODevice {
 public:
  explicit OutputFileDevice(OutputFile& file);

 protected:
  qint64 readData(char*, qint64) override { return -1; }
  qint64 writeData(const char* data, qint64 size) override;

 private:
  OutputFile& file_;
};

/// A std::streambuf that writes to an OutputFile in blocks (the trace streams through it).
class OutputFileBuffer final : public std::streambuf {
 public:
  explicit OutputFileBuffer(OutputFile& file);

 protected:
  int_type overflow(int_type c) override;
  int sync() override;

 private:
  bool drain();

  OutputFile& file_;
  std::unique_ptr<char[]> buffer_;
};

/// On SIGINT or SIGTERM, removes every output file not yet in place (and the temporary files the
/// outputs draw in), then ends the process as the signal would have. Call once at start-up.
void removeOutputsOnSignals();

/// Registers a temporary file to be removed on a signal; returns the slot to release, or -1 when the
/// list is full. The path must stay valid until it is released.
int removeOnSignal(const std::string& path) noexcept;
void keepOnSignal(int slot) noexcept;

}  // namespace kirune
