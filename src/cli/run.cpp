#include "run.hpp"

#include <fcntl.h>
#include <malloc.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "ardovel/utf8.hpp"
#include "output.hpp"

namespace ardovel::cli {
namespace {

// Bytes read per thread at a time.
constexpr std::size_t block_per_thread = std::size_t{1} << 20;
// Below this a share is not worth a thread.
constexpr std::size_t min_share = std::size_t{16} << 10;
// Each thread's part of a block comes in a few shares, taken in turn by
// whichever thread is free: threads seldom run at the same speed on a shared
// machine, and with one share each the fast one would wait for the slow one.
constexpr std::size_t shares_per_thread = 4;

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

Run::Run(Mode mode, const AnalyzerOptions& options, std::optional<Decoder> decoder)
    : mode_(mode),
      options_(options),
      workers_(worker_count()),
      shares_(workers_ * shares_per_thread),
      buffer_(block_per_thread * workers_) {
  for (Share& share : shares_) {
    share.out.reserve((block_per_thread + block_per_thread / 2) / shares_per_thread);
    share.answerer = Answerer(mode, options);
  }
  if (decoder) decoded_.emplace(std::move(*decoder), buffer_.block_size());
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
  // The size of a file in another encoding says nothing of its UTF-8 size,
  // which is what progress counts.
  progress_.start(name, decoded_ ? -1 : fd);
  enlarge_pipe(fd);
  buffer_.consume(buffer_.held().size());
  if (decoded_) decoded_->start();
  std::size_t lines = 0;     // "\n"-terminated lines answered
  std::size_t answered = 0;  // bytes whose answers have been written
  for (;;) {
    const ReadOutcome read = decoded_ ? decoded_->fill(fd, buffer_) : fill(fd, buffer_);
    if (read.error != 0) return fail({name, ": ", std::strerror(read.error)});
    const std::optional<unsigned char> invalid = decoded_ ? decoded_->invalid_byte() : std::nullopt;
    // Whole lines only, unless this is the end of the input.
    const bool whole_input = read.end && !invalid;
    const std::string_view block = whole_input ? buffer_.held() : buffer_.whole_lines();
    if (!block.empty()) {
      if (!answer(block, whole_input, name, lines)) return false;
      answered += block.size();
      buffer_.consume(block.size());
      progress_.update(answered);
    }
    if (invalid) return fail_invalid_encoding(name, lines + 1, *invalid);
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
    Answerer answerer(mode_, options_);
    if (mode_ == Mode::lines) {
      ok = write(answerer.stem_line(line)) && write("\n");
    } else {
      std::string out;
      ok = answerer.answer(line, lines + 1, out, [&] {
        if (out.size() < buffer_.block_size()) return true;
        ok = write(out);
        out.clear();
        return ok;
      });
      ok = ok && write(out);
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
  number_shares(used, lines);
  std::atomic<std::size_t> next{0};
  run_in_parallel(std::min(workers_, used), [&](std::size_t /*thread*/) {
    for (std::size_t i = next++; i < used; i = next++) shares_[i].stem();
  });
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

// Pairs show line numbers, so each share must know where it starts.
void Run::number_shares(std::size_t used, std::size_t lines) noexcept {
  std::size_t next = lines + 1;
  for (std::size_t i = 0; i < used; ++i) {
    Share& share = shares_[i];
    share.first_line_number = next;
    if (mode_ == Mode::pairs) next += static_cast<std::size_t>(std::ranges::count(share.text, '\n'));
  }
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

// The column counts characters, not bytes: the input's bytes are gone, and
// in an encoding of more than one byte per character they would not tell.
bool Run::fail_invalid_encoding(std::string_view name, std::size_t line, unsigned char byte) {
  const std::string_view before = buffer_.held();  // the start of the bad line, converted
  const auto characters = std::ranges::count_if(
      before, [](char c) { return !utf8::is_continuation(static_cast<unsigned char>(c)); });
  char where[128];
  std::snprintf(where, sizeof where, "byte 0x%02X at character %zu of the line)", static_cast<unsigned>(byte),
                static_cast<std::size_t>(characters) + 1);
  char number[32];
  std::snprintf(number, sizeof number, ":%zu: invalid ", line);
  return fail({name, number, quote_name(decoded_->encoding()), " (", where});
}

bool Run::fail_invalid_utf8(std::string_view name, std::size_t line, char byte, std::size_t column) noexcept {
  char where[96];
  std::snprintf(where, sizeof where, ":%zu: invalid UTF-8 (byte 0x%02X at byte %zu of the line)", line,
                static_cast<unsigned>(static_cast<unsigned char>(byte)), column);
  return fail({name, where});
}

}  // namespace ardovel::cli
