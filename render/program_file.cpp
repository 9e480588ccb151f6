#include "render/program_file.h"

#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <unistd.h>

#include <cstring>
#include <vector>

namespace kirune {
namespace {

struct Segment {
  std::uintptr_t start;
  std::uintptr_t end;  // of the bytes the file holds (a segment's tail may be zeroes made at load)
  std::uint64_t offset;
};

struct Program {
  int fd = -1;
  std::vector<Segment> segments;  // read-only ones only: a writable one may differ from the file
  const ElfW(Phdr) * headers = nullptr;
  int headerCount = 0;
};

int collect(dl_phdr_info* info, std::size_t, void* out) {
  // The program itself is the first object listed, under an empty name.
  auto& p = *static_cast<Program*>(out);
  p.headers = info->dlpi_phdr;
  p.headerCount = info->dlpi_phnum;
  for (int i = 0; i < info->dlpi_phnum; ++i) {
    const ElfW(Phdr)& header = info->dlpi_phdr[i];
    if (header.p_type != PT_LOAD || (header.p_flags & PF_W) != 0) continue;
    const std::uintptr_t start = info->dlpi_addr + header.p_vaddr;
    p.segments.push_back({start, start + header.p_filesz, header.p_offset});
  }
  return 1;
}

// /proc/self/exe is the file the kernel started: the dynamic loader when it was named on the command
// line ("ld.so ./kirune-print"). It is the program's file when its program headers are those loaded.
bool isTheProgram(int fd, const Program& p) {
  ElfW(Ehdr) elf{};
  if (::pread(fd, &elf, sizeof elf, 0) != static_cast<ssize_t>(sizeof elf)) return false;
  if (elf.e_phnum != p.headerCount || elf.e_phentsize != sizeof(ElfW(Phdr))) return false;
  std::vector<ElfW(Phdr)> headers(static_cast<std::size_t>(p.headerCount));
  const auto bytes = static_cast<ssize_t>(headers.size() * sizeof(ElfW(Phdr)));
  return ::pread(fd, headers.data(), static_cast<std::size_t>(bytes), static_cast<off_t>(elf.e_phoff)) ==
             bytes &&
         std::memcmp(headers.data(), p.headers, static_cast<std::size_t>(bytes)) == 0;
}

const Program& program() {
  static const Program found = [] {
    Program p;
    dl_iterate_phdr(collect, &p);
    if (p.segments.empty()) return p;
    p.fd = ::open("/proc/self/exe", O_RDONLY | O_CLOEXEC);
    if (p.fd >= 0 && !isTheProgram(p.fd, p)) {
      ::close(p.fd);
      p.fd = -1;
    }
    return p;
  }();
  return found;
}

}  // namespace

std::optional<ProgramFileRange> programFileRange(const void* data, std::size_t size) {
  const Program& p = program();
  if (p.fd < 0) return std::nullopt;
  const auto at = reinterpret_cast<std::uintptr_t>(data);
  for (const Segment& s : p.segments) {
    if (at >= s.start && at <= s.end && size <= s.end - at)
      return ProgramFileRange{p.fd, s.offset + (at - s.start)};
  }
  return std::nullopt;
}

}  // namespace kirune
