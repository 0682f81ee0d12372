// Letting a host stop long work: a word of megabytes is normalised in
// pieces, and the host is asked between them whether to go on.
//
// A host that unwinds with longjmp (PostgreSQL) must not do so through
// C++ frames, and one that checks for signals (Python) needs its lock to do
// it; so the work only asks, gives up when told, and leaves the host to act
// once it is back in its own code.
#pragma once

#include <cstddef>

namespace ardovel {

// About this many bytes of input between two questions: well under a
// millisecond of work.
inline constexpr std::size_t interruptible_piece = std::size_t{1} << 20;

struct Interruption {
  // Whether the host wants the work abandoned; null for a host that never
  // does. Called from the thread doing the work.
  bool (*check)(void* context) noexcept = nullptr;
  void* context = nullptr;

  [[nodiscard]] explicit operator bool() const noexcept { return check != nullptr; }
  [[nodiscard]] bool requested() const noexcept { return check != nullptr && check(context); }
};

}  // namespace ardovel
