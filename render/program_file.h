#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace kirune {

/// Where bytes of the running program's read-only data lie in the program's own file.
struct ProgramFileRange {
  int fd;  ///< the program's file, open for reading for the whole run; never to be closed
  std::uint64_t offset;
};

/// The place in the program's file of the `size` bytes at `data`, when they lie in a read-only segment
/// of the program itself, so that the file holds exactly what memory does; nothing otherwise (another
/// object, writable data, a system without /proc/self/exe). The kernel can then copy them from that
/// file into another without the program touching them: on a virtual machine, reading pages of the
/// program that were never read costs more than the copy itself.
std::optional<ProgramFileRange> programFileRange(const void* data, std::size_t size);

}  // namespace kirune
