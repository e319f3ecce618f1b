// An owning reference to a Python object: the one place where references
// are released, so no early return can leak one.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <utility>

namespace kelmora::python {

class Ref {
public:
    Ref() noexcept = default;
    Ref(const Ref& other) noexcept : object_(other.object_) { Py_XINCREF(object_); }
    Ref(Ref&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    Ref& operator=(Ref other) noexcept {
        std::swap(object_, other.object_);
        return *this;
    }
    ~Ref() { Py_XDECREF(object_); }

    // Takes over a new reference (null stays null: the call that made it failed).
    static Ref steal(PyObject* object) noexcept { return Ref(object); }
    // Takes a new reference to a borrowed object.
    static Ref borrow(PyObject* object) noexcept {
        Py_XINCREF(object);
        return Ref(object);
    }

    PyObject* get() const noexcept { return object_; }
    explicit operator bool() const noexcept { return object_ != nullptr; }
    // Hands the reference to the caller.
    PyObject* release() noexcept { return std::exchange(object_, nullptr); }

private:
    explicit Ref(PyObject* object) noexcept : object_(object) {}
    PyObject* object_ = nullptr;
};

}  // namespace kelmora::python
