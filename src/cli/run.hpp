// One run of ardovel-stem: every input in turn, answered into standard output.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ardovel/analyzer.hpp"
#include "encoding.hpp"
#include "input.hpp"
#include "progress.hpp"
#include "stemming.hpp"

namespace ardovel::cli {

class Run {
 public:
  // Without a decoder the input is read as UTF-8.
  Run(Mode mode, const AnalyzerOptions& options, std::optional<Decoder> decoder);

  // Stems one input, "-" being standard input. False after an error, which
  // has been reported; the answers to the lines before it have been written.
  bool stem_input(const std::string& path);

 private:
  bool stem_stream(int fd, std::string_view name);
  bool answer(std::string_view block, bool last, std::string_view name, std::size_t& lines);
  bool answer_long_line(const FirstLine& first, std::string_view name, std::size_t& lines);
  bool answer_block(std::string_view block, bool last, std::string_view name, std::size_t& lines);
  bool write(std::string_view text);
  bool fail(std::initializer_list<std::string_view> parts) noexcept;
  bool fail_invalid_utf8(std::string_view name, std::size_t line, char byte, std::size_t column) noexcept;
  bool fail_invalid_encoding(std::string_view name, std::size_t line, unsigned char byte);

  void number_shares(std::size_t used, std::size_t lines) noexcept;

  Mode mode_;
  AnalyzerOptions options_;
  std::size_t workers_;  // threads a block is stemmed on
  std::vector<Share> shares_;
  LineBuffer buffer_;
  std::optional<DecodedInput> decoded_;
  Progress progress_;
};

}  // namespace ardovel::cli
