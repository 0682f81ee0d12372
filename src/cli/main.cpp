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
#include <cstdlib>
#include <cstring>
#include <filesystem>
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

// The lexicon: where ARDOVEL_LEXICON says, or beside the program (in its
// build), or in the Python package of the environment it is installed in
// (bin/ beside lib/pythonX.Y/site-packages/ardovel_text/, or Debian's
// dist-packages).
void find_lexicon() {
  constexpr std::string_view name = lexicon_file_name;
  if (const char* given = std::getenv("ARDOVEL_LEXICON"); given != nullptr && *given != '\0') {
    (void)set_lexicon_file(given);
    return;
  }
  std::error_code error;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return;
  const std::filesystem::path here = program.parent_path();
  const std::string python = std::string("python") + ARDOVEL_PYTHON_VERSION;
  const std::filesystem::path candidates[] = {
      here / name,
      here / ".." / "lib" / python / "site-packages" / "ardovel_text" / name,
      here / ".." / "lib" / python / "dist-packages" / "ardovel_text" / name,
      here / ".." / "lib" / "python3" / "dist-packages" / "ardovel_text" / name,
  };
  for (const std::filesystem::path& candidate : candidates) {
    if (std::filesystem::is_regular_file(candidate, error)) {
      (void)set_lexicon_file(candidate.string());
      return;
    }
  }
}

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
  if (options.lemmas) find_lexicon();
  if (options.lemmas && !lexicon_available()) {
    return usage_error("--lemmas needs the lexicon file ardovel_lexicon.bin, which is not installed with this "
                       "program (it is built from hunspell-sr); ARDOVEL_LEXICON may name where it is");
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
