// A progress line on standard error for large inputs.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace ardovel::cli {

// "42% of 13.5 MB" when the size of the input is known and not yet passed,
// otherwise the amount done: "13.5 MB".
[[nodiscard]] std::string progress_figures(std::size_t done, std::size_t total);

// Shown only when standard error is a terminal and the answers go somewhere
// else, and only past the first few megabytes, at most five times a second.
// It counts the bytes whose answers have been written, so after an error it
// still shows how far the answers go.
class Progress {
 public:
  Progress() noexcept;

  // A new input; `name` as messages show it.
  void start(std::string_view name, int fd);
  void update(std::size_t answered);
  // Removes the progress line, if one is showing; called before any message.
  void clear() noexcept;

 private:
  static constexpr std::size_t threshold = std::size_t{4} << 20;
  bool enabled_;
  bool shown_ = false;
  std::string name_;
  std::size_t total_ = 0;
  std::chrono::steady_clock::time_point last_;
};

}  // namespace ardovel::cli
