// The class Formulation and the function parse.
#pragma once

#include "pyref.hpp"

#include <string>
#include <vector>

#include "kelmora/model.hpp"

namespace kelmora::python {

// The type object, made on first need (borrowed), or null with
// RuntimeError("An error occurred while initializing class Formulation") set.
PyObject* formulation_type();

// A new Formulation owning the tree and the warnings, or null with the
// allocator's error set.
PyObject* make_formulation(Node tree, std::vector<std::string> warnings);

// The definition of the module-level function parse.
extern PyMethodDef parse_definition;

}  // namespace kelmora::python
