// JSON values (the JSON-LD document) and trees (their dict form) as Python
// objects.
#pragma once

#include "pyref.hpp"

#include "kelmora/json.hpp"
#include "kelmora/model.hpp"

namespace kelmora::python {

// dicts with str keys in the value's key order, lists, str, int, float (a
// whole float stays a float), bool and None. Null with the error set when an
// object cannot be made.
Ref to_python(const JsonValue& value);

// The dict form of a JSON value for to_battinfo: raises
// KelmoraError(..., "SerializationError") when the conversion fails or the
// result is not a dict.
PyObject* to_python_dict(const JsonValue& value);

// The dict form of a tree for to_dict, equal to converting to_json_value(node)
// (keys in byte order at every level, floats as float, a non-finite float as
// None) without building the JSON value first; fails as to_python_dict does.
PyObject* to_python_dict(const Node& node);

}  // namespace kelmora::python
