#include "input.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <new>

#include "descriptor.hpp"

namespace ardovel::cli {

LineBuffer::LineBuffer(std::size_t block_size) : block_size_(block_size) {
  data_ = static_cast<char*>(std::malloc(block_size_));
  if (data_ == nullptr) throw std::bad_alloc();
  capacity_ = block_size_;
}

LineBuffer::~LineBuffer() { std::free(data_); }

std::span<char> LineBuffer::space(std::size_t limit, std::size_t at_least) {
  while (capacity_ - size_ < at_least) {
    if (lines_end_ != 0) return {};
    grow();
  }
  const std::size_t room = capacity_ - size_;
  return {data_ + size_, room < limit ? room : limit};
}

// realloc, unlike a resize, leaves the new bytes untouched, and for a large
// block moves the pages rather than copying them.
void LineBuffer::grow() {
  const std::size_t grown = capacity_ + capacity_ / 2;
  auto* fresh = static_cast<char*>(std::realloc(data_, grown));
  if (fresh == nullptr) throw std::bad_alloc();
  data_ = fresh;
  capacity_ = grown;
  long_line_ = true;
}

void LineBuffer::commit(std::size_t count) noexcept {
  const auto* newline = static_cast<const char*>(::memrchr(data_ + size_, '\n', count));
  scanned_ += count;
  size_ += count;
  if (newline != nullptr) lines_end_ = static_cast<std::size_t>(newline - data_) + 1;
}

void LineBuffer::consume(std::size_t count) noexcept {
  if (count == 0) return;
  std::memmove(data_, data_ + count, size_ - count);
  size_ -= count;
  lines_end_ = lines_end_ > count ? lines_end_ - count : 0;
  long_line_ = false;
  if (capacity_ > block_size_ && size_ <= block_size_) {
    // Shrinking in place cannot fail in practice; if it does, the larger
    // block simply stays.
    if (auto* smaller = static_cast<char*>(std::realloc(data_, block_size_))) {
      data_ = smaller;
      capacity_ = block_size_;
    }
  }
}

ssize_t read_waiting(int fd, char* dest, std::size_t size) noexcept {
  for (;;) {
    const ssize_t got = ::read(fd, dest, size);
    if (got >= 0) return got;
    if (errno == EINTR) continue;
    if (!would_block(errno)) return -1;
    wait_for(fd, POLLIN);
  }
}

ReadOutcome fill(int fd, LineBuffer& buffer) {
  std::size_t budget = buffer.block_size();
  for (bool first = true; budget > 0; first = false) {
    if (!first && !readable_now(fd)) break;
    const std::span<char> space = buffer.space(budget);
    if (space.empty()) break;
    const ssize_t got = read_waiting(fd, space.data(), space.size());
    if (got < 0) return {false, errno};
    if (got == 0) return {true, 0};
    buffer.commit(static_cast<std::size_t>(got));
    budget -= static_cast<std::size_t>(got);
  }
  return {};
}

}  // namespace ardovel::cli
