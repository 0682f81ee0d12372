// ardovel-stem: the stemmer as a command-line filter.
//
// Reads UTF-8 text from files or standard input in large blocks, stems every
// line (or, with --tokens, every white-space separated token) with the same
// core as the Python module, and writes the answers through one large buffer
// per thread. The parts live beside this file: options, input (reading and
// the line rule), stemming (ordered parallel shares), output, progress, and
// run, which ties them together.
#include <new>
#include <string>

#include "cli/options.hpp"
#include "cli/output.hpp"
#include "cli/run.hpp"

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
  Run run(options.tokens);
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
