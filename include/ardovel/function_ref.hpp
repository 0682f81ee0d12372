// A borrowed callable: what the interface takes where a host hands in code
// to be called back (each term of a text, each term of a query), without
// templates in the interface and without allocating.
#pragma once

#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

namespace ardovel {

template <class Signature>
class FunctionRef;

// Calls the callable it was made from, which must outlive it. A callable
// that returns void stands for one that always returns true ("go on").
template <class... Args>
class FunctionRef<bool(Args...)> {
 public:
  template <class Callable>
    requires(!std::is_same_v<std::remove_cvref_t<Callable>, FunctionRef> && std::is_invocable_v<Callable&, Args...>)
  FunctionRef(Callable&& callable) noexcept  // NOLINT: taking any callable is the point
      : object_(const_cast<void*>(static_cast<const void*>(std::addressof(callable)))),
        call_([](void* object, Args... args) -> bool {
          auto& target = *static_cast<std::remove_reference_t<Callable>*>(object);
          if constexpr (std::is_void_v<std::invoke_result_t<Callable&, Args...>>) {
            std::invoke(target, std::forward<Args>(args)...);
            return true;
          } else {
            return static_cast<bool>(std::invoke(target, std::forward<Args>(args)...));
          }
        }) {}

  bool operator()(Args... args) const { return call_(object_, std::forward<Args>(args)...); }

 private:
  void* object_;
  bool (*call_)(void*, Args...);
};

}  // namespace ardovel
