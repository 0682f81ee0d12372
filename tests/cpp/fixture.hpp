// Reading the Unicode fixtures of tests/data, which tools/unicode writes from
// the Unicode data independently of the tables under test.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "unicode/unicode.hpp"

namespace ardovel::fixture {

constexpr Character LAST_SCALAR = 0x10FFFF;
constexpr bool is_scalar(Character c) noexcept { return c < 0xD800 || c > 0xDFFF; }

inline Character parse_hex(const std::string& text) { return static_cast<Character>(std::stoul(text, nullptr, 16)); }

// Each range of the fields left on a line, "0041" or "0041..005A", as its
// first and last code point.
template <class Each>
void for_each_range(std::istringstream& fields, Each each) {
  for (std::string range; fields >> range;) {
    const auto dots = range.find("..");
    const Character first = parse_hex(range.substr(0, dots));
    each(first, dots == std::string::npos ? first : parse_hex(range.substr(dots + 2)));
  }
}

template <class Each>
void for_each_in_ranges(std::istringstream& fields, Each each) {
  for_each_range(fields, [&](Character first, Character last) {
    for (Character c = first; c <= last; ++c) each(c);
  });
}

// Each line that is neither blank nor a comment, as its first word and the
// fields after it.
template <class Each>
void for_each_line(const std::string& path, Each each) {
  std::ifstream file(path);
  EXPECT_TRUE(file) << "missing fixture " << path;
  for (std::string line; std::getline(file, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string name;
    fields >> name;
    each(name, fields);
  }
}

}  // namespace ardovel::fixture
