// The parts of ardovel-stem that can be tried without running the program.
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "cli/input.hpp"
#include "cli/options.hpp"
#include "cli/output.hpp"
#include "cli/progress.hpp"
#include "cli/stemming.hpp"
#include "stemmer/stem.hpp"

namespace ardovel::cli {
namespace {

using Action = Options::Action;

struct OptionCase {
  std::vector<std::string> args;
  Action action;
  bool tokens;
  std::vector<std::string> paths;
  std::string error;
};

TEST(CliOptions, ParseAsGnuToolsDo) {
  const std::vector<std::string> stdin_only = {"-"};
  const OptionCase cases[] = {
      {{}, Action::stem, false, stdin_only, ""},
      {{"-t"}, Action::stem, true, stdin_only, ""},
      {{"-th"}, Action::help, true, {}, ""},  // bundled
      {{"--tok", "a"}, Action::stem, true, {"a"}, ""},  // a prefix
      {{"--ver"}, Action::version, false, {}, ""},
      {{"a", "-t", "b"}, Action::stem, true, {"a", "b"}, ""},  // in any order
      {{"-", "--", "-t"}, Action::stem, false, {"-", "-t"}, ""},
      {{"--help", "--frobnicate"}, Action::help, false, {}, ""},  // help ends the parsing
      {{"-x"}, Action::stem, false, {}, "unknown option '-x'"},
      {{"-tx"}, Action::stem, true, {}, "unknown option '-x'"},
      {{"--tokens", "-xt"}, Action::stem, true, {}, "unknown option '-x'"},
      {{"--frobnicate", "--help"}, Action::stem, false, {}, "unknown option '--frobnicate'"},
      {{"--tokens=yes"}, Action::stem, false, {}, "option '--tokens' takes no argument"},
  };
  for (const OptionCase& c : cases) {
    std::vector<std::string> args = {"ardovel-stem"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const ParsedOptions parsed = parse_options(static_cast<int>(args.size()), argv.data());
    const std::string shown = ::testing::PrintToString(c.args);
    EXPECT_EQ(parsed.error, c.error) << shown;
    if (!c.error.empty()) continue;
    EXPECT_EQ(parsed.options.action, c.action) << shown;
    EXPECT_EQ(parsed.options.tokens, c.tokens) << shown;
    if (c.action == Action::stem) {
      EXPECT_EQ(parsed.options.paths, c.paths) << shown;
    }
  }
}

TEST(CliOutput, FileNamesAreQuotedAsCoreutilsQuotesThem) {
  const std::pair<std::string, std::string> cases[] = {
      {"words.txt", "words.txt"},
      {"/tmp/a-b_c.d/x,y+z%@]", "/tmp/a-b_c.d/x,y+z%@]"},
      {"Дијете.txt", "Дијете.txt"},
      {"", "''"},
      {"a b", "'a b'"},
      {"a:b", "'a:b'"},  // would read as a line number
      {"q?", "'q?'"},
      {"a\\b", "'a\\b'"},
      {"#x", "'#x'"},
      {"x#", "x#"},
      {"~x", "'~x'"},
      {"{", "'{'"},
      {"{a}", "{a}"},
      {"it's", "\"it's\""},
      {"it's$", "'it'\\''s$'"},
      {"a\nb", "'a'$'\\n''b'"},
      {"\n", "''$'\\n'"},
      {"a\t\n", "'a'$'\\t\\n'"},
      {"\x1b[31m", "''$'\\033''[31m'"},
      {"a\x7f", "'a'$'\\177'"},
      {"\xff", "''$'\\377'"},                         // not UTF-8
      {"x\xd0", "'x'$'\\320'"},                        // cut short
      {"č\u0085", "'č'$'\\302\\205'"},                 // a C1 control
      {"a\n'b", "'a'$'\\n'\\''b'"},
  };
  for (const auto& [name, quoted] : cases) EXPECT_EQ(quote_name(name), quoted) << name;
}

TEST(CliProgress, FiguresNeverClaimMoreThanIsKnown) {
  EXPECT_EQ(progress_figures(0, 0), "0.0 MB");
  EXPECT_EQ(progress_figures(5'000'000, 20'000'000), " 25% of 20.0 MB");
  EXPECT_EQ(progress_figures(30'000'000, 20'000'000), "30.0 MB");  // the file grew
}

void feed(LineBuffer& buffer, std::string_view text) {
  while (!text.empty()) {
    const std::span<char> space = buffer.space(text.size());
    ASSERT_FALSE(space.empty());
    std::memcpy(space.data(), text.data(), space.size());
    buffer.commit(space.size());
    text.remove_prefix(space.size());
  }
}

TEST(CliLineBuffer, KeepsWholeLinesApartFromTheUnfinishedOne) {
  LineBuffer buffer(64);
  const std::pair<std::string_view, std::string_view> steps[] = {
      {"ab", ""}, {"c\nd", "abc\n"}, {"e\r\n\nf", "abc\nde\r\n\n"}, {"g", "abc\nde\r\n\n"}};
  for (const auto& [piece, whole] : steps) {
    feed(buffer, piece);
    EXPECT_EQ(buffer.whole_lines(), whole) << piece;
  }
  buffer.consume(buffer.whole_lines().size());
  EXPECT_EQ(buffer.held(), "fg");
  EXPECT_EQ(buffer.whole_lines(), "");
}

TEST(CliLineBuffer, LongLineInSmallPiecesIsScannedOnceAndGivenBack) {
  constexpr std::size_t block = 4096;
  LineBuffer buffer(block);
  const std::string piece(100, 'x');
  std::size_t fed = 0;
  for (int i = 0; i < 1000; ++i) {
    feed(buffer, piece);
    fed += piece.size();
  }
  feed(buffer, "\nnext");
  fed += 5;
  EXPECT_EQ(buffer.bytes_scanned(), fed);  // each byte once, not once per read
  EXPECT_TRUE(buffer.holds_long_line());
  EXPECT_LT(buffer.capacity(), 2 * fed);  // grown by half, not to a power of two
  const FirstLine first = first_line(buffer.whole_lines());
  EXPECT_EQ(first.line, std::string(100'000, 'x'));
  buffer.consume(first.size);
  EXPECT_FALSE(buffer.holds_long_line());
  EXPECT_EQ(buffer.capacity(), block);
  EXPECT_EQ(buffer.held(), "next");
}

// Both ends of a pipe, closed at the end.
struct Pipe {
  int read_end = -1;
  int write_end = -1;
  Pipe() {
    int ends[2];
    if (::pipe(ends) == 0) {
      read_end = ends[0];
      write_end = ends[1];
    }
  }
  ~Pipe() {
    if (read_end >= 0) ::close(read_end);
    if (write_end >= 0) ::close(write_end);
  }
  void close_write_end() {
    ::close(write_end);
    write_end = -1;
  }
};

void make_non_blocking(int fd) { ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK); }

TEST(CliInput, NonBlockingInputIsWaitedFor) {
  Pipe pipe;
  make_non_blocking(pipe.read_end);
  std::thread writer([&pipe] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // so that the reader finds nothing
    (void)::write(pipe.write_end, "Knjigama\n", 9);
    pipe.close_write_end();
  });
  LineBuffer buffer(1024);
  const ReadOutcome first = fill(pipe.read_end, buffer);
  const ReadOutcome second = fill(pipe.read_end, buffer);
  writer.join();
  EXPECT_EQ(first.error, 0) << std::strerror(first.error);
  EXPECT_EQ(buffer.held(), "Knjigama\n");
  EXPECT_TRUE(second.end);
}

TEST(CliOutput, NonBlockingOutputIsWaitedFor) {
  Pipe pipe;
  make_non_blocking(pipe.write_end);
  const std::string text(1 << 20, 'a');  // many times what the pipe holds
  std::size_t received = 0;
  std::thread reader([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // so that the pipe fills
    char chunk[4096];
    for (ssize_t got; (got = ::read(pipe.read_end, chunk, sizeof chunk)) > 0;) received += static_cast<std::size_t>(got);
  });
  const int error = write_all(pipe.write_end, text);
  pipe.close_write_end();
  reader.join();
  EXPECT_EQ(error, 0) << std::strerror(error);
  EXPECT_EQ(received, text.size());
}

TEST(CliStemming, FailuresOnAnyThreadComeBackAfterAllHaveFinished) {
  // One letter per task: '-' finishes, 'm' runs out of memory, 'e' throws
  // another error. The failure of the lowest task is the one rethrown.
  const std::pair<std::string_view, char> cases[] = {
      {"m", 'm'}, {"m---", 'm'}, {"--m-", 'm'}, {"-e-m", 'e'}, {"--------", '-'},
  };
  for (const auto& [tasks, expected] : cases) {
    std::vector<std::atomic<bool>> finished(tasks.size());
    const auto task = [&, tasks = tasks](std::size_t i) {
      // The other tasks are still running when this thread's own one fails.
      if (i != 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
      finished[i] = true;
      if (tasks[i] == 'm') throw std::bad_alloc();
      if (tasks[i] == 'e') throw std::runtime_error("failed");
    };
    char rethrown = '-';
    try {
      run_in_parallel(tasks.size(), task);
    } catch (const std::bad_alloc&) {
      rethrown = 'm';
    } catch (const std::runtime_error&) {
      rethrown = 'e';
    }
    EXPECT_EQ(rethrown, expected) << tasks;
    for (std::size_t i = 0; i < tasks.size(); ++i) EXPECT_TRUE(finished[i]) << tasks << ", task " << i;
  }
}

TEST(CliStemming, SharesEndAtLineEndsAndCoverTheBlock) {
  std::string block;
  for (int i = 0; block.size() < 100'000; ++i) block += std::string(static_cast<std::size_t>(i % 50), 'a') + "\n";
  block += "tail";
  std::vector<Share> shares(4);
  for (const std::size_t min_share : {std::size_t{10}, std::size_t{40'000}, std::size_t{1} << 20}) {
    const std::size_t used = cut_into_shares(block, true, shares, min_share);
    EXPECT_EQ(used, min_share == 10 ? 4 : min_share == 40'000 ? 2 : 1);
    std::string joined;
    for (std::size_t i = 0; i < used; ++i) {
      joined += shares[i].text;
      EXPECT_EQ(shares[i].last, i + 1 == used);
      if (i + 1 < used) {
        EXPECT_EQ(shares[i].text.back(), '\n');
      }
    }
    EXPECT_EQ(joined, block);
  }
}

std::string stems_of(std::vector<std::string_view> words) {
  std::string out;
  for (const std::string_view word : words) out += stem_word(word) + "\n";
  return out;
}

TEST(CliStemming, ShareAnswersEveryLineBeforeTheFirstInvalidOne) {
  struct Case {
    std::string_view text;
    bool last;
    bool tokens;
    std::string out;
    std::size_t lines;
    std::size_t invalid;  // npos: valid
    std::size_t line_start;
  };
  constexpr auto valid = std::string_view::npos;
  const Case cases[] = {
      {"Knjigama\r\nДЈЕЦА\ntail\r", true, false, stems_of({"Knjigama", "ДЈЕЦА", "tail\r"}), 2, valid, 0},
      {"Knjigama\nunfinished", false, false, stems_of({"Knjigama"}), 1, valid, 0},
      {" Knjigama\u00a0i  ДЈЕЦА\n\n", false, true, stems_of({"Knjigama", "i", "ДЈЕЦА"}), 2, valid, 0},
      {"Knjigama\nab\xff" "c\nx\n", false, false, stems_of({"Knjigama"}), 1, 11, 9},
      {"\xed\xa0\x80\n", false, true, "", 0, 0, 0},
  };
  for (const Case& c : cases) {
    Share share;
    share.text = c.text;
    share.last = c.last;
    share.stem(c.tokens);
    EXPECT_EQ(share.out, c.out) << c.text;
    EXPECT_EQ(share.lines, c.lines) << c.text;
    EXPECT_EQ(share.valid(), c.invalid == valid) << c.text;
    if (c.invalid == valid) continue;
    EXPECT_EQ(share.invalid, c.invalid) << c.text;
    EXPECT_EQ(share.line_start, c.line_start) << c.text;
  }
}

}  // namespace
}  // namespace ardovel::cli
