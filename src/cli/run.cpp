#include "cli/run.hpp"

#include <fcntl.h>
#include <malloc.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "cli/output.hpp"
#include "stemmer/stem.hpp"
#include "unicode/utf8_validate.hpp"

namespace ardovel::cli {
namespace {

// Bytes read per thread at a time.
constexpr std::size_t block_per_thread = std::size_t{1} << 20;
// Below this a share is not worth a thread.
constexpr std::size_t min_share = std::size_t{16} << 10;

// Threads worth using: the processors this process may run on, at most eight.
std::size_t worker_count() {
  cpu_set_t set;
  CPU_ZERO(&set);
  int count = ::sched_getaffinity(0, sizeof set, &set) == 0 ? CPU_COUNT(&set) : 1;
  if (count < 1) count = 1;
  return static_cast<std::size_t>(count < 8 ? count : 8);
}

// A larger pipe lets a fast writer hand over bigger blocks (best effort).
void enlarge_pipe(int fd) noexcept {
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISFIFO(info.st_mode)) (void)::fcntl(fd, F_SETPIPE_SZ, int{1} << 20);
}

// The descriptor of one input, closed at the end unless it is standard input.
class InputFile {
 public:
  explicit InputFile(const std::string& path) {
    if (path == "-") return;
    do fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    while (fd_ < 0 && errno == EINTR);
  }
  ~InputFile() {
    if (fd_ != STDIN_FILENO && fd_ >= 0) ::close(fd_);
  }
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  [[nodiscard]] int fd() const noexcept { return fd_; }

 private:
  int fd_ = STDIN_FILENO;
};

}  // namespace

Run::Run(bool tokens) : tokens_(tokens), shares_(worker_count()), buffer_(block_per_thread * shares_.size()) {
  for (Share& share : shares_) share.out.reserve(block_per_thread + block_per_thread / 2);
}

bool Run::stem_input(const std::string& path) {
  const std::string name = path == "-" ? "(standard input)" : quote_name(path);
  const InputFile input(path);
  if (input.fd() < 0) return fail({name, ": ", std::strerror(errno)});
  try {
    return stem_stream(input.fd(), name);
  } catch (const std::bad_alloc&) {
    return fail({"out of memory"});
  }
}

bool Run::stem_stream(int fd, std::string_view name) {
  progress_.start(name, fd);
  enlarge_pipe(fd);
  buffer_.consume(buffer_.held().size());
  std::size_t lines = 0;     // "\n"-terminated lines answered
  std::size_t answered = 0;  // bytes whose answers have been written
  for (;;) {
    const ReadOutcome read = fill(fd, buffer_);
    if (read.error != 0) return fail({name, ": ", std::strerror(read.error)});
    // Whole lines only, unless this is the end of the input.
    const std::string_view block = read.end ? buffer_.held() : buffer_.whole_lines();
    if (!block.empty()) {
      if (!answer(block, read.end, name, lines)) return false;
      answered += block.size();
      buffer_.consume(block.size());
      progress_.update(answered);
    }
    if (read.end) break;
  }
  progress_.clear();
  return true;
}

bool Run::answer(std::string_view block, bool last, std::string_view name, std::size_t& lines) {
  if (buffer_.holds_long_line()) {
    const FirstLine first = first_line(block);
    if (!answer_long_line(first, name, lines)) return false;
    block.remove_prefix(first.size);
    if (block.empty()) return true;
  }
  return answer_block(block, last, name, lines);
}

// A line longer than a block is answered on its own and written as its
// answers come, straight from the stemmer's scratch, so that it takes no
// more memory than itself and its normalised form, and that memory goes
// back to the system at once.
bool Run::answer_long_line(const FirstLine& first, std::string_view name, std::size_t& lines) {
  const std::string_view line = first.line;
  const std::size_t invalid = find_invalid_utf8(reinterpret_cast<const unsigned char*>(line.data()), line.size());
  if (invalid != line.size()) return fail_invalid_utf8(name, lines + 1, line[invalid], invalid + 1);
  bool ok = true;
  {
    Text scratch;
    if (tokens_) {
      std::string out;
      for_each_token(line, [&](std::string_view token) {
        if (!ok) return;
        append_stem(token, scratch, out);
        if (out.size() < buffer_.block_size()) return;
        ok = write(out);
        out.clear();
      });
      ok = ok && write(out);
    } else {
      ok = write(stem_word_into(line, scratch)) && write("\n");
    }
  }
  ::malloc_trim(0);
  if (first.ended) ++lines;
  return ok;
}

// Validates and stems a block in parallel shares, then writes the answers in
// order. An invalid sequence ends the run at the start of its line: the lines
// before it are answered, the error is reported, and nothing of that line is
// written.
bool Run::answer_block(std::string_view block, bool last, std::string_view name, std::size_t& lines) {
  const std::size_t used = cut_into_shares(block, last, shares_, min_share);
  run_in_parallel(used, [this](std::size_t i) { shares_[i].stem(tokens_); });
  for (std::size_t i = 0; i < used; ++i) {
    const Share& share = shares_[i];
    if (!write(share.out)) return false;
    lines += share.lines;
    if (!share.valid()) {
      return fail_invalid_utf8(name, lines + 1, share.text[share.invalid], share.invalid - share.line_start + 1);
    }
  }
  return true;
}

bool Run::write(std::string_view text) {
  const int error = write_all(STDOUT_FILENO, text);
  return error == 0 || fail({"write error: ", std::strerror(error)});
}

bool Run::fail(std::initializer_list<std::string_view> parts) noexcept {
  progress_.clear();
  report(parts);
  return false;
}

bool Run::fail_invalid_utf8(std::string_view name, std::size_t line, char byte, std::size_t column) noexcept {
  char where[96];
  std::snprintf(where, sizeof where, ":%zu: invalid UTF-8 (byte 0x%02X at byte %zu of the line)", line,
                static_cast<unsigned>(static_cast<unsigned char>(byte)), column);
  return fail({name, where});
}

}  // namespace ardovel::cli
