// Compiles a stop list into a C++ header at build time, so the default stop
// words reach the library as constant data: the words as written, and a
// ready hash table of their normalised forms (see stopword_table.hpp).
//
//   make_stopword_table LIST HEADER
//
// LIST has one word per line; lines starting with "#" and blank lines are
// skipped. A word given twice, a word that is not valid UTF-8 or holds
// white space, a quote or a backslash, and a word whose normalised form is
// empty are errors: each would be a mistake in the list.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/stopword_table.hpp"
#include "ardovel/utf8.hpp"
#include "stemmer/normalise.hpp"

namespace {

using ardovel::analysis::stopword_table::insert;
using ardovel::analysis::stopword_table::slot_count;

bool fits_a_literal(std::string_view word) {
  for (const char byte : word) {
    const auto value = static_cast<unsigned char>(byte);
    if (value <= ' ' || value == 0x7F || byte == '"' || byte == '\\') return false;
  }
  return true;
}

std::string normalise(std::string_view word) {
  std::string out(ardovel::normalised_capacity(word.size()), '\0');
  out.resize(ardovel::normalise_into(word, out.data()));
  return out;
}

struct StopList {
  std::vector<std::string> words;       // as written, in order
  std::vector<std::string> normalised;  // distinct, in order of first use
};

bool read_list(const char* path, StopList& list) {
  std::ifstream in(path);
  if (!in) {
    std::cerr << "make_stopword_table: cannot read " << path << "\n";
    return false;
  }
  std::set<std::string> seen_words;
  std::set<std::string> seen_forms;
  std::size_t line_number = 0;
  for (std::string line; std::getline(in, line);) {
    ++line_number;
    if (line.empty() || line[0] == '#') continue;
    const std::string where = std::string(path) + ":" + std::to_string(line_number) + ": ";
    if (!ardovel::is_valid_utf8(line) || !fits_a_literal(line)) {
      std::cerr << where << "not one plain UTF-8 word\n";
      return false;
    }
    if (!seen_words.insert(line).second) {
      std::cerr << where << "\"" << line << "\" is listed twice\n";
      return false;
    }
    std::string form = normalise(line);
    if (form.empty()) {
      std::cerr << where << "\"" << line << "\" has an empty normalised form\n";
      return false;
    }
    list.words.push_back(line);
    if (seen_forms.insert(form).second) list.normalised.push_back(std::move(form));
  }
  return true;
}

void write_header(std::ostream& out, const StopList& list) {
  const std::size_t slots = slot_count(list.normalised.size());
  std::vector<std::string_view> table(slots);
  std::size_t longest = 0;
  for (const std::string& form : list.normalised) {
    insert(table, slots - 1, form);
    if (form.size() > longest) longest = form.size();
  }
  out << "// Generated at build time by tools/stopwords/make_stopword_table.cpp from\n"
         "// src/analysis/serbian_stopwords.txt; do not edit.\n"
         "#pragma once\n\n#include <cstddef>\n#include <string_view>\n\n"
         "namespace ardovel::analysis::serbian_stopword_data {\n\n"
         "// The words as written, in the list's order.\n"
         "inline constexpr std::string_view WORDS[] = {\n";
  for (const std::string& word : list.words) out << "    \"" << word << "\",\n";
  out << "};\n\n"
      << "inline constexpr std::size_t NORMALISED_COUNT = " << list.normalised.size() << ";\n"
      << "inline constexpr std::size_t LONGEST = " << longest << ";\n\n"
      << "// Their distinct normalised forms, hashed into slots; \"\" is a free slot.\n"
      << "inline constexpr std::string_view SLOTS[" << slots << "] = {\n";
  for (const std::string_view slot : table) out << "    \"" << slot << "\",\n";
  out << "};\n\n}  // namespace ardovel::analysis::serbian_stopword_data\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: make_stopword_table LIST HEADER\n";
    return 2;
  }
  StopList list;
  if (!read_list(argv[1], list)) return 1;
  std::ofstream out(argv[2], std::ios::binary);
  write_header(out, list);
  out.close();
  if (!out) {
    std::cerr << "make_stopword_table: cannot write " << argv[2] << "\n";
    std::remove(argv[2]);
    return 1;
  }
  return 0;
}
