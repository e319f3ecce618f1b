// Reading a formulation tree from Python objects (what from_dict is given).
#pragma once

#include "pyref.hpp"

#include <cstddef>
#include <expected>
#include <string>

#include "kelmora/model.hpp"

namespace kelmora::python {

// Containers nested deeper than this (the top-level dict included), and
// data that contains itself, fail with "recursion limit exceeded".
inline constexpr std::size_t max_nesting = 512;

// A reading error: an exception the interpreter raised while the reader
// used it, or a message text.
class PythonReadError {
public:
    static PythonReadError from_exception(Ref exception) { return PythonReadError(std::move(exception), {}); }
    static PythonReadError from_text(std::string text) { return PythonReadError(Ref(), std::move(text)); }
    // Takes the pending exception out of the interpreter.
    static PythonReadError from_pending() { return from_exception(Ref::steal(PyErr_GetRaisedException())); }

    // The message as a new str, made when asked for: "TypeName: str()" of
    // the exception, or the text. Null with the error set only when no
    // object can be made.
    Ref display() const;

    const Ref& exception() const noexcept { return exception_; }
    const std::string& text() const noexcept { return text_; }

private:
    PythonReadError(Ref exception, std::string text) : exception_(std::move(exception)), text_(std::move(text)) {}
    Ref exception_;
    std::string text_;
};

// Reads the top-level object, a dict or an instance of a subclass of it.
// Attached to the interpreter; nothing is left pending on return.
std::expected<Node, PythonReadError> read_node_from_python(PyObject* top);

}  // namespace kelmora::python
