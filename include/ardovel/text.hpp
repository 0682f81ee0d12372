// Owned, growable UTF-8 byte string: the scratch every stemming call writes
// into, and the buffer hosts hand texts over in.
//
// Words are short, and a call of the stemmer must not pay for a heap
// allocation per intermediate form, so the first bytes live inside the
// object itself and only longer texts move to the heap.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace ardovel {

class Text {
 public:
  static constexpr std::size_t inline_capacity = 112;

  Text() noexcept = default;
  explicit Text(std::string_view bytes) { append(bytes); }
  Text(const Text& other) { append(other.view()); }
  Text(Text&& other) noexcept { take(other); }
  Text& operator=(const Text& other) {
    if (this != &other) assign(other.view());
    return *this;
  }
  Text& operator=(Text&& other) noexcept {
    if (this != &other) {
      release();
      take(other);
    }
    return *this;
  }
  ~Text() { release(); }

  [[nodiscard]] char* data() noexcept { return data_; }
  [[nodiscard]] const char* data() const noexcept { return data_; }
  [[nodiscard]] std::size_t size() const noexcept { return size_; }
  [[nodiscard]] std::size_t capacity() const noexcept { return capacity_; }
  [[nodiscard]] bool empty() const noexcept { return size_ == 0; }
  [[nodiscard]] std::string_view view() const noexcept { return {data_, size_}; }
  operator std::string_view() const noexcept { return view(); }  // NOLINT: a Text is a view's owner
  [[nodiscard]] std::string str() const { return std::string(view()); }

  void clear() noexcept { size_ = 0; }
  void reserve(std::size_t wanted) {
    if (wanted > capacity_) reallocate(wanted);
  }
  void assign(std::string_view bytes) {
    clear();
    append(bytes);
  }
  void append(std::string_view bytes) {
    char* dest = extend(bytes.size());
    if (!bytes.empty()) std::memcpy(dest, bytes.data(), bytes.size());
  }
  void push_back(char byte) { *extend(1) = byte; }
  // Makes room for `count` more bytes, counts them as part of the text and
  // returns where they start; the caller must write every one of them.
  [[nodiscard]] char* extend(std::size_t count) {
    if (count > capacity_ - size_) reallocate(grown_capacity(size_ + count));
    char* dest = data_ + size_;
    size_ += count;
    return dest;
  }
  // Empties the text and gives its heap block back when that is larger
  // than `most` bytes, so a one-off long text does not keep its memory.
  void clear_and_shrink(std::size_t most) noexcept {
    clear();
    if (capacity_ > most) release();
  }
  // Shortens the text to `count` bytes; never grows it.
  void truncate(std::size_t count) noexcept {
    if (count < size_) size_ = count;
  }

  friend bool operator==(const Text& a, const Text& b) noexcept { return a.view() == b.view(); }
  friend bool operator==(const Text& a, std::string_view b) noexcept { return a.view() == b; }

 private:
  [[nodiscard]] bool on_heap() const noexcept { return data_ != inline_; }
  [[nodiscard]] std::size_t grown_capacity(std::size_t needed) const noexcept {
    const std::size_t doubled = capacity_ * 2;
    return doubled > needed ? doubled : needed;
  }
  void reallocate(std::size_t new_capacity) {
    char* fresh = new char[new_capacity];
    if (size_ != 0) std::memcpy(fresh, data_, size_);
    release();
    data_ = fresh;
    capacity_ = new_capacity;
  }
  void release() noexcept {
    if (on_heap()) delete[] data_;
    data_ = inline_;
    capacity_ = inline_capacity;
  }
  // Leaves `other` empty; expects *this to hold no heap block.
  void take(Text& other) noexcept {
    if (other.on_heap()) {
      data_ = other.data_;
      capacity_ = other.capacity_;
      other.data_ = other.inline_;
      other.capacity_ = inline_capacity;
    } else {
      std::memcpy(inline_, other.inline_, other.size_);
    }
    size_ = other.size_;
    other.size_ = 0;
  }

  char* data_ = inline_;
  std::size_t size_ = 0;
  std::size_t capacity_ = inline_capacity;
  char inline_[inline_capacity];
};

}  // namespace ardovel
