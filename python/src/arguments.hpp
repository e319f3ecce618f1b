// The one-parameter calls (parse, from_dict, from_json): the argument-count
// and keyword checks, and the type checks that add the "while processing"
// note.
#pragma once

#include "pyref.hpp"

#include <optional>
#include <string_view>

namespace kelmora::python {

struct Callable {
    const char* display;    // "parse()", "Formulation.from_dict()"
    const char* parameter;  // "text", "dict", "json"
};

// The single argument of a fast call with keywords (borrowed), or null with
// the TypeError set.
PyObject* single_argument(const Callable& callable, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);

// The UTF-8 text of a str argument (valid while the argument lives), or
// nothing with the error set and noted.
std::optional<std::string_view> text_argument(const Callable& callable, PyObject* argument);

// Checks that a dict argument is a dict or a subclass; false with the error
// set and noted.
bool dict_argument(const Callable& callable, PyObject* argument);

}  // namespace kelmora::python
