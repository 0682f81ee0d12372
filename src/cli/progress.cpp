#include "progress.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "output.hpp"

namespace ardovel::cli {

std::string progress_figures(std::size_t done, std::size_t total) {
  char figures[64];
  if (total >= done && total > 0) {
    std::snprintf(figures, sizeof figures, "%3.0f%% of %.1f MB",
                  100.0 * static_cast<double>(done) / static_cast<double>(total), static_cast<double>(total) / 1e6);
  } else {
    std::snprintf(figures, sizeof figures, "%.1f MB", static_cast<double>(done) / 1e6);
  }
  return figures;
}

Progress::Progress() noexcept : enabled_(::isatty(STDERR_FILENO) == 1 && ::isatty(STDOUT_FILENO) != 1) {}

void Progress::start(std::string_view name, int fd) {
  clear();
  name_ = name;
  total_ = 0;
  struct stat info {};
  if (enabled_ && ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) total_ = static_cast<std::size_t>(info.st_size);
  last_ = std::chrono::steady_clock::now();
}

void Progress::update(std::size_t answered) {
  if (!enabled_ || answered < threshold) return;
  const auto now = std::chrono::steady_clock::now();
  if (shown_ && now - last_ < std::chrono::milliseconds(200)) return;
  last_ = now;
  shown_ = true;
  std::string line = "\r";
  line.append(program_name).append(": ").append(name_).append(": ").append(progress_figures(answered, total_));
  line.append("\033[K");
  (void)write_all(STDERR_FILENO, line);
}

void Progress::clear() noexcept {
  if (shown_) (void)write_all(STDERR_FILENO, "\r\033[K");
  shown_ = false;
}

}  // namespace ardovel::cli
