// Advice for a large block that is about to be written for the first time
// (a picture's pixels, a data part being read): backed by the kernel's
// large pages (2 MB), it takes one page fault per 2 MB instead of one per
// 4 KB, and those faults are most of the time a fresh 4096 x 4096 picture
// takes. Only advice: where the kernel does not offer it nothing changes.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>

namespace platform {

// Advises the whole 2 MB stretches inside `bytes` bytes from `block`.
inline void AdviseLargePages(void* block, std::size_t bytes) {
  constexpr std::uintptr_t kLarge = std::uintptr_t(2) << 20;
  const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(block);
  const std::uintptr_t from = (start + kLarge - 1) & ~(kLarge - 1), to = (start + bytes) & ~(kLarge - 1);
  if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
}

}  // namespace platform
