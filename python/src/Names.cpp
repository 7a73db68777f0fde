// Names as people write them, for Python: the options of vantel.compare and
// vantel.match (order, nicknames, aliases, transliterate) made into the
// library's NameOptions, which the library's CompareNames and NameMatcher
// then answer, as they do for the vantel command.

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <memory>
#include <string>

#include "Binding.h"
#include "Strings.h"
#include "vantel/Errors.h"
#include "vantel/NameForms.h"

namespace vantel::python {
namespace {

using namespace pybind11::literals;

// Python's truth of a flag argument (True, 1, a NumPy bool).
bool Truth(py::handle flag) {
  const int truth = PyObject_IsTrue(flag.ptr());
  if (truth < 0) throw py::error_already_set();
  return truth != 0;
}

std::shared_ptr<const NameTable> AliasesArgument(py::handle aliases, bool nicknames) {
  if (aliases.is_none()) return nicknames ? NameTable::English() : nullptr;
  std::shared_ptr<const NameTable> own;
  if (py::isinstance<NameTable>(aliases)) {
    own = aliases.cast<std::shared_ptr<NameTable>>();
  } else if (py::isinstance<py::str>(aliases) || py::hasattr(aliases, "__fspath__")) {
    const std::string path = py::str(py::module_::import("os").attr("fspath")(aliases));
    own = std::make_shared<const NameTable>(NameTable::Read(path));
  } else {
    throw py::type_error(std::string("aliases must be a path or a vantel.NameTable, not ") +
                         Py_TYPE(aliases.ptr())->tp_name);
  }
  if (!nicknames) return own;
  auto merged = std::make_shared<NameTable>(*NameTable::English());
  merged->Add(*own);
  return merged;
}

}  // namespace

NameOptions NameOptionsArgument(py::handle order, py::handle nicknames, py::handle aliases, py::handle transliterate) {
  NameOptions names;
  if (!py::isinstance<py::str>(order)) {
    throw py::type_error(std::string("order must be 'given' or 'any', not ") + Py_TYPE(order.ptr())->tp_name);
  }
  const std::string orderValue = order.cast<std::string>();
  if (orderValue != "given" && orderValue != "any") {
    throw py::value_error("order must be 'given' or 'any', not '" + orderValue + "'");
  }
  names.anyOrder = orderValue == "any";
  names.aliases = AliasesArgument(aliases, Truth(nicknames));
  names.transliterate = Truth(transliterate);
  if (names.transliterate && !TransliterationAvailable()) {
    throw RuntimeError(error::kInvalidProcedureCall, "this build of vantel cannot transliterate (built without ICU)");
  }
  return names;
}

void BindNames(py::module_& module) {
  py::class_<NameTable, std::shared_ptr<NameTable>>(module, "NameTable",
                                                    R"(Groups of given names: a formal name and its short forms.

NameTable.english() is the built-in English table; NameTable.read(path) and
NameTable.parse(text) read one from CSV, one group a row, the formal name
first; add() puts another table's groups into this one.)")
      .def(py::init<>())
      .def_static(
          "english", [] { return std::make_shared<NameTable>(*NameTable::English()); },
          "A copy of the built-in table of English given names.")
      .def_static(
          "read", [](const std::string& path) { return std::make_shared<NameTable>(NameTable::Read(path)); }, "path"_a,
          "The table of a CSV file; VantelError 5 names the file and line of a bad one.")
      .def_static(
          "parse",
          [](const std::string& text, const std::string& source) {
            return std::make_shared<NameTable>(NameTable::Parse(text, source));
          },
          "text"_a, "source"_a = "<text>", "The table of CSV text; errors name `source` and the line.")
      .def("add", &NameTable::Add, "other"_a, "Adds the groups of another table.")
      .def_property_readonly("group_count", &NameTable::groupCount)
      .def(
          "formal_names",
          [](const NameTable& table, py::handle name) {
            py::list formal;
            for (const std::u16string_view each : table.FormalNamesOf(StrArgument(name, "name"))) {
              formal.append(FromUtf16(each));
            }
            return formal;
          },
          "name"_a, "The formal names of the groups that hold `name` (case ignored).");

  py::class_<NameOptions>(module, "NameOptions", "The options of name forms, as name_options() read them.")
      .def_property_readonly("any", &NameOptions::any);
  module.def(
      "name_options",
      [](py::handle order, py::handle nicknames, py::handle aliases, py::handle transliterate) {
        return NameOptionsArgument(order, nicknames, aliases, transliterate);
      },
      "order"_a = "given", "nicknames"_a = false, "aliases"_a = py::none(), "transliterate"_a = false,
      "The options of name forms for match; see vantel.compare.");
  module.def(
      "name_forms",
      [](py::handle text, py::handle order, py::handle nicknames, py::handle aliases, py::handle transliterate) {
        py::list forms;
        const NameOptions names = NameOptionsArgument(order, nicknames, aliases, transliterate);
        const std::vector<std::u16string> written = NameForms(StrArgument(text, "text"), names);
        for (const std::u16string& form : written) forms.append(FromUtf16(form));
        for (const std::u16string& form : SortedNameForms(written, names)) forms.append(FromUtf16(form));
        return forms;
      },
      "text"_a, "order"_a = "given", "nicknames"_a = false, "aliases"_a = py::none(), "transliterate"_a = false,
      "The forms of `text` that the options compare: the text itself first, those as written, then the sorted ones.");
}

}  // namespace vantel::python
