// Python strings as the UTF-16 code units the library works on, and back.
#pragma once

#include <pybind11/pybind11.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace vantel::python {

namespace py = pybind11;

// The UTF-16 code units of a str: code points past U+FFFF become surrogate
// pairs, and a lone surrogate (which a str can hold) stays that one unit, as
// it would in a UTF-16 string from any other caller. `text` must be a str.
void ToUtf16(PyObject* text, std::u16string& units);
std::u16string ToUtf16(PyObject* text);

// A str from UTF-16 units: pairs become one code point, a lone surrogate
// stays a code point of its own, so that ToUtf16 gives the same units back.
py::str FromUtf16(std::u16string_view units);

// A TypeError naming the argument (or the list and position) whose item is not a str.
[[noreturn]] void ThrowNotStr(std::string_view what, PyObject* item);

// `text` as a str argument, or a TypeError naming `what`.
std::u16string StrArgument(py::handle text, std::string_view what);

}  // namespace vantel::python
