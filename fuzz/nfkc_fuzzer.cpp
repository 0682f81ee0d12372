// libFuzzer target for NFKC and the accent drop.
//
// Both have fast paths (bytes of safe starters copied as they are, a quick
// check that decides most text from its bytes, a restart at each safe
// starter, a composer that sorts marks as they come); this target checks
// them against the plain models of tests/reference:
// - to_nfkc equals the model's NFKC, and is NFKC-stable (idempotent);
// - is_nfkc says exactly whether NFKC leaves the text as it is, and nfkc
//   hands back the text itself then;
// - on NFKC text, drop_accents equals the model's, gives NFKC text that has
//   nothing more to drop, and without_accents agrees with it;
// - nfkc_without_accents equals the two, one after the other.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_input.hpp"
#include "reference/reference_nfkc.hpp"
#include "unicode/accents.hpp"
#include "unicode/normalization.hpp"
#include "ardovel/text.hpp"

namespace {

using ardovel::Text;
using ardovel::fuzz::invariant_failed;
using ardovel::fuzz::mismatch;

// What a byte that starts no valid sequence becomes: characters that take
// part in NFKC in some way of their own.
constexpr char32_t normalization_characters[] = {
    0x0300, 0x0301, 0x0302, 0x0303, 0x0304, 0x030F, 0x0311,          // the accent marks
    0x0306, 0x0308, 0x030C, 0x0307, 0x030A, 0x031B, 0x0342,          // other marks above
    0x0323, 0x0327, 0x0328, 0x0334, 0x0345, 0x05B0, 0x093C,          // other classes
    0x094D, 0x3099, 0x1D165, 0x0F71, 0x0F72, 0x0E48, 0x0E38,         // ...
    0x0340, 0x0341, 0x0343, 0x0344, 0x0F73, 0x0F75, 0x0F81,          // singletons, non-starter decompositions
    0x212B, 0x2126, 0x0958, 0x2ADC, 0x1D15E, 0xFB1D, 0x0374,         // ... and exclusions
    0x00A0, 0x00B4, 0x00A8, 0xFB01, 0xFF21, 0xFF41, 0x2460,          // compatibility
    0x01C4, 0x01C5, 0x01C6, 0x01C7, 0x01C8, 0x01C9, 0x01CC,          // the digraph letters
    0x1E9B, 0x017F, 0x3392, 0xFDFA, 0xFE80, 0x2474, 0x1D400,         // ...
    0x1100, 0x1161, 0x11A8, 0xAC00, 0xAC01, 0x1112, 0x1175, 0x11C2,  // Hangul
    0x09C7, 0x09BE, 0x09D7, 0x0CC6, 0x0CC2, 0x0CD5, 0x0B47, 0x0B3E,  // starters that compose
    0x113C2, 0x113C5, 0x113B8, 0x16D67, 0x16D63, 0x16121, 0x1611E,  // ... and are composed to
    0x0061, 0x0065, 0x0072, 0x0041, 0x0052, 0x0063, 0x0073,          // bases and not
    0x0430, 0x0435, 0x0438, 0x0440, 0x0443, 0x0418, 0x0436,          // ...
    0x00E9, 0x0155, 0x0205, 0x0213, 0x0450, 0x045D, 0x0439,          // precomposed
    0x00E2, 0x01D6, 0x1EA5, 0x1EAD, 0x0107, 0x0161, 0x00FC,          // ...
    0x04E3, 0x04EF, 0x0101, 0x01FA, 0x1E17, 0x00C5, 0x1F00,          // ...
    0x0132, 0x0133, 0x013F, 0x0140, 0x0149, 0x043F, 0x0432,          // second bytes the quick check watches
    0x0400, 0x040D, 0x0113, 0x0129, 0x012B, 0x014D, 0x0154,          // ... and the accent scan
    0x0169, 0x016B, 0x0439, 0x0419, 0x0107, 0x010D, 0x045E,          // ...
};

void check_nfkc(const std::string& text) {
  Text fast;
  fast.append("stale bytes that must be overwritten");
  ardovel::to_nfkc(text, fast);
  const std::string model = ardovel::reference::reference_nfkc(text);
  if (fast.view() != model) mismatch("to_nfkc differs from the model", text, fast.view(), model);

  Text again;
  ardovel::to_nfkc(fast.view(), again);
  if (again.view() != fast.view()) mismatch("to_nfkc is not idempotent", text, again.view(), fast.view());
  if (!ardovel::is_nfkc(fast.view())) invariant_failed("is_nfkc rejects NFKC text", text, fast.view());

  const bool unchanged = model == text;
  if (ardovel::is_nfkc(text) != unchanged) invariant_failed(unchanged ? "is_nfkc rejects NFKC text" : "is_nfkc accepts text NFKC changes", text, model);
  Text scratch;
  const std::string_view given = ardovel::nfkc(text, scratch);
  if (given != model) mismatch("nfkc differs from the model", text, given, model);
  if (unchanged && given.data() != text.data()) invariant_failed("nfkc copied NFKC text", text, given);
}

void check_accents(const std::string& input, std::string_view text) {
  Text dropped;
  ardovel::drop_accents(text, dropped);
  const std::string model = ardovel::reference::reference_drop_accents(text);
  if (dropped.view() != model) mismatch("drop_accents differs from the model", input, dropped.view(), model);
  if (!ardovel::is_nfkc(dropped.view())) invariant_failed("drop_accents gave text that is not NFKC", input, dropped.view());

  Text scratch;
  const std::string_view given = ardovel::without_accents(text, scratch);
  if (given != model) mismatch("without_accents differs from drop_accents", input, given, model);
  Text twice;
  if (ardovel::without_accents(given, twice) != given) invariant_failed("a second drop changed the text", input, twice.view());
  Text fused;
  const std::string_view both = ardovel::nfkc_without_accents(input, fused);
  if (both != model) mismatch("nfkc_without_accents differs from the two steps", input, both, model);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text = ardovel::fuzz::to_valid_utf8(data, size, normalization_characters);
  check_nfkc(text);
  Text normalized;
  ardovel::to_nfkc(text, normalized);
  check_accents(text, normalized.view());
  return 0;
}
