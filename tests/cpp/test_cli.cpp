// The parts of ardovel-stem that can be tried without running the program.
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "ardovel/analyzer.hpp"
#include "cli/encoding.hpp"
#include "cli/input.hpp"
#include "cli/options.hpp"
#include "cli/output.hpp"
#include "cli/progress.hpp"
#include "cli/stemming.hpp"

namespace ardovel::cli {
namespace {

using Action = Options::Action;

struct OptionCase {
  std::vector<std::string> args;
  Action action;
  std::string switches;  // "t" --tokens, "p" --pairs, "s" --stopwords
  std::optional<std::string> encoding;
  std::vector<std::string> paths;
  std::string error;
};

TEST(CliOptions, ParseAsGnuToolsDo) {
  const std::vector<std::string> stdin_only = {"-"};
  const std::nullopt_t utf8 = std::nullopt;
  const OptionCase cases[] = {
      {{}, Action::stem, "", utf8, stdin_only, ""},
      {{"-t"}, Action::stem, "t", utf8, stdin_only, ""},
      {{"-th"}, Action::help, "t", utf8, {}, ""},  // bundled
      {{"--tok", "a"}, Action::stem, "t", utf8, {"a"}, ""},  // a prefix
      {{"--ver"}, Action::version, "", utf8, {}, ""},
      {{"a", "-t", "b"}, Action::stem, "t", utf8, {"a", "b"}, ""},  // in any order
      {{"-", "--", "-t"}, Action::stem, "", utf8, {"-", "-t"}, ""},
      {{"--help", "--frobnicate"}, Action::help, "", utf8, {}, ""},  // help ends the parsing
      {{"-ps", "--stop"}, Action::stem, "ps", utf8, stdin_only, ""},
      {{"-e", "CP1250", "f"}, Action::stem, "", "CP1250", {"f"}, ""},
      {{"-tsecp1251"}, Action::stem, "ts", "cp1251", stdin_only, ""},  // attached, after bundled switches
      {{"--encoding=ISO-8859-5", "--enc", "-t"}, Action::stem, "", "-t", stdin_only, ""},  // the last one counts
      {{"--encoding="}, Action::stem, "", "", stdin_only, ""},  // refused later, by name
      {{"-x"}, Action::stem, "", utf8, {}, "unknown option '-x'"},
      {{"-tx"}, Action::stem, "t", utf8, {}, "unknown option '-x'"},
      {{"--tokens", "-xt"}, Action::stem, "t", utf8, {}, "unknown option '-x'"},
      {{"--frobnicate", "--help"}, Action::stem, "", utf8, {}, "unknown option '--frobnicate'"},
      {{"--tokens=yes"}, Action::stem, "", utf8, {}, "option '--tokens' takes no argument"},
      {{"-te"}, Action::stem, "", utf8, {}, "option '-e' requires an argument"},
      {{"a", "--enc"}, Action::stem, "", utf8, {}, "option '--enc' requires an argument"},
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
    const Options& options = parsed.options;
    const auto given = [&c](char letter) { return c.switches.find(letter) != std::string::npos; };
    EXPECT_EQ(options.action, c.action) << shown;
    EXPECT_EQ(options.tokens, given('t')) << shown;
    EXPECT_EQ(options.pairs, given('p')) << shown;
    EXPECT_EQ(options.stopwords, given('s')) << shown;
    if (c.action == Action::stem) {
      EXPECT_EQ(options.encoding, c.encoding) << shown;
      EXPECT_EQ(options.paths, c.paths) << shown;
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

TEST(CliStemming, ShareAnswersEveryLineBeforeTheFirstInvalidOne) {
  using namespace std::string_view_literals;
  struct Case {
    std::string_view text;
    Mode mode;
    bool stop_words;
    bool last;
    std::string_view out;
    std::size_t lines;
    std::size_t invalid;  // npos: valid
    std::size_t line_start;
  };
  constexpr auto valid = std::string_view::npos;
  const Case cases[] = {
      {"Knjigama\r\nДЈЕЦА\n\ntail\r", Mode::lines, false, true, "knjig\ndjek\n\ntail\r\n", 3, valid, 0},
      // Only "\n" ends a line, and one "\r" before it belongs to the end.
      {"Knjigama\r\r\na\rb\nIT\nit\na\0b\na\u2028b\u0085c\fd\n  Дијете  \t\n"sv, Mode::lines, false, true,
       "knjigama\r\na\rb\nIT\nit\nab\na\u2028b\u0085c\fd\n  dete  \t\n", 7, valid, 0},
      {"", Mode::lines, false, true, "", 0, valid, 0},
      {"Knjigama\nunfinished", Mode::lines, false, false, "knjig\n", 1, valid, 0},
      {"Knjigama\nunfinished\xff", Mode::tokens, false, false, "knjig\n", 1, valid, 0},
      // A stop word still has its line, so answers match lines.
      {"su\nKnjigama\nСУ\nsuza\n", Mode::lines, true, false, "\nknjig\n\nsuz\n", 4, valid, 0},
      // Tokens end at punctuation; an empty stem and an empty line give nothing.
      {"knjige,reke\n\n– i —\n", Mode::tokens, false, false, "knjig\nrek\n", 3, valid, 0},
      {" Knjigama\u00a0i\u00adsto  ДЈЕЦА\r\n", Mode::tokens, false, false, "knjig\nist\ndjek\n", 1, valid, 0},
      {"Knjige su na stolu.", Mode::tokens, true, true, "knjig\nstol\n", 0, valid, 0},
      {"Knjige su\n\nna stolu.", Mode::pairs, false, true, "7\tKnjige\tknjig\n7\tsu\ts\n9\tna\tn\n9\tstolu\tstol\n", 2,
       valid, 0},
      {"Knjige su\n\nna stolu.", Mode::pairs, true, true, "7\tKnjige\tknjig\n9\tstolu\tstol\n", 2, valid, 0},
      // Nothing of the bad line, wherever in it the bad byte is.
      {"Knjigama\nab\xff" "c\nx\n", Mode::lines, false, false, "knjig\n", 1, 11, 9},
      {"dobro\nKnjige ab,\xff\nx\n", Mode::tokens, false, false, "dobr\n", 1, 16, 6},
      {"dobro\nKnjige knjig\xd0\n", Mode::pairs, false, false, "7\tdobro\tdobr\n", 1, 18, 6},
      {"dobro\n\xf0\x9f\x98 Knjige\n", Mode::tokens, false, false, "dobr\n", 1, 6, 6},
      {"\xed\xa0\x80\n", Mode::tokens, false, false, "", 0, 0, 0},
  };
  for (const Case& c : cases) {
    Share share;
    share.text = c.text;
    share.last = c.last;
    share.first_line_number = 7;
    share.answerer = Answerer(c.mode, AnalyzerOptions{c.stop_words ? StopWords::serbian() : StopWords()});
    share.stem();
    EXPECT_EQ(share.out, c.out) << c.text;
    EXPECT_EQ(share.lines, c.lines) << c.text;
    EXPECT_EQ(share.valid(), c.invalid == valid) << c.text;
    if (c.invalid == valid) continue;
    EXPECT_EQ(share.invalid, c.invalid) << c.text;
    EXPECT_EQ(share.line_start, c.line_start) << c.text;
  }
}

// Pieces go through a socket that keeps their bounds, so each is one read.
// A read takes at most 32 bytes here (a quarter block, or 32), and the socket
// would drop the rest of a longer piece, so those are cut into such reads.
std::string decode_in_pieces(const std::string& encoding, const std::vector<std::string_view>& pieces,
                             std::optional<unsigned char>& invalid) {
  constexpr std::size_t block = 64;  // so that output fills the buffer and the buffer grows
  constexpr std::size_t largest_read = 32;
  int ends[2];
  if (::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, ends) != 0) return "no socket";
  for (std::string_view piece : pieces) {
    for (; !piece.empty(); piece.remove_prefix(std::min(piece.size(), largest_read))) {
      (void)::write(ends[1], piece.data(), std::min(piece.size(), largest_read));
    }
  }
  ::close(ends[1]);
  std::optional<Decoder> decoder = Decoder::open(encoding);
  if (!decoder) return "no decoder";
  LineBuffer buffer(block);
  DecodedInput input(std::move(*decoder), block);
  input.start();
  std::string text;
  for (bool end = false; !end;) {
    const ReadOutcome read = input.fill(ends[0], buffer);
    end = read.end || read.error != 0;
    text += end ? buffer.held() : buffer.whole_lines();
    buffer.consume(end ? buffer.held().size() : buffer.whole_lines().size());
  }
  ::close(ends[0]);
  invalid = input.invalid_byte();
  return text;
}

TEST(CliEncoding, DecodesInPiecesCarryingCutSequencesAndStopsAtAnInvalidByte) {
  struct Case {
    std::string encoding;
    std::vector<std::string_view> pieces;
    std::string text;  // all that was decoded
    std::optional<unsigned char> invalid;
  };
  // Far more UTF-8 than the 64-byte buffer holds: as lines, and as one line.
  std::string raw_lines, lines, raw_line, line;
  for (int i = 0; i < 60; ++i) {
    raw_lines += "\xc4\xe5\xf6\xe0\n";
    lines += "Деца\n";
    raw_line += "\xc4\xe5\xf6\xe0 ";  // 9 bytes in UTF-8: a character will not fit
    line += "Деца ";
  }
  const std::string_view long_lines = raw_lines;
  const Case cases[] = {
      {"WINDOWS-1251", {"\xc4\xe5\xf6\xe0\n\xc4\xe5", "\xf6\xe0\n"}, "Деца\nДеца\n", std::nullopt},
      {"WINDOWS-1251", {long_lines.substr(0, 101), long_lines.substr(101)}, lines, std::nullopt},
      {"WINDOWS-1251", {raw_line}, line, std::nullopt},
      {"ISO-8859-5", {"\xb4\xd5\xe6\xd0 \xa2\xd0\xda"}, "Деца Ђак", std::nullopt},
      {"ISO-8859-2", {"\xe8itanje \xa9uma"}, "čitanje Šuma", std::nullopt},
      {"UTF-16LE", {"\x02", "\x04\x30", "\x04\x3a\x04"}, "Ђак", std::nullopt},
      {"UTF-16LE", {std::string_view("\x3d\xd8\x00", 3), "\xde!", std::string_view("\x00", 1)}, "😀!", std::nullopt},
      {"WINDOWS-1250", {"ab\n\xe8i\x98x\n", "more\n"}, "ab\nči", 0x98},
      {"UTF-16LE", {std::string_view("a\0b", 3)}, "a", 'b'},  // ends inside a character
  };
  for (const Case& c : cases) {
    std::optional<unsigned char> invalid;
    EXPECT_EQ(decode_in_pieces(c.encoding, c.pieces, invalid), c.text) << c.encoding << " " << c.text;
    EXPECT_EQ(invalid, c.invalid) << c.encoding << " " << c.text;
  }
}

}  // namespace
}  // namespace ardovel::cli
