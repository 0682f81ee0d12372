// Writing answers and messages, and quoting file names for messages.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace ardovel::cli {

inline constexpr std::string_view program_name = "ardovel-stem";

// Writes all of `text` to `fd`. A non-blocking descriptor that is full is
// waited for, not treated as an error. Returns 0, or the errno of the
// failure.
[[nodiscard]] int write_all(int fd, std::string_view text) noexcept;

// "ardovel-stem: " followed by `parts` and a line end on standard error, in
// one write and without allocating, so it still works once memory has run
// out. At most eight parts.
void report(std::initializer_list<std::string_view> parts) noexcept;

// Writes `text` to standard output; on failure reports "write error" and
// returns false.
[[nodiscard]] bool write_output(std::string_view text) noexcept;

// A file name as messages show it: as it is when it holds nothing special,
// otherwise quoted in the shell-escape style of GNU coreutils, so that the
// text can be pasted back into a shell and no control character reaches the
// terminal. Inside single quotes, a quote becomes '\'' and a control
// character (C0, DEL, C1) or a byte that is not part of well-formed UTF-8
// becomes a $'...' escape: \a \b \t \n \v \f \r by letter, anything else as
// three octal digits per byte. A name whose only trouble is an apostrophe
// is put in double quotes instead. ':' counts as special, as it does in
// coreutils' messages, because it separates a name from a line number.
// UTF-8 is assumed whatever the locale, since the tool reads only UTF-8.
[[nodiscard]] std::string quote_name(std::string_view name);

}  // namespace ardovel::cli
