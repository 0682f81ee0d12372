#include "cli/options.hpp"

#include <getopt.h>

#include <cstring>

#ifndef ARDOVEL_VERSION
#define ARDOVEL_VERSION "unknown"
#endif

namespace ardovel::cli {
namespace {

constexpr std::string_view help =
    "Usage: ardovel-stem [OPTION]... [FILE]...\n"
    "Stem Serbian words (Cyrillic or Latin script, any case, ekavian or\n"
    "ijekavian) read as UTF-8 from each FILE, or from standard input when no\n"
    "FILE is given or FILE is -. Stems are written in lower-case Latin script.\n"
    "\n"
    "By default every input line is one word, and the answer is one output line:\n"
    "exactly what ardovel.stem_py(line) returns. Lines end at \"\\n\"; a \"\\r\"\n"
    "just before the \"\\n\" is part of the line end.\n"
    "\n"
    "  -t, --tokens   split every line at Unicode white space and write the stem\n"
    "                 of each token on a line of its own\n"
    "  -h, --help     show this help and exit\n"
    "  -V, --version  show the version and exit\n"
    "\n"
    "Input that is not valid UTF-8 stops the run with a message naming the file\n"
    "and line; the answers to the lines before it have been written. Messages\n"
    "quote a file name with special or control characters as GNU tools do.\n"
    "Exit status: 0 on success, 1 if an input could not be read or is not valid\n"
    "UTF-8 or the output could not be written, 2 on a usage error.\n";

constexpr std::string_view version = "ardovel-stem " ARDOVEL_VERSION "\n";

constexpr char short_options[] = "thV";
constexpr option long_options[] = {
    {"tokens", no_argument, nullptr, 't'},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
    {nullptr, 0, nullptr, 0},
};

// The message for the option getopt_long has just rejected. optopt holds an
// unknown short option, 0 for an unknown long one, or the short name of a
// known long option given an argument (a known short option never fails);
// a rejected long option has been stepped over, so it is argv[optind - 1].
std::string rejection(char** argv) {
  const bool known = optopt != 0 && std::strchr(short_options, optopt) != nullptr;
  if (optopt != 0 && !known) return std::string("unknown option '-") + static_cast<char>(optopt) + "'";
  const std::string_view given = argv[optind - 1];
  if (known) return "option '" + std::string(given.substr(0, given.find('='))) + "' takes no argument";
  return "unknown option '" + std::string(given) + "'";
}

}  // namespace

ParsedOptions parse_options(int argc, char** argv) {
  ParsedOptions parsed;
  Options& options = parsed.options;
  optind = 0;  // glibc: start afresh, as for a new program
  opterr = 0;  // the messages are ours
  for (;;) {
    const int option = ::getopt_long(argc, argv, short_options, long_options, nullptr);
    if (option == -1) break;
    switch (option) {
      case 't':
        options.tokens = true;
        break;
      // As in GNU tools, help and version end the parsing where they stand.
      case 'h':
        options.action = Options::Action::help;
        return parsed;
      case 'V':
        options.action = Options::Action::version;
        return parsed;
      default:
        parsed.error = rejection(argv);
        return parsed;
    }
  }
  for (int i = optind; i < argc; ++i) options.paths.emplace_back(argv[i]);
  if (options.paths.empty()) options.paths.emplace_back("-");
  return parsed;
}

std::string_view help_text() noexcept { return help; }
std::string_view version_text() noexcept { return version; }

}  // namespace ardovel::cli
