// Words in, keys out, one a line, for measuring the lemma key from Python
// (bench/lemma_quality.py) without putting it in the module.
//
//   lemma_keys [--fold] [--lexicon FILE] < words > keys
//
// --lexicon reads the data from a file made by make_lexicon (a lexicon
// with lemmas held out) instead of the one built in.
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "lexicon/lemma.hpp"

int main(int argc, char** argv) {
  bool fold = false;
  std::string path;
  for (int k = 1; k < argc; ++k) {
    const std::string arg = argv[k];
    if (arg == "--fold") {
      fold = true;
    } else if (arg == "--lexicon" && k + 1 < argc) {
      path = argv[++k];
    } else {
      std::cerr << "usage: lemma_keys [--fold] [--lexicon FILE]\n";
      return 2;
    }
  }
  std::vector<std::uint32_t> storage;
  const ardovel::Lexicon* lexicon = &ardovel::Lexicon::installed();
  ardovel::Lexicon loaded{std::span<const unsigned char>{}};
  if (!path.empty()) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    storage.resize((bytes.size() + 3) / 4);
    std::copy(bytes.begin(), bytes.end(), reinterpret_cast<char*>(storage.data()));
    loaded = ardovel::Lexicon({reinterpret_cast<const unsigned char*>(storage.data()), bytes.size()});
    if (!loaded.available()) {
      std::cerr << "lemma_keys: not a lexicon: " << path << "\n";
      return 1;
    }
    lexicon = &loaded;
  }
  std::ios::sync_with_stdio(false);
  ardovel::LemmaScratch scratch;
  std::string out;
  for (std::string word; std::getline(std::cin, word);) {
    out.append(ardovel::lemma_key_into(*lexicon, word, fold, scratch));
    out.push_back('\n');
    if (out.size() > (1U << 16)) {
      std::cout << out;
      out.clear();
    }
  }
  std::cout << out;
  return 0;
}
