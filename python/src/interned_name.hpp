// Attribute and module names made once per process. The free-threaded
// interpreter keeps part of every new name string that it looks an
// attribute up by, so names are never made per call.
#pragma once

#include "once_object.hpp"

namespace kelmora::python {

class InternedName {
public:
    explicit InternedName(const char* text) : text_(text) {}

    // A borrowed reference, or null with the error set.
    PyObject* get() {
        return cell_.get([this] { return PyUnicode_InternFromString(text_); });
    }

private:
    const char* text_;
    OnceObject cell_;
};

}  // namespace kelmora::python
