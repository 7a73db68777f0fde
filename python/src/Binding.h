// What the parts of the module vantel._vantel share.
#pragma once

#include <pybind11/pybind11.h>

#include <cstddef>
#include <cstdint>

#include "vantel/Match.h"
#include "vantel/NameForms.h"

namespace vantel::python {

namespace py = pybind11;

// A method number as Compare's 16-bit LaMethode: any integer (a bool, a
// NumPy integer) is taken; one outside -32768..32767 is the component's
// Overflow error, as automation clients see it, raised as
// vantel._errors.MethodOverflowError (also a ValueError) naming `name`;
// anything else is a TypeError.
std::int16_t MethodArgument(py::handle method, const char* name = "method");

// The options of name forms as vantel.compare and vantel.match take them:
// order "given" or "any", nicknames and transliterate flags, aliases None, a
// path or a NameTable. A bad value is a TypeError or ValueError; an aliases
// file that cannot be used, or transliteration without ICU, VantelError 5.
NameOptions NameOptionsArgument(py::handle order, py::handle nicknames, py::handle aliases, py::handle transliterate);

void BindMatching(py::module_& module);
void BindNames(py::module_& module);
void BindLinkage(py::module_& module);

}  // namespace vantel::python
