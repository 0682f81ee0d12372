// A growable array of plain items in one block that asks for huge pages
// once it is large.
//
// A whole text's per-token arrays run to tens of megabytes, made afresh for
// each call. With 4 KiB pages every page is a fault when it is first
// touched, and on virtual machines a fault can cost microseconds: more
// than the work done on the page. A 2 MiB page is one fault.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

namespace ardovel {

namespace block_detail {
// A block of at least `bytes` bytes (rounded up to what was allocated),
// with huge pages asked for when it is large. Throws std::bad_alloc.
void* allocate(std::size_t& bytes, std::size_t alignment);
}  // namespace block_detail

template <class T>
class BlockArray {
  static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);

 public:
  BlockArray() noexcept = default;
  BlockArray(BlockArray&& other) noexcept
      : items_(std::exchange(other.items_, nullptr)),
        size_(std::exchange(other.size_, 0)),
        capacity_(std::exchange(other.capacity_, 0)) {}
  BlockArray& operator=(BlockArray&& other) noexcept {
    std::swap(items_, other.items_);
    std::swap(size_, other.size_);
    std::swap(capacity_, other.capacity_);
    return *this;
  }
  ~BlockArray() { std::free(items_); }

  void reserve(std::size_t count) {
    if (count <= capacity_) return;
    if (count > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_alloc();
    std::size_t bytes = count * sizeof(T);
    void* block = block_detail::allocate(bytes, alignof(T));
    if (size_ > 0) std::memcpy(block, items_, size_ * sizeof(T));
    std::free(items_);
    items_ = static_cast<T*>(block);
    capacity_ = bytes / sizeof(T);
  }
  // `count` items, zeroed.
  void assign_zeros(std::size_t count) {
    reserve(count);
    if (count > 0) std::memset(static_cast<void*>(items_), 0, count * sizeof(T));
    size_ = count;
  }
  template <class... Args>
  void emplace_back(Args&&... args) {
    if (size_ == capacity_) grow(1);
    new (items_ + size_) T(std::forward<Args>(args)...);
    ++size_;
  }
  void push_back(const T& item) { emplace_back(item); }
  void append(const T* items, std::size_t count) {
    if (capacity_ - size_ < count) grow(count);
    if (count > 0) std::memcpy(static_cast<void*>(items_ + size_), items, count * sizeof(T));
    size_ += count;
  }

  [[nodiscard]] std::size_t size() const noexcept { return size_; }
  [[nodiscard]] T* data() noexcept { return items_; }
  [[nodiscard]] const T* data() const noexcept { return items_; }
  T& operator[](std::size_t at) noexcept { return items_[at]; }
  const T& operator[](std::size_t at) const noexcept { return items_[at]; }
  [[nodiscard]] const T* begin() const noexcept { return items_; }
  [[nodiscard]] const T* end() const noexcept { return items_ + size_; }

 private:
  void grow(std::size_t more) {
    if (more > static_cast<std::size_t>(-1) / sizeof(T) - size_) throw std::bad_alloc();
    reserve(std::max({size_ + more, 2 * capacity_, std::size_t{64}}));
  }

  T* items_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

}  // namespace ardovel
