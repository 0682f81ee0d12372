#include "encoding.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "ardovel/utf8.hpp"
#include "descriptor.hpp"

namespace ardovel::cli {
namespace {

const iconv_t no_handle = reinterpret_cast<iconv_t>(-1);  // NOLINT: iconv's own failure value

// UTF-8 takes at most four bytes per code point, and no encoding iconv knows
// turns one of its characters into more than a few code points.
constexpr std::size_t room_for_any_character = 32;

// Raw bytes read at a time: a quarter block, since one byte of a legacy
// encoding may take up to three in UTF-8.
constexpr std::size_t raw_share = 4;

}  // namespace

std::optional<Decoder> Decoder::open(const std::string& encoding) {
  if (encoding.empty()) {
    errno = EINVAL;
    return std::nullopt;
  }
  const iconv_t handle = ::iconv_open("UTF-8", encoding.c_str());
  if (handle == no_handle) return std::nullopt;
  return Decoder(handle, encoding);
}

Decoder::Decoder(Decoder&& other) noexcept
    : handle_(std::exchange(other.handle_, no_handle)), encoding_(std::move(other.encoding_)) {}

// The handle this one had goes with `other`, which closes it.
Decoder& Decoder::operator=(Decoder&& other) noexcept {
  std::swap(handle_, other.handle_);
  std::swap(encoding_, other.encoding_);
  return *this;
}

Decoder::~Decoder() {
  if (handle_ != no_handle) ::iconv_close(handle_);
}

Decoder::Converted Decoder::convert(std::string_view in, std::span<char> out) noexcept {
  // iconv's interface is older than const; it does not write the input.
  char* in_at = const_cast<char*>(in.data());
  std::size_t in_left = in.size();
  char* out_at = out.data();
  std::size_t out_left = out.size();
  Stop stop = Stop::input_used;
  if (::iconv(handle_, &in_at, &in_left, &out_at, &out_left) == static_cast<std::size_t>(-1)) {
    stop = errno == E2BIG ? Stop::output_full : errno == EINVAL ? Stop::incomplete : Stop::invalid;
  }
  return {in.size() - in_left, out.size() - out_left, stop};
}

void Decoder::reset() noexcept { (void)::iconv(handle_, nullptr, nullptr, nullptr, nullptr); }

DecodedInput::DecodedInput(Decoder decoder, std::size_t block_size)
    : decoder_(std::move(decoder)),
      capacity_(std::max(block_size / raw_share, room_for_any_character)),
      raw_(std::make_unique<char[]>(capacity_)) {}

void DecodedInput::start() noexcept {
  decoder_.reset();
  begin_ = end_ = 0;
  needs_input_ = true;
  starved_ = false;
  invalid_.reset();
}

ReadOutcome DecodedInput::fill(int fd, LineBuffer& buffer) {
  std::size_t budget = buffer.block_size();
  bool may_wait = true;  // the first read may wait; later ones take only what is ready
  while (budget > 0) {
    if (!needs_input_) {
      const std::optional<std::size_t> written = convert_held(buffer, budget);
      if (!written) break;
      budget -= std::min(*written, budget);
      if (invalid_) return {true, 0};
      continue;
    }
    if (!may_wait && !readable_now(fd)) break;
    may_wait = false;
    const ssize_t got = read_more(fd);
    if (got < 0) return {false, errno};
    if (got == 0) {
      // The input ends inside a sequence.
      if (begin_ < end_) invalid_ = static_cast<unsigned char>(raw_[begin_]);
      return {true, 0};
    }
    needs_input_ = false;
  }
  return {};
}

std::optional<std::size_t> DecodedInput::convert_held(LineBuffer& buffer, std::size_t budget) {
  const std::size_t least = starved_ ? room_for_any_character : 1;
  const std::span<char> space = buffer.space(std::max(budget, least), least);
  if (space.empty()) return std::nullopt;
  Decoder::Converted step = decoder_.convert(held(), space);
  // glibc passes UCS-4 values above U+10FFFF on as four-byte sequences
  // that are no UTF-8; such a value is as invalid in its encoding as a
  // surrogate, which iconv itself refuses.
  const std::size_t valid = find_invalid_utf8(reinterpret_cast<const unsigned char*>(space.data()), step.written);
  if (valid != step.written) {
    // Only encodings without state (UCS-4 and its kin) make such values,
    // so converting again from the same start, with room for just the
    // valid bytes, finds where the bad character's bytes begin.
    decoder_.reset();
    step = decoder_.convert(held(), space.first(valid));
    step.stop = Decoder::Stop::invalid;
  }
  buffer.commit(step.written);
  begin_ += step.read;
  starved_ = step.stop == Decoder::Stop::output_full && step.written == 0;
  switch (step.stop) {
    case Decoder::Stop::input_used:
    case Decoder::Stop::incomplete:
      needs_input_ = true;
      break;
    case Decoder::Stop::invalid:
      invalid_ = static_cast<unsigned char>(raw_[begin_]);
      break;
    case Decoder::Stop::output_full:
      break;
  }
  return step.written;
}

ssize_t DecodedInput::read_more(int fd) noexcept {
  // Only the start of a cut sequence is ever held here.
  std::memmove(raw_.get(), raw_.get() + begin_, end_ - begin_);
  end_ -= begin_;
  begin_ = 0;
  const ssize_t got = read_waiting(fd, raw_.get() + end_, capacity_ - end_);
  if (got > 0) end_ += static_cast<std::size_t>(got);
  return got;
}

}  // namespace ardovel::cli
