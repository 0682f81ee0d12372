#include "output.hpp"

#include <sys/uio.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstddef>
#include <cstring>

#include "ardovel/utf8.hpp"
#include "descriptor.hpp"

namespace ardovel::cli {
namespace {

// Writes every byte the vector describes, advancing it past each partial
// write. Returns 0, or the errno of the failure.
int write_vector(int fd, iovec* pieces, std::size_t count) noexcept {
  while (count > 0) {
    const ssize_t written = ::writev(fd, pieces, static_cast<int>(count));
    if (written < 0) {
      if (errno == EINTR) continue;
      if (would_block(errno)) {
        wait_for(fd, POLLOUT);
        continue;
      }
      return errno;
    }
    auto left = static_cast<std::size_t>(written);
    while (count > 0 && left >= pieces->iov_len) {
      left -= pieces->iov_len;
      ++pieces;
      --count;
    }
    if (count > 0) {
      pieces->iov_base = static_cast<char*>(pieces->iov_base) + left;
      pieces->iov_len -= left;
    }
  }
  return 0;
}

iovec piece_of(std::string_view text) noexcept {
  return {const_cast<char*>(text.data()), text.size()};
}

// How one character of a file name bears on its quoting.
enum class Need {
  nothing,     // safe anywhere
  quotes,      // special to a shell: the name must be quoted
  apostrophe,  // a single quote
  escape,      // control character or ill-formed byte: a $'...' escape
};

struct Piece {
  std::size_t size;
  Need need;
  bool fits_double_quotes;  // may stand inside "..." as it is
};

bool is_safe_ascii(unsigned char byte) noexcept {
  return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') ||
         std::strchr("%+,-./@]_", byte) != nullptr;
}

// Length of the well-formed UTF-8 sequence starting at `at`, 0 if none does.
std::size_t sequence_length(std::string_view name, std::size_t at) noexcept {
  const auto lead = static_cast<unsigned char>(name[at]);
  const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
  if (name.size() - at < length) return 0;
  const auto* bytes = reinterpret_cast<const unsigned char*>(name.data() + at);
  return find_invalid_utf8(bytes, length) == length ? length : 0;
}

Piece ascii_piece(std::string_view name, std::size_t at) noexcept {
  const auto byte = static_cast<unsigned char>(name[at]);
  if (byte < 0x20 || byte == 0x7F) return {1, Need::escape, false};
  if (byte == '\'') return {1, Need::apostrophe, true};
  if (is_safe_ascii(byte)) return {1, Need::nothing, true};
  if (byte == ':' || byte == ' ') return {1, Need::quotes, true};
  // Braces are special to a shell only standing alone; '#' and '~' only at
  // the start of a word.
  if (byte == '{' || byte == '}') return {1, name.size() == 1 ? Need::quotes : Need::nothing, name.size() == 1};
  if (byte == '#' || byte == '~') return {1, at == 0 ? Need::quotes : Need::nothing, at == 0};
  return {1, Need::quotes, false};
}

Piece piece_at(std::string_view name, std::size_t at) noexcept {
  if (static_cast<unsigned char>(name[at]) < 0x80) return ascii_piece(name, at);
  const std::size_t length = sequence_length(name, at);
  if (length == 0) return {1, Need::escape, false};
  // U+0080..U+009F, the C1 controls, are C2 80..C2 9F.
  const bool c1_control = length == 2 && static_cast<unsigned char>(name[at]) == 0xC2 &&
                          static_cast<unsigned char>(name[at + 1]) < 0xA0;
  if (c1_control) return {2, Need::escape, false};
  return {length, Need::nothing, true};
}

void append_escape(unsigned char byte, std::string& out) {
  static constexpr std::string_view letters = "abtnvfr";  // bytes 7 to 13
  out.push_back('\\');
  if (byte >= 7 && byte <= 13) {
    out.push_back(letters[byte - 7]);
    return;
  }
  out.push_back(static_cast<char>('0' + (byte >> 6)));
  out.push_back(static_cast<char>('0' + ((byte >> 3) & 7)));
  out.push_back(static_cast<char>('0' + (byte & 7)));
}

// The name in single quotes, each control character or ill-formed byte in a
// $'...' stretch of its own between them: 'a'$'\n''b'.
std::string quote_with_escapes(std::string_view name) {
  std::string out = "'";
  bool in_escape = false;  // a $'... stretch is open
  for (std::size_t at = 0; at < name.size();) {
    const Piece piece = piece_at(name, at);
    if (piece.need == Need::escape) {
      if (!in_escape) out.append("'$'");
      in_escape = true;
      for (std::size_t i = 0; i < piece.size; ++i) append_escape(static_cast<unsigned char>(name[at + i]), out);
    } else if (piece.need == Need::apostrophe) {
      // Ends the open quotes of either kind, adds a quoted apostrophe, and
      // opens plain quotes again.
      out.append("'\\''");
      in_escape = false;
    } else {
      if (in_escape) out.append("''");
      in_escape = false;
      out.append(name.substr(at, piece.size));
    }
    at += piece.size;
  }
  out.push_back('\'');
  return out;
}

}  // namespace

int write_all(int fd, std::string_view text) noexcept {
  iovec piece = piece_of(text);
  return write_vector(fd, &piece, text.empty() ? 0 : 1);
}

void report(std::initializer_list<std::string_view> parts) noexcept {
  constexpr std::size_t most_parts = 8;
  std::array<iovec, most_parts + 3> pieces{};
  std::size_t count = 0;
  pieces[count++] = piece_of(program_name);
  pieces[count++] = piece_of(": ");
  for (const std::string_view part : parts) {
    if (count == most_parts + 2) break;
    pieces[count++] = piece_of(part);
  }
  pieces[count++] = piece_of("\n");
  (void)write_vector(STDERR_FILENO, pieces.data(), count);
}

bool write_output(std::string_view text) noexcept {
  const int error = write_all(STDOUT_FILENO, text);
  if (error != 0) report({"write error: ", std::strerror(error)});
  return error == 0;
}

std::string quote_name(std::string_view name) {
  bool needs_quotes = name.empty();
  bool has_apostrophe = false;
  bool fits_double_quotes = true;
  for (std::size_t at = 0; at < name.size();) {
    const Piece piece = piece_at(name, at);
    needs_quotes = needs_quotes || piece.need != Need::nothing;
    has_apostrophe = has_apostrophe || piece.need == Need::apostrophe;
    fits_double_quotes = fits_double_quotes && piece.fits_double_quotes;
    at += piece.size;
  }
  if (!needs_quotes) return std::string(name);
  if (has_apostrophe && fits_double_quotes) return "\"" + std::string(name) + "\"";
  return quote_with_escapes(name);
}

}  // namespace ardovel::cli
