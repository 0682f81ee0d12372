// The command line of ardovel-stem.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ardovel::cli {

inline constexpr int exit_failure = 1;
inline constexpr int exit_usage = 2;

struct Options {
  enum class Action { stem, help, version };
  Action action = Action::stem;
  bool tokens = false;
  bool pairs = false;
  bool stopwords = false;
  bool lemmas = false;
  bool fold = false;
  std::optional<std::string> encoding;  // none: UTF-8, read as it is
  std::vector<std::string> paths;       // "-" (standard input) when none is given
};

// The options, or the message of a usage error.
struct ParsedOptions {
  Options options;
  std::string error;  // empty when the command line is valid
};

// Parses the command line as GNU tools do (getopt_long): short options may
// be bundled ("-th"), a long option may be shortened to any unambiguous
// prefix ("--tok"), an option's argument may be attached ("-eCP1250",
// "--encoding=CP1250") or follow it, options and file names may come in any
// order, and "--" ends the options. The encoding's name is not checked here.
// Not reentrant: getopt_long keeps global state.
[[nodiscard]] ParsedOptions parse_options(int argc, char** argv);

[[nodiscard]] std::string_view help_text() noexcept;
[[nodiscard]] std::string_view version_text() noexcept;

}  // namespace ardovel::cli
