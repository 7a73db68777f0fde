#include "Strings.h"

#include <string>
#include <vector>

namespace vantel::python {

void ToUtf16(PyObject* text, std::u16string& units) {
  const Py_ssize_t length = PyUnicode_GET_LENGTH(text);
  const int kind = PyUnicode_KIND(text);
  const void* data = PyUnicode_DATA(text);
  units.clear();
  units.reserve(static_cast<std::size_t>(length));
  for (Py_ssize_t index = 0; index < length; ++index) {
    const Py_UCS4 point = PyUnicode_READ(kind, data, index);
    if (point < 0x10000) {
      units.push_back(static_cast<char16_t>(point));
    } else {
      const Py_UCS4 offset = point - 0x10000;
      units.push_back(static_cast<char16_t>(0xD800 + (offset >> 10)));
      units.push_back(static_cast<char16_t>(0xDC00 + (offset & 0x3FF)));
    }
  }
}

std::u16string ToUtf16(PyObject* text) {
  std::u16string units;
  ToUtf16(text, units);
  return units;
}

py::str FromUtf16(std::u16string_view units) {
  std::vector<Py_UCS4> points;
  points.reserve(units.size());
  for (std::size_t index = 0; index < units.size(); ++index) {
    const char16_t unit = units[index];
    if (unit >= 0xD800 && unit < 0xDC00 && index + 1 < units.size() && units[index + 1] >= 0xDC00 &&
        units[index + 1] < 0xE000) {
      const char16_t low = units[++index];
      points.push_back(0x10000 + ((static_cast<Py_UCS4>(unit) - 0xD800) << 10) + (static_cast<Py_UCS4>(low) - 0xDC00));
    } else {
      points.push_back(unit);
    }
  }
  PyObject* text =
      PyUnicode_FromKindAndData(PyUnicode_4BYTE_KIND, points.data(), static_cast<Py_ssize_t>(points.size()));
  if (text == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(text);
}

void ThrowNotStr(std::string_view what, PyObject* item) {
  throw py::type_error(std::string(what) + " must be str, not " + Py_TYPE(item)->tp_name);
}

std::u16string StrArgument(py::handle text, std::string_view what) {
  if (!PyUnicode_Check(text.ptr())) ThrowNotStr(what, text.ptr());
  return ToUtf16(text.ptr());
}

}  // namespace vantel::python
