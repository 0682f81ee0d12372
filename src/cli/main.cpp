// ardovel-stem: the stemmer as a command-line filter.
//
// Reads text from files or standard input in large blocks (UTF-8, or
// converted from another encoding), stems every line (or, with --tokens,
// every token the text layer keeps) with the same core as the Python
// modules, and writes the answers through one large buffer per thread. The
// parts live beside this file: options, input (reading and the line rule),
// encoding, stemming (ordered parallel shares), output, progress, and run,
// which ties them together.
#include <cerrno>
#include <cstring>
#include <new>
#include <optional>
#include <string>

#include "ardovel/analyzer.hpp"
#include "encoding.hpp"

#include "options.hpp"
#include "output.hpp"
#include "run.hpp"

namespace ardovel::cli {
namespace {

int usage_error(const std::string& message) {
  report({message, "\nTry 'ardovel-stem --help' for more information."});
  return exit_usage;
}

int main_checked(int argc, char** argv) {
  const ParsedOptions parsed = parse_options(argc, argv);
  if (!parsed.error.empty()) return usage_error(parsed.error);
  const Options& options = parsed.options;
  switch (options.action) {
    case Options::Action::help:
      return write_output(help_text()) ? 0 : exit_failure;
    case Options::Action::version:
      return write_output(version_text()) ? 0 : exit_failure;
    case Options::Action::stem:
      break;
  }
  std::optional<Decoder> decoder;
  if (options.encoding) {
    decoder = Decoder::open(*options.encoding);
    if (!decoder && errno == EINVAL) {
      return usage_error("unknown encoding " + quote_name(*options.encoding) + " ('iconv -l' lists the known ones)");
    }
    if (!decoder) {
      report({"cannot read encoding ", quote_name(*options.encoding), ": ", std::strerror(errno)});
      return exit_failure;
    }
  }
  const Mode mode = options.pairs ? Mode::pairs : options.tokens ? Mode::tokens : Mode::lines;
  if (options.lemmas && !lexicon_available()) {
    return usage_error("--lemmas needs the lexicon, and this build has none (it was built without hunspell-sr)");
  }
  const AnalyzerOptions analyzer_options{options.stopwords ? StopWords::serbian() : StopWords(), options.lemmas,
                                         options.fold};
  Run run(mode, analyzer_options, std::move(decoder));
  for (const std::string& path : options.paths) {
    if (!run.stem_input(path)) return exit_failure;
  }
  return 0;
}

}  // namespace
}  // namespace ardovel::cli

int main(int argc, char** argv) {
  try {
    return ardovel::cli::main_checked(argc, argv);
  } catch (const std::bad_alloc&) {
    ardovel::cli::report({"out of memory"});
    return ardovel::cli::exit_failure;
  }
}
