// The worked examples of the stemmer, read from the one table that the core,
// the reference model and the Python functions are all checked against.
#pragma once

#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace ardovel::examples {

// One word: the input, every form it passes through, and the answer last.
using Trace = std::vector<std::string>;

inline void append_utf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
    return;
  }
  static constexpr unsigned lead[] = {0, 0xC0, 0xE0, 0xF0};
  const int tail = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
  out += static_cast<char>(lead[tail] | (c >> (6 * tail)));
  for (int k = tail - 1; k >= 0; --k) out += static_cast<char>(0x80U | ((c >> (6 * k)) & 0x3FU));
}

// The table's escapes are a subset of Python's, so its test reads the same
// file with the standard decoder.
inline std::string unescaped(std::string_view field) {
  if (field == "\"\"") return {};
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '\\') {
      out += field[i];
      continue;
    }
    const char kind = i + 1 < field.size() ? field[++i] : '\0';
    const std::size_t digits = kind == 'x' ? 2 : kind == 'u' ? 4 : 0;
    if (kind == '\\' || kind == 'n' || kind == 't') {
      out += kind == 'n' ? '\n' : kind == 't' ? '\t' : '\\';
    } else if (digits != 0 && i + digits < field.size()) {
      append_utf8(out, static_cast<char32_t>(std::stoul(std::string(field.substr(i + 1, digits)), nullptr, 16)));
      i += digits;
    } else {
      throw std::invalid_argument("unknown escape in «" + std::string(field) + "»");
    }
  }
  return out;
}

inline std::vector<Trace> stem_examples() {
  std::ifstream in(ARDOVEL_TEST_DATA "/stem_examples.tsv", std::ios::binary);
  if (!in) throw std::runtime_error(ARDOVEL_TEST_DATA "/stem_examples.tsv cannot be read");
  std::vector<Trace> traces;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line.front() == '#') continue;
    Trace& trace = traces.emplace_back();
    for (std::size_t start = 0, end = 0; end != std::string::npos; start = end + 1) {
      end = line.find('\t', start);
      trace.push_back(unescaped(std::string_view(line).substr(start, end - start)));
    }
  }
  return traces;
}

}  // namespace ardovel::examples
