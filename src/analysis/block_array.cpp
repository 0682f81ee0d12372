#include "ardovel/block_array.hpp"

#include <sys/mman.h>

namespace ardovel {

void* block_detail::allocate(std::size_t& bytes, std::size_t alignment) {
  constexpr std::size_t huge_page = std::size_t{2} << 20;
  const bool huge = bytes >= huge_page;
  const std::size_t unit = huge ? huge_page : alignment;
  bytes = (bytes + unit - 1) / unit * unit;
  void* block = std::aligned_alloc(unit, bytes);
  if (block == nullptr) throw std::bad_alloc();
  // Only advice: where huge pages are not to be had, small ones serve.
  if (huge) madvise(block, bytes, MADV_HUGEPAGE);
  return block;
}

}  // namespace ardovel
