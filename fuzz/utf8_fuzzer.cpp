// libFuzzer target for the UTF-8 validator, against CPython's strict decoder.
//
// The input is taken as raw bytes, not made valid first:
// - find_invalid_utf8 stops where bytes.decode("utf-8") fails (the start of
//   its UnicodeDecodeError), and finds nothing when the decode succeeds;
// - on valid input, the tests' own decoder gives Python's code points, and
//   encoding them again gives the input back;
// - to_valid_utf8, which the other targets feed the core from, keeps valid
//   input as it is and makes anything else valid.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "ardovel/utf8.hpp"
#include "fuzz_input.hpp"
#include "reference/reference_stem.hpp"

namespace {

using ardovel::fuzz::invariant_failed;
using ardovel::fuzz::mismatch;

// One owned reference.
class Owned {
 public:
  explicit Owned(PyObject* object) noexcept : object_(object) {}
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  ~Owned() { Py_XDECREF(object_); }
  [[nodiscard]] PyObject* get() const noexcept { return object_; }

 private:
  PyObject* object_;
};

[[noreturn]] void python_failed(const char* what) {
  std::fprintf(stderr, "\nPYTHON FAILED: %s\n", what);
  if (PyErr_Occurred()) PyErr_Print();
  std::abort();
}

// Isolated, so no environment variable or site directory of the machine
// changes what the decoder does.
void start_interpreter() {
  PyConfig config;
  PyConfig_InitIsolatedConfig(&config);
  config.install_signal_handlers = 0;  // libFuzzer's own handlers stay
  config.site_import = 0;
  const PyStatus status = Py_InitializeFromConfig(&config);
  PyConfig_Clear(&config);
  if (PyStatus_Exception(status)) Py_ExitStatusException(status);
}

std::u32string code_points_of(PyObject* text) {
  std::u32string out;
  const Py_ssize_t length = PyUnicode_GET_LENGTH(text);
  const int kind = PyUnicode_KIND(text);
  const void* data = PyUnicode_DATA(text);
  for (Py_ssize_t i = 0; i < length; ++i) out.push_back(PyUnicode_READ(kind, data, i));
  return out;
}

// The start offset of the UnicodeDecodeError just raised, which it clears.
std::size_t take_decode_error_start() {
  PyObject* type = nullptr;
  PyObject* value = nullptr;
  PyObject* traceback = nullptr;
  PyErr_Fetch(&type, &value, &traceback);
  PyErr_NormalizeException(&type, &value, &traceback);
  if (!PyErr_GivenExceptionMatches(type, PyExc_UnicodeDecodeError)) {
    PyErr_Restore(type, value, traceback);
    python_failed("the strict decoder raised something other than UnicodeDecodeError");
  }
  const Owned owned_type(type);
  const Owned owned_value(value);
  const Owned owned_traceback(traceback);
  Py_ssize_t start = 0;
  if (PyUnicodeDecodeError_GetStart(value, &start) != 0) python_failed("no start offset in UnicodeDecodeError");
  return static_cast<std::size_t>(start);
}

// Where the strict decoder first fails (the input's size when it does not),
// and the code points it decoded.
struct Decoded {
  std::size_t error_at;
  std::u32string text;
};

Decoded decode_strictly(const std::uint8_t* data, std::size_t size) {
  const Owned text(PyUnicode_DecodeUTF8(reinterpret_cast<const char*>(data), static_cast<Py_ssize_t>(size), "strict"));
  if (text.get() == nullptr) return {take_decode_error_start(), {}};
  return {size, code_points_of(text.get())};
}

}  // namespace

// CPython frees little at exit, so only the check after each input looks for
// leaks.
extern "C" const char* __asan_default_options() { return "leak_check_at_exit=0"; }

// Before the first input, so that the interpreter's own allocations are not
// charged to an input's leak check; it is never finalised.
extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  start_interpreter();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const Decoded python = decode_strictly(data, size);

  const std::size_t found = ardovel::find_invalid_utf8(data, size);
  if (found != python.error_at) {
    mismatch("first invalid byte differs from Python's strict decoder", input, std::to_string(found),
             std::to_string(python.error_at));
  }
  if (ardovel::is_valid_utf8(input) != (found == size)) invariant_failed("is_valid_utf8 disagrees", input, "");

  const std::string made_valid = ardovel::fuzz::to_valid_utf8(data, size);
  const auto* made_valid_bytes = reinterpret_cast<const std::uint8_t*>(made_valid.data());
  if (decode_strictly(made_valid_bytes, made_valid.size()).error_at != made_valid.size()) {
    invariant_failed("to_valid_utf8 gave invalid UTF-8", input, made_valid);
  }
  if (found != size) return 0;

  if (made_valid != input) mismatch("to_valid_utf8 changed valid input", input, made_valid, input);
  const std::u32string decoded = ardovel::reference::decode_utf8(input);
  if (decoded != python.text) invariant_failed("the tests' decoder differs from Python's", input, "");
  std::string encoded;
  for (const char32_t c : decoded) ardovel::reference::append_utf8(encoded, c);
  if (encoded != input) mismatch("decoding and encoding again changed the text", input, encoded, input);
  return 0;
}
