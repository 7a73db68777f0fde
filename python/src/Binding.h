// What the parts of the module vantel._vantel share.
#pragma once

#include <pybind11/pybind11.h>

#include <cstddef>
#include <cstdint>

#include "vantel/Match.h"

namespace vantel::python {

namespace py = pybind11;

// A method number as Compare's 16-bit LaMethode: any integer (a bool, a
// NumPy integer) is taken; one outside -32768..32767 is the component's
// Overflow error, as automation clients see it, raised as
// vantel._errors.MethodOverflowError (also a ValueError) naming `name`;
// anything else is a TypeError.
std::int16_t MethodArgument(py::handle method, const char* name = "method");

void BindMatching(py::module_& module);

}  // namespace vantel::python
