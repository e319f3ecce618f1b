// KelmoraError, the internal-error exception, and the entry guard that every
// call from the interpreter into the module runs under.
#pragma once

#include "pyref.hpp"
#include "thread_stack.hpp"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>
#include <string>
#include <string_view>

#include "kelmora/errors.hpp"
#include "kelmora/internal_error.hpp"

namespace kelmora::python {

// The process-wide type objects (borrowed references, never released).
// KelmoraError's creation failing is an internal error (thrown); the
// internal-error exception's returns null with the exception set.
PyObject* kelmora_error_type();
PyObject* panic_exception_type();

// Raise KelmoraError(message, kind); the message is a str or UTF-8 text.
void raise_kelmora_error(PyObject* message, std::string_view kind);
void raise_kelmora_error(std::string_view message, std::string_view kind);
// A library error: its display text, with its variant's identifier as kind.
void raise_library_error(const Error& error);

// "'{}' object is not an instance of '{}'", or "'None' is not an instance
// of '{}'", raised as TypeError.
void raise_type_mismatch(PyObject* object, const char* required);

// The qualified name of a type as a new str, or null with the error set.
Ref type_qualified_name(PyTypeObject* type);

// "TypeName: str(exception)" as a new str ("<exception str() failed>" in
// place of the text when str() raises); null only when no str can be made.
Ref exception_display(PyObject* exception);

// The pending exception in its debug form; the exception is cleared.
std::string take_error_debug_text();

// Writes the internal-error report to standard error and raises the
// internal-error exception with the message.
void raise_internal_error(const InternalError& error) noexcept;

// RecursionError("recursion limit exceeded"): a walk found the thread's
// stack too short for the data's nesting.
void raise_recursion_error() noexcept;

// Runs a reading of data (from_dict, from_json): a stack too short for the
// data's nesting fails it as the nesting limit does, with
// KelmoraError("recursion limit exceeded", "DeserializationError").
template <class Body>
PyObject* reading_data(Body&& body) {
    try {
        return body();
    } catch (const StackExhausted& error) {
        raise_kelmora_error(error.what(), "DeserializationError");
        return nullptr;
    }
}

// Runs one call from the interpreter: an internal error becomes the
// internal-error exception, a stack too short for the data's nesting a
// RecursionError, and the call returns `failure`. A failed allocation of
// the library's own memory ends the process.
template <class Result, class Body>
Result guarded(Result failure, Body&& body) noexcept {
    try {
        watch_thread_stack();
        return body();
    } catch (const StackExhausted&) {
        raise_recursion_error();
    } catch (const InternalError& error) {
        raise_internal_error(error);
    } catch (const std::bad_alloc&) {
        std::fputs("memory allocation failed\n", stderr);
        std::abort();
    } catch (const std::exception& error) {
        raise_internal_error(InternalError(error.what(), ErrorLocation::from(std::source_location::current())));
    }
    return failure;
}

// Deallocation cannot report: an internal error there ends the process.
template <class Body>
void guarded_dealloc(Body&& body) noexcept {
    try {
        watch_thread_stack();
        body();
    } catch (...) {
        std::fputs("uncaught panic at ffi boundary\n", stderr);
        std::abort();
    }
}

}  // namespace kelmora::python
