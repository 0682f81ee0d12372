// Letting other Python threads run while this one works on plain bytes.
#pragma once

#include <Python.h>

namespace ardovel::py {

// Releases the interpreter lock for its lifetime when asked to, and takes it
// back when it goes away, also while an exception unwinds past it. Nothing
// may touch a Python object meanwhile.
class GilReleased {
 public:
  explicit GilReleased(bool release) noexcept : state_(release ? PyEval_SaveThread() : nullptr) {}
  ~GilReleased() {
    if (state_ != nullptr) PyEval_RestoreThread(state_);
  }
  GilReleased(const GilReleased&) = delete;
  GilReleased& operator=(const GilReleased&) = delete;

  // Runs `work` with the lock held: taken back for the while, if released.
  template <class Work>
  auto with_lock(Work&& work) {
    if (state_ == nullptr) return work();
    PyEval_RestoreThread(state_);
    auto result = work();
    state_ = PyEval_SaveThread();
    return result;
  }

 private:
  PyThreadState* state_;
};

}  // namespace ardovel::py
