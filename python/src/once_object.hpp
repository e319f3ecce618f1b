// A process-wide Python object (a type object) made once, on first need.
#pragma once

#include "pyref.hpp"

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace kelmora::python {

// The maker runs attached to the interpreter. A thread that finds the making
// under way in another thread waits detached, so that thread can go on
// running interpreter work (or be paused by the interpreter) without a
// deadlock. A maker that fails (returns null with an exception set, or
// throws) publishes nothing and the next use tries again. std::call_once is
// avoided: after a throwing callable it can hang waiting threads here.
class OnceObject {
public:
    // Returns a borrowed reference to the object, which lives until the
    // process ends, or null with the maker's exception set.
    template <class Make>
    PyObject* get(Make&& make) {
        if (PyObject* ready = value_.load(std::memory_order_acquire)) return ready;
        for (;;) {
            {
                std::lock_guard lock(mutex_);
                if (PyObject* ready = value_.load(std::memory_order_acquire)) return ready;
                if (!making_) {
                    making_ = true;
                    break;
                }
            }
            // The mutex is never held while attached to the interpreter for
            // longer than a state change, and never across the wait.
            PyThreadState* state = PyEval_SaveThread();
            {
                std::unique_lock lock(mutex_);
                done_.wait(lock, [this] { return !making_; });
            }
            PyEval_RestoreThread(state);
        }
        PyObject* made = nullptr;
        try {
            made = make();
        } catch (...) {
            finish(nullptr);
            throw;
        }
        finish(made);
        return made;
    }

private:
    void finish(PyObject* made) {
        {
            std::lock_guard lock(mutex_);
            if (made) value_.store(made, std::memory_order_release);
            making_ = false;
        }
        done_.notify_all();
    }

    std::atomic<PyObject*> value_{nullptr};
    std::mutex mutex_;
    std::condition_variable done_;
    bool making_ = false;
};

}  // namespace kelmora::python
