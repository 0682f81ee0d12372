// A main for the fuzz targets without libFuzzer: it passes saved inputs to
// LLVMFuzzerTestOneInput one by one, as libFuzzer replays a corpus before it
// starts fuzzing. The test build links every target with it, so a target that
// no longer compiles, or that fails on one of the seeds, fails the tests.
//
// Usage: TARGET PATH...   (a file, or a directory whose files are inputs)
#include <algorithm>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
// Optional, as under libFuzzer: a target that needs set-up defines it.
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

namespace fs = std::filesystem;

// The input being replayed, named on stderr if it crashes the target (a
// broken check aborts; the target prints what it found itself).
const char* volatile replaying = nullptr;

void name_input_and_die(int signal) {
  const char* const path = replaying;
  if (path != nullptr) {
    constexpr char prefix[] = "\nreplay: this input failed: ";
    static_cast<void>(write(STDERR_FILENO, prefix, sizeof prefix - 1));
    static_cast<void>(write(STDERR_FILENO, path, std::strlen(path)));
    static_cast<void>(write(STDERR_FILENO, "\n", 1));
  }
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

void name_input_on_crash() {
  for (const int signal : {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL}) std::signal(signal, name_input_and_die);
}

// The files an argument names, in a stable order; directories are read one
// level deep, as libFuzzer reads a corpus.
bool collect_inputs(const fs::path& argument, std::vector<fs::path>& inputs) {
  std::error_code error;
  if (fs::is_regular_file(argument, error)) {
    inputs.push_back(argument);
    return true;
  }
  if (!fs::is_directory(argument, error)) {
    std::fprintf(stderr, "replay: %s: no such file or directory\n", argument.c_str());
    return false;
  }
  std::vector<fs::path> found;
  for (const auto& entry : fs::directory_iterator(argument, error)) {
    if (entry.is_regular_file(error)) found.push_back(entry.path());
  }
  if (error) {
    std::fprintf(stderr, "replay: %s: %s\n", argument.c_str(), error.message().c_str());
    return false;
  }
  std::sort(found.begin(), found.end());
  inputs.insert(inputs.end(), found.begin(), found.end());
  return true;
}

// Runs one input from a buffer of exactly its size, so that AddressSanitizer
// (when present) catches a read past its end, as under libFuzzer.
bool replay(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::error_code error;
  const auto size = static_cast<std::size_t>(fs::file_size(path, error));
  if (!file || error) {
    std::fprintf(stderr, "replay: %s: cannot read\n", path.c_str());
    return false;
  }
  const std::unique_ptr<std::uint8_t[]> data(new std::uint8_t[size]);
  if (!file.read(reinterpret_cast<char*>(data.get()), static_cast<std::streamsize>(size))) {
    std::fprintf(stderr, "replay: %s: cannot read\n", path.c_str());
    return false;
  }
  replaying = path.c_str();
  LLVMFuzzerTestOneInput(data.get(), size);
  replaying = nullptr;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FILE_OR_DIRECTORY...\n", argv[0]);
    return 2;
  }
  std::vector<fs::path> inputs;
  bool complete = true;
  for (int i = 1; i < argc; ++i) complete = collect_inputs(argv[i], inputs) && complete;
  if (LLVMFuzzerInitialize != nullptr) LLVMFuzzerInitialize(&argc, &argv);
  name_input_on_crash();
  for (const fs::path& input : inputs) complete = replay(input) && complete;
  std::printf("replayed %zu inputs\n", inputs.size());
  return complete ? 0 : 1;
}
