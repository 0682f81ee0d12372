#include "lexicon/data.hpp"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstring>

#include "ardovel/analyzer.hpp"

namespace ardovel {
namespace {

// The path a host named, kept until the first use maps it: a host names it
// while it starts, before any key.
constexpr std::size_t most_path_bytes = 4096;
char path_given[most_path_bytes] = {};
std::atomic<bool> path_set{false};

std::span<const unsigned char> map_file() noexcept {
  if (!path_set.load(std::memory_order_acquire)) return {};
  const int fd = ::open(path_given, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  struct stat status {};
  void* mapped = MAP_FAILED;
  if (::fstat(fd, &status) == 0 && status.st_size > 0) {
    mapped = ::mmap(nullptr, static_cast<std::size_t>(status.st_size), PROT_READ, MAP_SHARED, fd, 0);
  }
  ::close(fd);  // the mapping stays
  if (mapped == MAP_FAILED) return {};
  return {static_cast<const unsigned char*>(mapped), static_cast<std::size_t>(status.st_size)};
}

}  // namespace

bool set_lexicon_file(std::string_view path) noexcept {
  if (path.empty() || path.size() >= most_path_bytes || path_set.load(std::memory_order_acquire)) return false;
  std::memcpy(path_given, path.data(), path.size());
  path_given[path.size()] = '\0';
  path_set.store(true, std::memory_order_release);
  return true;
}

bool set_lexicon_file_beside_this_binary() noexcept {
  Dl_info self{};
  if (dladdr(reinterpret_cast<void*>(&set_lexicon_file_beside_this_binary), &self) == 0 || self.dli_fname == nullptr)
    return false;
  const std::string_view binary = self.dli_fname;
  const std::string_view directory = binary.substr(0, binary.rfind('/') + 1);  // "" without a slash
  if (directory.size() + lexicon_file_name.size() >= most_path_bytes) return false;
  char path[most_path_bytes];
  std::memcpy(path, directory.data(), directory.size());
  std::memcpy(path + directory.size(), lexicon_file_name.data(), lexicon_file_name.size());
  return set_lexicon_file({path, directory.size() + lexicon_file_name.size()});
}

namespace lexicon_data {

std::span<const unsigned char> bytes() noexcept {
  // Mapped once, for the life of the process, as constant data would be.
  static const std::span<const unsigned char> mapped = map_file();
  return mapped;
}

}  // namespace lexicon_data
}  // namespace ardovel
