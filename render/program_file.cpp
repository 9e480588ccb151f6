#include "render/program_file.h"

#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <unistd.h>

#include <algorithm>
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
};

int collect(dl_phdr_info* info, std::size_t, void* out) {
  // The program itself is the first object listed, under an empty name.
  auto& segments = *static_cast<std::vector<Segment>*>(out);
  for (int i = 0; i < info->dlpi_phnum; ++i) {
    const ElfW(Phdr)& header = info->dlpi_phdr[i];
    if (header.p_type != PT_LOAD || (header.p_flags & PF_W) != 0) continue;
    const std::uintptr_t start = info->dlpi_addr + header.p_vaddr;
    segments.push_back({start, start + header.p_filesz, header.p_offset});
  }
  return 1;
}

const Program& program() {
  static const Program found = [] {
    Program p;
    dl_iterate_phdr(collect, &p.segments);
    if (p.segments.empty()) return p;
    p.fd = ::open("/proc/self/exe", O_RDONLY | O_CLOEXEC);
    // /proc/self/exe is the file the kernel started: the dynamic loader when it was named on the
    // command line ("ld.so ./kirune-print"). So the file is taken only if it begins each segment
    // with what memory holds.
    for (const Segment& s : p.segments) {
      char head[4096];
      const std::size_t want = std::min<std::size_t>(sizeof head, s.end - s.start);
      if (p.fd < 0) break;
      if (::pread(p.fd, head, want, static_cast<off_t>(s.offset)) != static_cast<ssize_t>(want) ||
          std::memcmp(head, reinterpret_cast<const void*>(s.start), want) != 0) {
        ::close(p.fd);
        p.fd = -1;
      }
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
