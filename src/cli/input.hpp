// Reading input and cutting it into lines.
//
// A line is the bytes before a "\n"; a "\r" right before that "\n" belongs to
// the line end, not to the line. The text after the last "\n" is a line of its
// own when it is not empty (a "\r" at its end then stays part of it).
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstring>
#include <span>
#include <string_view>

namespace ardovel::cli {

struct FirstLine {
  std::string_view line;  // without its line end
  std::size_t size;       // bytes it takes, line end included
  bool ended;             // by a "\n"
};

// The first line of a non-empty `text`.
[[nodiscard]] inline FirstLine first_line(std::string_view text) noexcept {
  const auto* newline = static_cast<const char*>(std::memchr(text.data(), '\n', text.size()));
  if (newline == nullptr) return {text, text.size(), false};
  const auto length = static_cast<std::size_t>(newline - text.data());
  std::string_view line = text.substr(0, length);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return {line, length + 1, true};
}

// The bytes read and not yet answered: whole lines, then the start of an
// unfinished one. It holds one block; a line longer than that makes it grow
// (by half each time, never zero-filled, so only what is read takes memory),
// and once that line is answered it gives the memory back.
class LineBuffer {
 public:
  explicit LineBuffer(std::size_t block_size);
  ~LineBuffer();
  LineBuffer(const LineBuffer&) = delete;
  LineBuffer& operator=(const LineBuffer&) = delete;

  [[nodiscard]] std::size_t block_size() const noexcept { return block_size_; }
  [[nodiscard]] std::size_t capacity() const noexcept { return capacity_; }
  [[nodiscard]] std::string_view held() const noexcept { return {data_, size_}; }
  // The held bytes up to and including the last "\n".
  [[nodiscard]] std::string_view whole_lines() const noexcept { return {data_, lines_end_}; }
  // The first held line has outgrown a block.
  [[nodiscard]] bool holds_long_line() const noexcept { return long_line_; }

  // Room for the next read, at most `limit` bytes. When one unfinished line
  // fills the buffer, the buffer grows first; when whole lines fill it, there
  // is no room until they are consumed.
  [[nodiscard]] std::span<char> space(std::size_t limit);
  // Takes `count` bytes just read into space(). Only they are searched for a
  // line end, so a long line arriving in small pieces costs time in
  // proportion to its length.
  void commit(std::size_t count) noexcept;
  // Drops the first `count` held bytes, which have been answered.
  void consume(std::size_t count) noexcept;

  // Bytes searched for a line end so far.
  [[nodiscard]] std::size_t bytes_scanned() const noexcept { return scanned_; }

 private:
  void grow();

  const std::size_t block_size_;
  char* data_ = nullptr;
  std::size_t capacity_ = 0;
  std::size_t size_ = 0;
  std::size_t lines_end_ = 0;
  bool long_line_ = false;
  std::size_t scanned_ = 0;
};

// Reads into `buffer` until a block's worth has come, the input ends, or no
// more bytes are ready at once (so that an interactive caller is answered
// line by line). A non-blocking descriptor with nothing ready is waited for.
struct ReadOutcome {
  bool end = false;
  int error = 0;  // errno of a failed read
};
[[nodiscard]] ReadOutcome fill(int fd, LineBuffer& buffer);

// One read of at most `size` bytes, waiting while a non-blocking descriptor
// has nothing ready. Returns the count read, 0 at the end of the input, or
// -1 with errno set.
[[nodiscard]] ssize_t read_waiting(int fd, char* dest, std::size_t size) noexcept;

}  // namespace ardovel::cli
