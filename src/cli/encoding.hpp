// Reading input in another encoding (Windows-1250, ISO-8859-5, anything
// glibc's iconv knows) as UTF-8, block by block.
#pragma once

#include <iconv.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "input.hpp"

namespace ardovel::cli {

// One iconv conversion from a named encoding to UTF-8, closed at the end.
class Decoder {
 public:
  // The decoder for `encoding`, or nothing with errno set (EINVAL: iconv
  // knows no such encoding). An empty name is refused too: iconv would take
  // it for the locale's encoding.
  [[nodiscard]] static std::optional<Decoder> open(const std::string& encoding);

  Decoder(Decoder&& other) noexcept;
  Decoder& operator=(Decoder&& other) noexcept;
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;
  ~Decoder();

  // Why a conversion stopped.
  enum class Stop {
    input_used,   // everything given was converted
    output_full,  // the next character does not fit
    incomplete,   // the input ends inside a sequence, which needs more bytes
    invalid,      // the input's next byte starts no valid sequence
  };
  struct Converted {
    std::size_t read;
    std::size_t written;
    Stop stop;
  };
  // Converts as much of `in` as fits into `out`.
  [[nodiscard]] Converted convert(std::string_view in, std::span<char> out) noexcept;
  // Back to the initial state, for a new input.
  void reset() noexcept;

  [[nodiscard]] const std::string& encoding() const noexcept { return encoding_; }

 private:
  Decoder(iconv_t handle, std::string encoding) noexcept : handle_(handle), encoding_(std::move(encoding)) {}

  iconv_t handle_;
  std::string encoding_;
};

// Input in another encoding, put into a LineBuffer as UTF-8. The bytes read
// but not yet converted (a sequence cut by a read, or more than the buffer
// takes at once) are held here for the next fill; no more than one block is
// ever read ahead.
class DecodedInput {
 public:
  DecodedInput(Decoder decoder, std::size_t block_size);

  // A new input: the decoder's state and anything held are dropped.
  void start() noexcept;
  // As cli::fill, but converting. When the input holds a byte that is invalid
  // in the encoding (or ends inside a sequence), everything before it has
  // been put into the buffer, the result says end, and invalid_byte() tells.
  [[nodiscard]] ReadOutcome fill(int fd, LineBuffer& buffer);

  [[nodiscard]] std::optional<unsigned char> invalid_byte() const noexcept { return invalid_; }
  [[nodiscard]] const std::string& encoding() const noexcept { return decoder_.encoding(); }

 private:
  // Converts held bytes into the buffer, at most about `budget` bytes of
  // output. Returns the bytes written, or false when no byte can be until
  // the buffer's whole lines are consumed.
  [[nodiscard]] std::optional<std::size_t> convert_held(LineBuffer& buffer, std::size_t budget);
  [[nodiscard]] std::string_view held() const noexcept { return {raw_.get() + begin_, end_ - begin_}; }
  // Reads once after the held bytes: the count, 0 at the end, -1 on error.
  [[nodiscard]] ssize_t read_more(int fd) noexcept;

  Decoder decoder_;
  std::size_t capacity_;
  std::unique_ptr<char[]> raw_;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool needs_input_ = true;  // the held bytes end inside a sequence
  bool starved_ = false;     // the last conversion found no room for a character
  std::optional<unsigned char> invalid_;
};

}  // namespace ardovel::cli
