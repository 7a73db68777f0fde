// The module vantel._vantel: Compare and the phonetic form for one string or
// pair, the CompareUS class, and the component's errors. The Python package
// vantel wraps it (vantel/__init__.py); the batch functions are in Matching.cpp.

#include <pybind11/pybind11.h>

#include <climits>
#include <cstdint>
#include <exception>
#include <string>

#include "Binding.h"
#include "Strings.h"
#include "vantel/CompareUS.h"
#include "vantel/Errors.h"

namespace vantel::python {
namespace {

// The comparer of vantel.compare and vantel.phonetic, used only with the GIL
// held: a process forked from Python (which holds the GIL to fork) never
// inherits it half-used. It is the module's only mutable state; a match
// builds its comparers per call, so there is no lock that a fork could
// inherit locked.
CompareUS& ModuleComparer() {
  static CompareUS* comparer = new CompareUS();  // never destroyed: it may be used until the interpreter ends
  return *comparer;
}

// The signature pybind11 takes for a translator.
void TranslateErrors(std::exception_ptr failure) {  // NOLINT(performance-unnecessary-value-param)
  try {
    if (failure) std::rethrow_exception(failure);
  } catch (const RuntimeError& error) {
    const py::object type = py::module_::import("vantel._errors").attr("VantelError");
    const py::object raised = type(error.number(), error.description());
    PyErr_SetObject(type.ptr(), raised.ptr());
  } catch (const InvalidUtf8& error) {
    PyErr_SetString(PyExc_ValueError, error.what());
  }
}

}  // namespace

std::int16_t MethodArgument(py::handle method, const char* name) {
  if (!PyIndex_Check(method.ptr())) {
    throw py::type_error(std::string(name) + " must be an int, not " + Py_TYPE(method.ptr())->tp_name);
  }
  const py::object number = py::reinterpret_steal<py::object>(PyNumber_Index(method.ptr()));
  if (!number) throw py::error_already_set();
  int overflow = 0;
  const long long value = PyLong_AsLongLongAndOverflow(number.ptr(), &overflow);
  if (value == -1 && PyErr_Occurred() != nullptr) throw py::error_already_set();
  if (overflow != 0 || value < INT16_MIN || value > INT16_MAX) {
    // The value is shown only while short: a method of a million digits is no message.
    const std::string shown = overflow != 0 ? "a number beyond 64 bits" : std::to_string(value);
    const py::object type = py::module_::import("vantel._errors").attr("MethodOverflowError");
    const py::object raised = type(name, shown);
    PyErr_SetObject(type.ptr(), raised.ptr());
    throw py::error_already_set();
  }
  return static_cast<std::int16_t>(value);
}

namespace {

const char* kPythonNames[3] = {"a", "b", "method"};
const char* kAutomationNames[3] = {"Lachaine1", "Lachaine2", "LaMethode"};

double Compare(CompareUS& comparer, py::handle first, py::handle second, py::handle method, const char* names[3]) {
  const std::u16string a = StrArgument(first, names[0]);
  const std::u16string b = StrArgument(second, names[1]);
  return comparer.Compare(a, b, MethodArgument(method, names[2]));
}

// vantel.compare with the options of name forms: the library's CompareNames,
// which is Compare itself when they are all off.
double CompareForms(py::handle first, py::handle second, py::handle method, py::handle order, py::handle nicknames,
                    py::handle aliases, py::handle transliterate) {
  const NameOptions forms = NameOptionsArgument(order, nicknames, aliases, transliterate);
  if (!forms.any()) return Compare(ModuleComparer(), first, second, method, kPythonNames);
  const std::u16string a = StrArgument(first, "a");
  const std::u16string b = StrArgument(second, "b");
  return CompareNames(ModuleComparer(), a, b, MethodArgument(method), forms).answer;
}

py::str PhoneticForm(CompareUS& comparer, py::handle word, const char* name) {
  return FromUtf16(comparer.PhoneticForm(StrArgument(word, name)));
}

}  // namespace

}  // namespace vantel::python

PYBIND11_MODULE(_vantel, module) {
  namespace py = pybind11;
  using namespace pybind11::literals;
  using vantel::CompareUS;
  using namespace vantel::python;

  module.doc() = "The native part of vantel; use the package vantel.";
  module.attr("__version__") = std::string(vantel::Version());
  module.attr("MAX_LENGTH") = CompareUS::kMaxLength;
  py::register_exception_translator(TranslateErrors);
  // Compiles the rules now, and with them the automata that every comparer
  // of the process shares: built under a guard on first use, which a child
  // forked while a match's thread held it would wait on for ever.
  ModuleComparer().InitVT();

  module.def(
      "compare",
      [](py::handle a, py::handle b, py::handle method, py::handle order, py::handle nicknames, py::handle aliases,
         py::handle transliterate) {
        if (order.is_none() && nicknames.is_none() && aliases.is_none() && transliterate.is_none()) {
          return Compare(ModuleComparer(), a, b, method, kPythonNames);
        }
        return CompareForms(a, b, method, order.is_none() ? py::str("given") : order,
                            nicknames.is_none() ? py::bool_(false) : nicknames, aliases,
                            transliterate.is_none() ? py::bool_(false) : transliterate);
      },
      "a"_a, "b"_a, "method"_a = 0, "order"_a = py::none(), "nicknames"_a = py::none(), "aliases"_a = py::none(),
      "transliterate"_a = py::none(),
      R"(How alike two strings are: a percentage from 0 to 100, cut to two decimals.

method: 3 the sound measure alone, 99 the spelling measure alone, 1 the smaller
of the two, 2 their mean, 0 (and any other number) the larger. A string that
is empty or longer than 70 UTF-16 code units gives -1.0.

Names: order="any" also compares the words sorted and in lower case;
nicknames=True each given name of the built-in table replaced by its formal
name; aliases (a CSV path or a vantel.NameTable) the same with its groups,
added to the built-in table with nicknames=True; transliterate=True the
strings in Latin letters. The answer is then the largest over the forms, as
the vantel command's with --order any, --nicknames, --aliases, --transliterate.)");

  module.def(
      "phonetic", [](py::handle word) { return PhoneticForm(ModuleComparer(), word, "word"); }, "word"_a,
      "The string of phoneme codes that the sound measure compares.");

  py::class_<CompareUS>(module, "CompareUS", R"(One comparison object, as automation clients know it.

It compiles its own copy of the letter-to-sound rules on first use (or at
InitVT) and keeps them. Compare(Lachaine1, Lachaine2, LaMethode) and InitVT()
keep the names of the automation interface for ported code; compare() and
phonetic_form() are the same in Python's style.)")
      .def(py::init<>())
      .def(
          "Compare",
          [](CompareUS& self, py::handle a, py::handle b, py::handle method) {
            return Compare(self, a, b, method, kAutomationNames);
          },
          "Lachaine1"_a, "Lachaine2"_a, "LaMethode"_a, "The answer of vantel.compare, with the automation names.")
      .def("InitVT", &CompareUS::InitVT, "Loads and compiles the rule set (again, if it was loaded).")
      .def(
          "compare",
          [](CompareUS& self, py::handle a, py::handle b, py::handle method) {
            return Compare(self, a, b, method, kPythonNames);
          },
          "a"_a, "b"_a, "method"_a = 0, "The answer of vantel.compare.")
      .def(
          "phonetic_form", [](CompareUS& self, py::handle word) { return PhoneticForm(self, word, "word"); }, "word"_a,
          "The phonetic form of vantel.phonetic.")
      .def_property_readonly("initialized", &CompareUS::Initialized, "Whether the rules are loaded.");

  BindMatching(module);
  BindNames(module);
  BindLinkage(module);
}
