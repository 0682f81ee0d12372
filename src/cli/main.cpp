// ardovel-stem: the stemmer as a command-line filter.
//
// Reads UTF-8 text from files or standard input in large blocks, stems every
// line (or, with --tokens, every white-space separated token) with the same
// core as the Python module, and writes the answers through one large buffer.
// A line is the bytes before a "\n"; a "\r" right before that "\n" belongs to
// the line end, not to the line. The text after the last "\n" is a line of its
// own when it is not empty (a "\r" at its end then stays part of it).
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "unicode/utf8_validate.hpp"
#include "stemmer/stem.hpp"
#include "unicode/unicode.hpp"
#include "unicode/utf8.hpp"

#ifndef ARDOVEL_VERSION
#define ARDOVEL_VERSION "unknown"
#endif

namespace ardovel::cli {
namespace {

constexpr std::string_view program = "ardovel-stem";
// Bytes read per thread at a time.
constexpr std::size_t block_size = std::size_t{1} << 20;
constexpr int exit_failure = 1;
constexpr int exit_usage = 2;

constexpr std::string_view help_text =
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
    "and line; the answers to the lines before it have been written.\n"
    "Exit status: 0 on success, 1 if an input could not be read or is not valid\n"
    "UTF-8 or the output could not be written, 2 on a usage error.\n";

void write_stderr(std::string_view text) noexcept {
  while (!text.empty()) {
    const ssize_t written = ::write(STDERR_FILENO, text.data(), text.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    text.remove_prefix(static_cast<std::size_t>(written));
  }
}

// "ardovel-stem: " + message + "\n" on standard error, in one write.
void report(std::string_view message) {
  std::string line;
  line.reserve(program.size() + message.size() + 3);
  line.append(program).append(": ").append(message).push_back('\n');
  write_stderr(line);
}

// Writes all of `text` to standard output; reports a failure.
bool write_all(std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = ::write(STDOUT_FILENO, text.data(), text.size());
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) {
      report(std::string("write error: ") + std::strerror(errno));
      return false;
    }
    text.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// A progress line on standard error for large inputs, shown only when standard
// error is a terminal and the answers go somewhere else.
class Progress {
 public:
  Progress() : enabled_(::isatty(STDERR_FILENO) == 1 && ::isatty(STDOUT_FILENO) != 1) {}

  void start(std::string_view name, int fd) {
    name_ = name;
    total_ = 0;
    shown_ = false;
    struct stat info {};
    if (enabled_ && ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
      total_ = static_cast<std::size_t>(info.st_size);
    }
    last_ = std::chrono::steady_clock::now();
  }

  void update(std::size_t done) {
    if (!enabled_ || done < threshold) return;
    const auto now = std::chrono::steady_clock::now();
    if (shown_ && now - last_ < std::chrono::milliseconds(200)) return;
    last_ = now;
    shown_ = true;
    char figures[64];
    if (total_ >= done && total_ > 0) {
      std::snprintf(figures, sizeof figures, "%3.0f%% of %.1f MB",
                    100.0 * static_cast<double>(done) / static_cast<double>(total_),
                    static_cast<double>(total_) / 1e6);
    } else {
      std::snprintf(figures, sizeof figures, "%.1f MB", static_cast<double>(done) / 1e6);
    }
    std::string line = "\r";
    line.append(program).append(": ").append(name_).append(": ").append(figures).append("\033[K");
    write_stderr(line);
  }

  // Removes the progress line, if one is showing.
  void clear() {
    if (shown_) write_stderr("\r\033[K");
    shown_ = false;
  }

 private:
  static constexpr std::size_t threshold = std::size_t{4} << 20;
  bool enabled_;
  bool shown_ = false;
  std::string name_;
  std::size_t total_ = 0;
  std::chrono::steady_clock::time_point last_;
};

constexpr bool is_ascii_space(unsigned char byte) noexcept {
  return byte == ' ' || (byte >= '\t' && byte <= '\r');
}

void append_stem(std::string_view word, std::string& out) {
  out.append(stem_word(word));
  out.push_back('\n');
}

// Stems every white-space separated token of one line. White space is Unicode
// White_Space as the core defines it.
void append_token_stems(std::string_view line, std::string& out) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(line.data());
  const std::size_t size = line.size();
  std::size_t at = 0;
  std::size_t token_start = 0;
  bool in_token = false;
  while (at < size) {
    const std::size_t char_start = at;
    bool space;
    if (bytes[at] < 0x80) {
      space = is_ascii_space(bytes[at]);
      ++at;
    } else {
      space = is_whitespace(utf8::decode(bytes, at));
    }
    if (space) {
      if (in_token) append_stem(line.substr(token_start, char_start - token_start), out);
      in_token = false;
    } else if (!in_token) {
      in_token = true;
      token_start = char_start;
    }
  }
  if (in_token) append_stem(line.substr(token_start), out);
}

// Stems the lines of [data, data + size), which holds only whole lines except
// that, when `last` is set, the text after the final "\n" is a line too.
// Returns the number of "\n"-terminated lines.
std::size_t stem_lines(const char* data, std::size_t size, bool last, bool tokens, std::string& out) {
  const char* at = data;
  const char* const end = data + size;
  std::size_t lines = 0;
  while (at < end) {
    const auto* newline = static_cast<const char*>(std::memchr(at, '\n', static_cast<std::size_t>(end - at)));
    std::string_view line;
    if (newline != nullptr) {
      line = std::string_view(at, static_cast<std::size_t>(newline - at));
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      at = newline + 1;
      ++lines;
    } else {
      if (!last) break;
      line = std::string_view(at, static_cast<std::size_t>(end - at));
      at = end;
    }
    if (tokens) {
      append_token_stems(line, out);
    } else {
      append_stem(line, out);
    }
  }
  return lines;
}

// One share of a block, stemmed on its own thread: its answers, its count of
// "\n"-terminated lines, and where its first invalid sequence starts.
struct Share {
  const char* data = nullptr;
  std::size_t size = 0;
  bool last = false;          // the share ends the input (its tail is a line)
  std::string out;
  std::size_t lines = 0;
  std::size_t invalid = 0;    // == size when the share is valid
  std::size_t line_start = 0; // start of the line holding `invalid`

  // Validates the share, then answers every line before the first invalid one.
  void stem(bool tokens) {
    out.clear();
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    invalid = find_invalid_utf8(bytes, size);
    if (invalid == size) {
      lines = stem_lines(data, size, last, tokens, out);
      return;
    }
    const auto* newline = static_cast<const char*>(::memrchr(data, '\n', invalid));
    line_start = newline == nullptr ? 0 : static_cast<std::size_t>(newline - data) + 1;
    lines = stem_lines(data, line_start, false, tokens, out);
  }
};

// Threads worth using: the processors this process may run on, at most eight.
std::size_t worker_count() {
  cpu_set_t set;
  CPU_ZERO(&set);
  int count = ::sched_getaffinity(0, sizeof set, &set) == 0 ? CPU_COUNT(&set) : 1;
  if (count < 1) count = 1;
  return static_cast<std::size_t>(count < 8 ? count : 8);
}

class Run {
 public:
  explicit Run(bool tokens) : tokens_(tokens), shares_(worker_count()) {
    input_.resize(block_size * shares_.size());
    for (Share& share : shares_) share.out.reserve(block_size + block_size / 2);
  }

  // Stems one input; false after an error, which has been reported.
  bool stem_input(const std::string& path) {
    const bool from_stdin = path == "-";
    const std::string name = from_stdin ? "(standard input)" : path;
    int fd = STDIN_FILENO;
    if (!from_stdin) {
      do fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
      while (fd < 0 && errno == EINTR);
      if (fd < 0) {
        report(name + ": " + std::strerror(errno));
        return false;
      }
    }
    const bool ok = stem_stream(fd, name);
    if (!from_stdin) ::close(fd);
    return ok;
  }

 private:
  // Reads until the buffer is full, the input ends, or no more bytes are ready
  // at once (so an interactive caller is answered line by line). Returns the
  // bytes read, or -1 with errno set.
  ssize_t fill(int fd, std::size_t filled, bool& eof) {
    std::size_t got_total = 0;
    while (filled + got_total < input_.size()) {
      const ssize_t got = ::read(fd, input_.data() + filled + got_total, input_.size() - filled - got_total);
      if (got < 0) {
        if (errno == EINTR) continue;
        return -1;
      }
      if (got == 0) {
        eof = true;
        break;
      }
      got_total += static_cast<std::size_t>(got);
      pollfd ready{fd, POLLIN, 0};
      if (::poll(&ready, 1, 0) != 1) break;
    }
    return static_cast<ssize_t>(got_total);
  }

  bool stem_stream(int fd, const std::string& name) {
    progress_.start(name, fd);
    // A larger pipe lets a fast writer hand over bigger blocks (best effort).
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISFIFO(info.st_mode)) (void)::fcntl(fd, F_SETPIPE_SZ, int{1} << 20);
    std::size_t filled = 0;    // bytes held in input_, all of them after a line end
    std::size_t lines = 0;     // lines of this input answered so far
    std::size_t consumed = 0;  // bytes of this input answered so far
    bool ok = true;
    for (bool eof = false; !eof && ok;) {
      if (filled == input_.size()) input_.resize(input_.size() * 2);  // one very long line
      const ssize_t got = fill(fd, filled, eof);
      if (got < 0) {
        const int error = errno;
        progress_.clear();
        report(name + ": " + std::strerror(error));
        return false;
      }
      filled += static_cast<std::size_t>(got);

      // Whole lines only, unless this is the end of the input.
      std::size_t usable = filled;
      if (!eof) {
        const void* newline = ::memrchr(input_.data(), '\n', filled);
        if (newline == nullptr) continue;
        usable = static_cast<std::size_t>(static_cast<const char*>(newline) - input_.data()) + 1;
      }
      ok = stem_block(usable, eof, name, lines);
      consumed += usable;
      std::memmove(input_.data(), input_.data() + usable, filled - usable);
      filled -= usable;
      progress_.update(consumed);
    }
    progress_.clear();
    return ok;
  }

  // Cuts input_[0, size) into shares at line ends, one per thread when the
  // block is large enough to be worth it.
  std::size_t split(std::size_t size, bool last) {
    const std::size_t wanted = size < min_share * 2 ? 1 : std::min(shares_.size(), size / min_share);
    const char* data = input_.data();
    std::size_t begin = 0;
    std::size_t used = 0;
    for (std::size_t i = 0; i < wanted && begin < size; ++i) {
      std::size_t end = size;
      if (i + 1 < wanted) {
        const std::size_t target = begin + (size - begin) / (wanted - i);
        const void* newline = std::memchr(data + target, '\n', size - target);
        if (newline != nullptr) end = static_cast<std::size_t>(static_cast<const char*>(newline) - data) + 1;
      }
      Share& share = shares_[used++];
      share.data = data + begin;
      share.size = end - begin;
      share.last = last && end == size;
      begin = end;
    }
    return used;
  }

  // Validates and stems input_[0, size), then writes the answers. An invalid
  // sequence ends the run at the start of its line: the lines before it are
  // answered, the error is reported, and nothing of that line is written.
  bool stem_block(std::size_t size, bool last, const std::string& name, std::size_t& lines) {
    const std::size_t used = split(size, last);
    std::vector<std::thread> helpers;
    try {
      for (std::size_t i = 1; i < used; ++i) helpers.emplace_back([this, i] { shares_[i].stem(tokens_); });
    } catch (const std::system_error&) {
      // No thread to be had: the rest is stemmed on this one.
      for (std::size_t i = 1 + helpers.size(); i < used; ++i) shares_[i].stem(tokens_);
    }
    shares_[0].stem(tokens_);
    for (std::thread& helper : helpers) helper.join();

    for (std::size_t i = 0; i < used; ++i) {
      const Share& share = shares_[i];
      lines += share.lines;
      if (share.invalid == share.size) continue;
      progress_.clear();
      if (!write_shares(i + 1)) return false;
      char where[96];
      std::snprintf(where, sizeof where, ":%zu: invalid UTF-8 (byte 0x%02X at byte %zu of the line)", lines + 1,
                    static_cast<unsigned>(static_cast<unsigned char>(share.data[share.invalid])),
                    share.invalid - share.line_start + 1);
      report(name + where);
      return false;
    }
    return write_shares(used);
  }

  bool write_shares(std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
      if (!write_all(shares_[i].out)) return false;
    }
    return true;
  }

  static constexpr std::size_t min_share = std::size_t{16} << 10;
  bool tokens_;
  std::vector<Share> shares_;
  std::vector<char> input_;
  Progress progress_;
};

int usage_error(std::string_view message) {
  std::string text(message);
  text.append("\nTry 'ardovel-stem --help' for more information.");
  report(text);
  return exit_usage;
}

int main_checked(int argc, char** argv) {
  bool tokens = false;
  bool options_done = false;
  std::vector<std::string> paths;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (options_done || arg == "-" || arg.empty() || arg.front() != '-') {
      paths.emplace_back(arg);
    } else if (arg == "--") {
      options_done = true;
    } else if (arg == "-t" || arg == "--tokens") {
      tokens = true;
    } else if (arg == "-h" || arg == "--help") {
      std::fwrite(help_text.data(), 1, help_text.size(), stdout);
      return std::fflush(stdout) == 0 ? 0 : exit_failure;
    } else if (arg == "-V" || arg == "--version") {
      std::fputs("ardovel-stem " ARDOVEL_VERSION "\n", stdout);
      return std::fflush(stdout) == 0 ? 0 : exit_failure;
    } else {
      return usage_error(std::string("unknown option '") + std::string(arg) + "'");
    }
  }
  if (paths.empty()) paths.emplace_back("-");

  Run run(tokens);
  for (const std::string& path : paths) {
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
    ardovel::cli::report("out of memory");
    return ardovel::cli::exit_failure;
  }
}
