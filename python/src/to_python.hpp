// JSON values (the tree's dict form, the JSON-LD document) as Python objects.
#pragma once

#include "pyref.hpp"

#include "kelmora/json.hpp"

namespace kelmora::python {

// dicts with str keys in the value's key order, lists, str, int, float (a
// whole float stays a float), bool and None. Null with the error set when an
// object cannot be made.
Ref to_python(const JsonValue& value);

// The dict form of a JSON value for to_dict and to_battinfo: raises
// KelmoraError(..., "SerializationError") when the conversion fails or the
// result is not a dict.
PyObject* to_python_dict(const JsonValue& value);

}  // namespace kelmora::python
