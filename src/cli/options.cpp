#include "options.hpp"

#include <getopt.h>

#include <cstring>

#ifndef ARDOVEL_VERSION
#define ARDOVEL_VERSION "unknown"
#endif

namespace ardovel::cli {
namespace {

constexpr std::string_view help =
    "Usage: ardovel-stem [OPTION]... [FILE]...\n"
    "Key Serbian words (Cyrillic or Latin script, any case, ekavian or\n"
    "ijekavian) read from each FILE, or from standard input when no FILE is\n"
    "given or FILE is -: each gets its stem, or with --lemmas its lemma, in\n"
    "lower-case Latin script. Input is UTF-8 unless --encoding names another\n"
    "encoding.\n"
    "\n"
    "By default every input line is one word, and the answer is one output line:\n"
    "its key, the stem ardovel.stem_py gives the line in NFKC. Lines end at\n"
    "\"\\n\"; a \"\\r\" just before the \"\\n\" is part of the line end.\n"
    "\n"
    "  -t, --tokens         split every line into tokens and write the key of\n"
    "                       each kept token on a line of its own: the output is\n"
    "                       ardovel_text.analyze(line) for each line in turn,\n"
    "                       and an empty line gives nothing\n"
    "  -p, --pairs          as --tokens, but write LINE<TAB>TOKEN<TAB>KEY for\n"
    "                       each kept token: the number of its line in its FILE\n"
    "                       (from 1), the token as written, and its key\n"
    "  -s, --stopwords      leave out Serbian function words (the default stop\n"
    "                       list) in any script and case; without --tokens or\n"
    "                       --pairs, a line that is one gets an empty answer\n"
    "  -l, --lemmas         keys are lemmas in ekavian Latin rather than stems\n"
    "  -f, --fold           keys are bald Latin (č ć to c, š to s, ž to z, đ to\n"
    "                       dj), so text typed without diacritics meets text\n"
    "                       typed with them\n"
    "  -e, --encoding=NAME  read the input in encoding NAME, such as WINDOWS-1250\n"
    "                       or ISO-8859-2 (Latin), WINDOWS-1251 or ISO-8859-5\n"
    "                       (Cyrillic); 'iconv -l' lists every name\n"
    "  -h, --help           show this help and exit\n"
    "  -V, --version        show the version and exit\n"
    "\n"
    "A token is a longest run of characters that are not white space,\n"
    "punctuation, symbols or control characters (Unicode 16.0.0), so letters,\n"
    "digits, marks and soft hyphens stay inside it; a token whose key is\n"
    "empty is left out. A token never holds a tab or a line end.\n"
    "\n"
    "Input that is not valid UTF-8, or with --encoding not valid in that\n"
    "encoding, stops the run with a message naming the file and line; the\n"
    "answers to the lines before it have been written. Messages quote a file\n"
    "name with special or control characters as GNU tools do.\n"
    "Exit status: 0 on success, 1 if an input could not be read or is not valid\n"
    "or the output could not be written, 2 on a usage error (an unknown option\n"
    "or encoding).\n";

constexpr std::string_view version = "ardovel-stem " ARDOVEL_VERSION "\n";

// The leading ':' makes getopt_long tell a missing argument from an
// unknown option.
constexpr char short_options[] = ":tpslfe:hV";
constexpr option long_options[] = {
    {"tokens", no_argument, nullptr, 't'},
    {"pairs", no_argument, nullptr, 'p'},
    {"stopwords", no_argument, nullptr, 's'},
    {"lemmas", no_argument, nullptr, 'l'},
    {"fold", no_argument, nullptr, 'f'},
    {"encoding", required_argument, nullptr, 'e'},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
    {nullptr, 0, nullptr, 0},
};

// The message for the option getopt_long has just rejected. optopt holds an
// unknown short option, 0 for an unknown long one, or the short name of a
// known option that was given an argument it does not take or was not given
// the one it needs; a rejected long option has been stepped over, so it is
// argv[optind - 1].
std::string rejection(int option, char** argv) {
  const bool known = optopt != 0 && std::strchr(short_options + 1, optopt) != nullptr;
  if (optopt != 0 && !known) return std::string("unknown option '-") + static_cast<char>(optopt) + "'";
  const std::string_view given = argv[optind - 1];
  const bool long_form = given.starts_with("--");
  if (!known) return "unknown option '" + std::string(given) + "'";
  const std::string name =
      long_form ? std::string(given.substr(0, given.find('='))) : std::string("-") + static_cast<char>(optopt);
  if (option == ':') return "option '" + name + "' requires an argument";
  return "option '" + name + "' takes no argument";
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
      case 'p':
        options.pairs = true;
        break;
      case 's':
        options.stopwords = true;
        break;
      case 'l':
        options.lemmas = true;
        break;
      case 'f':
        options.fold = true;
        break;
      case 'e':
        options.encoding = optarg;
        break;
      // As in GNU tools, help and version end the parsing where they stand.
      case 'h':
        options.action = Options::Action::help;
        return parsed;
      case 'V':
        options.action = Options::Action::version;
        return parsed;
      default:
        parsed.error = rejection(option, argv);
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
