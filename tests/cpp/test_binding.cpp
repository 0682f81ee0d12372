// The binding layer inside an embedded interpreter: the parser's and the
// function records' general forms that the two public signatures never use,
// and the failure paths of module set-up and of the boundary that Python
// code cannot reach.
#include <gtest/gtest.h>

#include <Python.h>

#include <array>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "binding/arguments.hpp"
#include "binding/boundary.hpp"
#include "binding/function_record.hpp"
#include "binding/module_setup.hpp"
#include "binding/object_text.hpp"
#include "stem_functions.hpp"

namespace ardovel::py {
namespace {

class Interpreter : public ::testing::Environment {
 public:
  void SetUp() override { Py_InitializeEx(0); }
  void TearDown() override { Py_FinalizeEx(); }
};

OwnedRef eval(const char* expression) {
  OwnedRef globals = OwnedRef::steal(PyDict_New());
  PyDict_SetItemString(globals.get(), "__builtins__", PyEval_GetBuiltins());
  OwnedRef result = OwnedRef::steal(PyRun_String(expression, Py_eval_input, globals.get(), globals.get()));
  if (!result) PyErr_Print();
  return result;
}

// The pending exception as "TypeName: message", cleared.
std::string take_pending() {
  if (PyErr_Occurred() == nullptr) return "<nothing pending>";
  PyError error = PyError::fetch_pending();
  const std::string type = reinterpret_cast<PyTypeObject*>(error.type())->tp_name;
  return type + ": " + error.value_text();
}

std::string raised_by(PyError error) {
  std::move(error).restore();
  return take_pending();
}

// f(a, b, /, c, d, *, e, g=...) on a class, for the general forms.
constexpr std::string_view method_positional[] = {"a", "b", "c", "d"};
constexpr KeywordOnlyParameter method_keyword_only[] = {{"e", true}, {"g", false}};
constexpr CallSignature method_signature{
    .function_name = "f",
    .class_name = "Klass",
    .positional_names = method_positional,
    .positional_only_count = 2,
    .required_positional_count = 3,
    .keyword_only = method_keyword_only,
};
constexpr CallSignature no_parameters{
    .function_name = "nothing",
    .class_name = std::nullopt,
    .positional_names = {},
    .positional_only_count = 0,
    .required_positional_count = 0,
    .keyword_only = {},
};

struct ParseCase {
  const CallSignature* signature;
  const char* positional;  // Python tuple expression
  const char* keywords;    // tuple of keyword names; their values are 100, 101, ...
  const char* expected;    // error text, or the filled slots as "a=1 b=2 ..."
};

std::string parse(const ParseCase& c) {
  OwnedRef positional = eval(c.positional);
  OwnedRef names = eval(c.keywords);
  std::vector<PyObject*> args;
  std::vector<OwnedRef> values;
  for (Py_ssize_t i = 0; i < PyTuple_GET_SIZE(positional.get()); ++i) args.push_back(PyTuple_GET_ITEM(positional.get(), i));
  const Py_ssize_t nargs = static_cast<Py_ssize_t>(args.size());
  for (Py_ssize_t i = 0; i < PyTuple_GET_SIZE(names.get()); ++i) {
    values.push_back(OwnedRef::steal(PyLong_FromSsize_t(100 + i)));
    args.push_back(values.back().get());
  }
  std::vector<PyObject*> slots(c.signature->slot_count(), nullptr);
  auto error = parse_call_arguments(*c.signature, args.empty() ? nullptr : args.data(), nargs,
                                    PyTuple_GET_SIZE(names.get()) == 0 ? nullptr : names.get(), slots);
  if (error) return raised_by(std::move(*error));
  std::string filled;
  for (std::size_t i = 0; i < slots.size(); ++i) {
    if (slots[i] == nullptr) continue;
    if (!filled.empty()) filled += ' ';
    filled += std::string(c.signature->parameter_name(i)) + "=" + std::to_string(PyLong_AsLong(slots[i]));
  }
  return filled;
}

TEST(ParseCallArguments, GeneralFormsFollowTheRulesInOrder) {
  const ParseCase cases[] = {
      {&method_signature, "(1, 2, 3)", "('e',)", "a=1 b=2 c=3 e=100"},
      {&method_signature, "(1, 2)", "('c', 'g', 'e', 'd')", "a=1 b=2 c=100 d=103 e=102 g=101"},
      {&method_signature, "(1, 2, 3, 4, 5)", "('e',)",
       "TypeError: Klass.f() takes from 3 to 4 positional arguments but 5 were given"},
      {&method_signature, "(1,)", "('b', 'c', 'a', 'e')",
       "TypeError: Klass.f() got some positional-only arguments passed as keyword arguments: 'b' and 'a'"},
      // A failing keyword decides before positional-only names are reported.
      {&method_signature, "(1,)", "('b', 'x')", "TypeError: Klass.f() got an unexpected keyword argument 'x'"},
      {&method_signature, "()", "('e',)",
       "TypeError: Klass.f() missing 3 required positional arguments: 'a', 'b', and 'c'"},
      {&method_signature, "(1,)", "('c', 'e')",
       "TypeError: Klass.f() missing 1 required positional argument: 'b'"},
      {&method_signature, "(1, 2, 3)", "()", "TypeError: Klass.f() missing 1 required keyword argument: 'e'"},
      {&method_signature, "(1, 2, 3)", "('e', 'e')", "TypeError: Klass.f() got multiple values for argument 'e'"},
      {&method_signature, "(1, 2, 3)", "('c',)", "TypeError: Klass.f() got multiple values for argument 'c'"},
      {&method_signature, "(1, 2, 3)", "(5, 'e')", "TypeError: 'int' object cannot be converted to 'PyString'"},
      {&method_signature, "(1, 2, 3)", "(b'e',)", "TypeError: 'bytes' object cannot be converted to 'PyString'"},
      {&no_parameters, "()", "()", ""},
      {&no_parameters, "(1,)", "()", "TypeError: nothing() takes 0 positional arguments but 1 was given"},
      {&no_parameters, "(1, 2)", "('x',)", "TypeError: nothing() takes 0 positional arguments but 2 were given"},
      {&no_parameters, "()", "('\\ud800',)",
       "TypeError: nothing() got an unexpected keyword argument '\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD'"},
  };
  for (const ParseCase& c : cases) {
    EXPECT_EQ(parse(c), c.expected) << c.positional << " " << c.keywords;
    EXPECT_EQ(PyErr_Occurred(), nullptr);
  }
}

TEST(ParseCallArguments, NullArgumentArrayTakesNoPositionals) {
  std::array<PyObject*, 6> slots{};
  auto error = parse_call_arguments(method_signature, nullptr, 0, nullptr, slots);
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(raised_by(std::move(*error)),
            "TypeError: Klass.f() missing 3 required positional arguments: 'a', 'b', and 'c'");
}

// joined(a, b, /, c, *, e): every form of parameter a function record knows.
constexpr std::string_view joined_positional[] = {"a", "b", "c"};
constexpr KeywordOnlyParameter joined_keyword_only[] = {{"e", true}};
constexpr CallSignature joined_signature{
    .function_name = "joined",
    .class_name = std::nullopt,
    .positional_names = joined_positional,
    .positional_only_count = 2,
    .required_positional_count = 3,
    .keyword_only = joined_keyword_only,
};
constexpr CallSignature keyword_only_signature{
    .function_name = "named",
    .class_name = std::nullopt,
    .positional_names = {},
    .positional_only_count = 0,
    .required_positional_count = 0,
    .keyword_only = joined_keyword_only,
};
static_assert(signature_block<joined_signature>.text() == "joined(a, b, /, c, *, e)\n--\n\n");
static_assert(signature_block<keyword_only_signature>.text() == "named(*, e)\n--\n\n");
static_assert(signature_block<no_parameters>.with_terminator() == std::string_view("nothing()\n--\n\n", 15));
static_assert(function_name_text<joined_signature>.with_terminator() == std::string_view("joined", 7));

// Shows which argument went where.
Outcome<OwnedRef> joined_impl(std::string_view a, std::string_view b, std::string_view c, std::string_view e) {
  const std::string text = concat({a, "|", b, "|", c, "|", e});
  return OwnedRef::steal(PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size())));
}
Outcome<OwnedRef> nothing_impl() { return OwnedRef::new_ref(Py_None); }

TEST(FunctionRecord, DerivedFunctionsParseConvertAndNameTheFailingArgument) {
  constexpr FunctionDefinition definitions[] = {define_function<joined_signature, joined_impl>(),
                                                define_function<no_parameters, nothing_impl>()};
  OwnedRef module = OwnedRef::steal(PyModule_New("records"));
  ASSERT_TRUE(populate_module(module.get(), definitions).ok());
  PyObject* namespace_ = PyModule_GetDict(module.get());
  PyDict_SetItemString(namespace_, "__builtins__", PyEval_GetBuiltins());
  const std::pair<const char*, const char*> cases[] = {
      {"joined.__text_signature__, nothing.__text_signature__", "('(a, b, /, c, *, e)', '()')"},
      {"joined('1', '2', '3', e='4')", "'1|2|3|4'"},
      {"joined('1', '2', e='4', c='3')", "'1|2|3|4'"},
      {"joined('1', '2', '3')", "TypeError: joined() missing 1 required keyword argument: 'e'"},
      {"joined('1', 2, c=3, e='4')", "TypeError: argument 'b': 'int' object cannot be converted to 'PyString'"},
      {"joined('1', '2', '3', e='\\ud800')",
       "UnicodeEncodeError: 'utf-8' codec can't encode character '\\ud800' in position 0: surrogates not allowed"},
      {"nothing()", "None"},
      {"nothing(1)", "TypeError: nothing() takes 0 positional arguments but 1 was given"},
  };
  for (const auto& [expression, expected] : cases) {
    OwnedRef result = OwnedRef::steal(PyRun_String(expression, Py_eval_input, namespace_, namespace_));
    const std::string answer =
        result ? std::string(*utf8_of(OwnedRef::steal(PyObject_Repr(result.get())).get())) : take_pending();
    EXPECT_EQ(answer, expected) << expression;
  }
}

TEST(Outcome, AndThenRunsTheStepOnlyOnAValueAndPassesFailuresOnUnchanged) {
  int steps = 0;
  const auto describe = [&](int value) -> Outcome<std::string> {
    ++steps;
    return std::to_string(value);
  };
  auto value = Outcome<int>(3).and_then(describe);
  ASSERT_TRUE(value.ok());
  EXPECT_EQ(value.value(), "3");
  auto fault = Outcome<int>(Fault{"broken"}).and_then(describe);
  ASSERT_NE(fault.fault(), nullptr);
  EXPECT_EQ(fault.fault()->message, "broken");
  auto error = Outcome<int>(PyError::with_message(PyExc_ValueError, "bad")).and_then(describe);
  ASSERT_NE(error.error(), nullptr);
  EXPECT_EQ(raised_by(std::move(*error.error())), "ValueError: bad");
  EXPECT_EQ(steps, 1);
  // After a Status the step takes nothing.
  EXPECT_TRUE(Status(Done{}).and_then([] { return Outcome<int>(1); }).ok());
}

TEST(QuotedNameList, JoinsLikeEnglish) {
  const std::vector<std::pair<std::vector<std::string_view>, std::string>> cases = {
      {{}, ""},
      {{"x"}, "'x'"},
      {{"x", "y"}, "'x' and 'y'"},
      {{"x", "y", "z"}, "'x', 'y', and 'z'"},
      {{"w", "x", "y", "z"}, "'w', 'x', 'y', and 'z'"},
  };
  for (const auto& [names, expected] : cases) EXPECT_EQ(quoted_name_list(names), expected);
}

TEST(TypeName, UsesQualifiedNameOrSaysItFailed) {
  EXPECT_EQ(type_name(eval("5").get()), "int");
  EXPECT_EQ(type_name(eval("None").get()), "NoneType");
  OwnedRef nested = eval("type('Outer', (), {'Inner': type('Inner', (), {'__qualname__': 'Outer.Inner'})}).Inner()");
  EXPECT_EQ(type_name(nested.get()), "Outer.Inner");
  // Metaclasses whose classes answer __qualname__ with a non-str, or fail.
  for (const char* answer : {"42", "{}['missing']"}) {
    const std::string expression = std::string("type('Meta', (type,), {'__getattribute__': lambda cls, name: ") + answer +
                                   " if name == '__qualname__' else type.__getattribute__(cls, name)})('Odd', (), {})()";
    OwnedRef odd = eval(expression.c_str());
    ASSERT_TRUE(odd);
    EXPECT_EQ(type_name(odd.get()), "<failed to extract type name>");
  }
  EXPECT_EQ(PyErr_Occurred(), nullptr);
}

TEST(ZeroTerminated, AcceptsTerminatedTextsCopiesUnterminatedOnesAndRefusesInnerNul) {
  const std::string_view terminated("stem_py", sizeof "stem_py");
  auto same = zero_terminated(terminated, "name");
  ASSERT_TRUE(same.ok());
  EXPECT_EQ(same.value(), terminated.data());

  auto copied = zero_terminated(std::string_view("abc"), "doc");
  ASSERT_TRUE(copied.ok());
  EXPECT_STREQ(copied.value(), "abc");

  auto bad_name = zero_terminated(std::string_view("a\0b", 4), "name");
  ASSERT_NE(bad_name.error(), nullptr);
  EXPECT_EQ(raised_by(std::move(*bad_name.error())), "ValueError: function name cannot contain NUL byte.");
  auto bad_doc = zero_terminated(std::string_view("a\0b", 3), "doc");
  ASSERT_NE(bad_doc.error(), nullptr);
  EXPECT_EQ(raised_by(std::move(*bad_doc.error())), "ValueError: function doc cannot contain NUL byte.");
}

OwnedRef new_module(const char* name) { return OwnedRef::steal(PyModule_New(name)); }

std::string status_text(Status status) {
  if (status.ok()) return "ok";
  if (Fault* fault = status.fault()) return "fault: " + fault->message;
  return raised_by(std::move(*status.error()));
}

TEST(ModuleSetup, PopulateCreatesAllAndBindsFunctionsToTheModule) {
  OwnedRef module = new_module("somewhere.ardovel");
  ASSERT_EQ(status_text(populate_module(module.get(), stem_function_definitions())), "ok");
  OwnedRef all = OwnedRef::steal(PyObject_GetAttrString(module.get(), "__all__"));
  ASSERT_TRUE(PyList_CheckExact(all.get()));
  OwnedRef text = OwnedRef::steal(PyObject_Repr(all.get()));
  EXPECT_EQ(*utf8_of(text.get()), "['stem_py', 'conservative_stem_py']");
  OwnedRef function = OwnedRef::steal(PyObject_GetAttrString(module.get(), "stem_py"));
  OwnedRef module_name = OwnedRef::steal(PyObject_GetAttrString(function.get(), "__module__"));
  EXPECT_EQ(*utf8_of(module_name.get()), "somewhere.ardovel");
  OwnedRef self = OwnedRef::steal(PyObject_GetAttrString(function.get(), "__self__"));
  EXPECT_EQ(self.get(), module.get());
}

TEST(ModuleSetup, RegisterFunctionReportsEachBrokenPrecondition) {
  OwnedRef function = eval("len");
  struct Case {
    const char* all_value;  // nullptr: leave __all__ unset
    const char* expected;
  };
  const Case cases[] = {
      {nullptr, "ok"},
      {"['x']", "ok"},
      {"('x',)", "TypeError: 'tuple' object cannot be converted to 'PyList'"},
      {"None", "TypeError: 'NoneType' object cannot be converted to 'PyList'"},
  };
  for (const Case& c : cases) {
    OwnedRef module = new_module("m");
    if (c.all_value != nullptr) PyObject_SetAttrString(module.get(), "__all__", eval(c.all_value).get());
    EXPECT_EQ(status_text(register_function(module.get(), function.get())), c.expected) << (c.all_value ? c.all_value : "unset");
  }

  OwnedRef nameless = eval("type('F', (), {'__name__': 7})()");
  EXPECT_EQ(status_text(register_function(new_module("m").get(), nameless.get())),
            "TypeError: 'int' object cannot be converted to 'PyString'");
  OwnedRef no_name = eval("object()");
  EXPECT_EQ(status_text(register_function(new_module("m").get(), no_name.get())).rfind("AttributeError: ", 0), 0U);

  // A lookup error other than AttributeError passes on unchanged.
  OwnedRef module = new_module("m");
  PyObject_SetAttrString(module.get(), "__getattr__", eval("lambda name: {}[name]").get());
  EXPECT_EQ(status_text(register_function(module.get(), function.get())), "KeyError: '__all__'");
}

TEST(ModuleSetup, CreateFunctionObjectPassesOnCPythonsError) {
  OwnedRef not_a_module = eval("object()");
  auto made = create_function_object(stem_function_definitions()[0], not_a_module.get());
  ASSERT_NE(made.error(), nullptr);
  EXPECT_EQ(raised_by(std::move(*made.error())).rfind("TypeError: ", 0), 0U);
}

TEST(Boundary, FaultsBecomeTheFaultExceptionAndCppExceptionsNeverEscape) {
  struct Case {
    std::function<Outcome<OwnedRef>()> body;
    std::string expected;
  };
  const Case cases[] = {
      {[] { return Outcome<OwnedRef>(Fault{"broken invariant"}); }, "InternalFault: broken invariant"},
      {[] { return Outcome<OwnedRef>(Fault{}); }, "InternalFault: internal fault in ardovel"},
      {[]() -> Outcome<OwnedRef> { throw std::bad_alloc(); }, "MemoryError: "},
      {[]() -> Outcome<OwnedRef> { throw std::runtime_error("odd"); }, "InternalFault: odd"},
      {[] { return Outcome<OwnedRef>(PyError::with_message(PyExc_ValueError, "bad")); }, "ValueError: bad"},
      {[] { return Outcome<OwnedRef>(PyError::fetch_pending()); },
       "SystemError: attempted to fetch exception but none was set"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(boundary_call(c.body), nullptr);
    EXPECT_EQ(take_pending(), c.expected);
  }
  OwnedRef value = OwnedRef::steal(boundary_call([] { return Outcome<OwnedRef>(OwnedRef::steal(PyLong_FromLong(7))); }));
  EXPECT_EQ(PyLong_AsLong(value.get()), 7);
}

TEST(Boundary, FaultClassDerivesDirectlyFromBaseExceptionAndCarriesOneArgument) {
  auto* fault_class = reinterpret_cast<PyTypeObject*>(fault_exception_class());
  ASSERT_NE(fault_class, nullptr);
  EXPECT_EQ(fault_class->tp_base, reinterpret_cast<PyTypeObject*>(PyExc_BaseException));
  EXPECT_EQ(PyObject_IsSubclass(reinterpret_cast<PyObject*>(fault_class), PyExc_Exception), 0);
  EXPECT_EQ(fault_exception_class(), reinterpret_cast<PyObject*>(fault_class));  // made once

  raise_fault(Fault{"why"});
  PyObject *type, *value, *traceback;
  PyErr_Fetch(&type, &value, &traceback);
  PyErr_NormalizeException(&type, &value, &traceback);
  OwnedRef args = OwnedRef::steal(PyObject_GetAttrString(value, "args"));
  OwnedRef repr = OwnedRef::steal(PyObject_Repr(args.get()));
  EXPECT_EQ(*utf8_of(repr.get()), "('why',)");
  Py_XDECREF(type);
  Py_XDECREF(value);
  Py_XDECREF(traceback);
}

}  // namespace
}  // namespace ardovel::py

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new ardovel::py::Interpreter);
  return RUN_ALL_TESTS();
}
