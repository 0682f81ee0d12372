// The texts the `ardovel` module answers with, exactly as its callers have
// always read them, odd as some look. They reproduce the behaviour of
// PyO3-generated bindings, which the module's interface was first defined
// by: its argument-extraction errors ("... positional arguments" even for
// one, the 'PyString' and 'PyList' type names, "argument 'word': ..."), its
// refusal of a second initialisation, and its fault exception's name. Every
// module built on this binding layer answers with them, so that there is
// one wording of each error.
#pragma once

#include <string_view>

namespace ardovel::py::texts {

// Argument parsing. A message is "<function>()" followed by these pieces.
inline constexpr std::string_view takes = " takes ";
inline constexpr std::string_view positional_arguments_but = " positional arguments but ";
inline constexpr std::string_view got_multiple_values = " got multiple values for argument '";
inline constexpr std::string_view unexpected_keyword = " got an unexpected keyword argument '";
inline constexpr std::string_view positional_only_as_keyword =
    " got some positional-only arguments passed as keyword arguments: ";

// Conversion of one argument; an error about an argument is restated as
// "argument '<name>': <error>".
inline constexpr std::string_view not_a_string = "' object cannot be converted to 'PyString'";
inline constexpr std::string_view not_a_list = "' object cannot be converted to 'PyList'";

// Describing an object in a message.
inline constexpr std::string_view failed_type_name = "<failed to extract type name>";
inline constexpr std::string_view unprintable_object = "<unprintable object>";

// Module set-up and faults.
inline constexpr std::string_view initialized_twice = "PyO3 modules may only be initialized once per interpreter process";
inline constexpr std::string_view name_not_utf8 = "PyModule_GetName expected to return utf8: ";
inline constexpr char fault_class_name[] = "ardovel.InternalFault";
inline constexpr std::string_view default_fault = "internal fault in ardovel";
inline constexpr std::string_view api_call_failed = "Python API call failed";
inline constexpr std::string_view nothing_pending = "attempted to fetch exception but none was set";

}  // namespace ardovel::py::texts
