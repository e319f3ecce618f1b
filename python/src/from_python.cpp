// Python objects into the buffered value (Content), then the shared replay.
#include "from_python.hpp"

#include "exceptions.hpp"
#include "interned_name.hpp"
#include "once_object.hpp"
#include "thread_stack.hpp"

#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>

#include "kelmora/content.hpp"

namespace kelmora::python {

Ref PythonReadError::display() const {
    if (exception_) return exception_display(exception_.get());
    return Ref::steal(PyUnicode_DecodeUTF8(text_.data(), static_cast<Py_ssize_t>(text_.size()), "replace"));
}

namespace {

// What an integer beyond 64 bits was expected as, in its message.
constexpr const char* top_key_expectation = "a type tag `node_type` or any other value";
constexpr const char* value_expectation = "any value";

// Process-wide objects, made on first need.
OnceObject sequence_abc_cell;
OnceObject mapping_abc_cell;
InternedName dataclass_fields_name("__dataclass_fields__");
InternedName dict_name("__dict__");

PyObject* abc_class(OnceObject& cell, const char* name) {
    return cell.get([name]() -> PyObject* {
        Ref module = Ref::steal(PyImport_ImportModule("collections.abc"));
        return module ? PyObject_GetAttrString(module.get(), name) : nullptr;
    });
}

// The qualified name of the object's type as UTF-8, or "unknown".
std::string qualified_type_name(PyObject* object) {
    Ref name = type_qualified_name(Py_TYPE(object));
    if (name) {
        Py_ssize_t size = 0;
        if (const char* text = PyUnicode_AsUTF8AndSize(name.get(), &size)) {
            return std::string(text, static_cast<std::size_t>(size));
        }
    }
    PyErr_Clear();
    return "unknown";
}

// "unexpected type: '{}' object is not an instance of 'dict'".
std::string not_a_dict_text(PyObject* object) {
    return "unexpected type: '" + qualified_type_name(object) + "' object is not an instance of 'dict'";
}

// The value of the object's __dataclass_fields__, or null when it has none;
// an exception from the lookup counts as none.
[[gnu::noinline]] Ref dataclass_fields(PyObject* object) {
    PyObject* name = dataclass_fields_name.get();
    PyObject* fields = nullptr;
    if (!name || PyObject_GetOptionalAttr(object, name, &fields) < 0) {
        PyErr_Clear();
        return Ref();
    }
    return Ref::steal(fields);
}

// isinstance against an abstract base class; an exception is reported as
// unraisable and counts as false.
[[gnu::noinline]] bool is_instance_of_abc(PyObject* object, OnceObject& cell, const char* name) {
    PyObject* abc = abc_class(cell, name);
    int result = abc ? PyObject_IsInstance(object, abc) : -1;
    if (result < 0) {
        PyErr_WriteUnraisable(object);
        return false;
    }
    return result == 1;
}

// The pairs of a mapping or a dataclass instance, walked by index over
// snapshots taken up front.
class PairSource {
public:
    // False when it cannot be opened: the exception is then pending, or
    // `text` says why.
    bool open_mapping(PyObject* mapping) {
        keys_ = Ref::steal(PyMapping_Keys(mapping));
        if (!keys_) return false;
        values_ = Ref::steal(PyMapping_Values(mapping));
        if (!values_) return false;
        size_ = PyMapping_Size(mapping);
        return size_ >= 0;
    }

    bool open_dataclass(PyObject* object, PyObject* fields, std::string& text) {
        if (!PyDict_Check(fields)) {
            text = not_a_dict_text(fields);
            return false;
        }
        keys_ = Ref::steal(PyDict_Keys(fields));
        if (!keys_) return false;
        size_ = PyList_GET_SIZE(keys_.get());
        PyObject* name = dict_name.get();
        if (!name) return false;
        dict_ = Ref::steal(PyObject_GetAttr(object, name));
        if (!dict_) return false;
        if (!PyDict_Check(dict_.get())) {
            text = not_a_dict_text(dict_.get());
            return false;
        }
        return true;
    }

    Py_ssize_t size() const noexcept { return size_; }

    // The i-th key, or null with the exception pending (a list shorter than
    // the size gives IndexError).
    Ref key(Py_ssize_t index) const { return Ref::steal(PyList_GetItemRef(keys_.get(), index)); }

    // The value paired with the i-th key, or null with the exception pending
    // (a field that the instance does not hold gives KeyError).
    Ref value(Py_ssize_t index, PyObject* key) const {
        if (values_) return Ref::steal(PyList_GetItemRef(values_.get(), index));
        PyObject* value = nullptr;
        if (PyDict_GetItemRef(dict_.get(), key, &value) == 0) {
            // Made with the key as its one argument: PyErr_SetObject would
            // spread a tuple key over the arguments.
            Ref error = Ref::steal(PyObject_CallOneArg(PyExc_KeyError, key));
            if (error) PyErr_SetRaisedException(error.release());
        }
        return Ref::steal(value);
    }

private:
    Ref keys_;
    Ref values_;  // set for a mapping
    Ref dict_;    // set for a dataclass instance: its __dict__
    Py_ssize_t size_ = 0;
};

__extension__ typedef unsigned __int128 uint128;
__extension__ typedef __int128 int128;

std::string decimal_text(uint128 magnitude, bool negative) {
    char digits[48];
    std::size_t count = 0;
    do {
        digits[count++] = static_cast<char>('0' + static_cast<int>(magnitude % 10));
        magnitude /= 10;
    } while (magnitude != 0);
    std::string text = negative ? "-" : "";
    while (count > 0) text += digits[--count];
    return text;
}

template <class Narrow, class Wide>
bool fits(Wide value) {
    return value >= static_cast<Wide>(std::numeric_limits<Narrow>::min()) &&
           value <= static_cast<Wide>(std::numeric_limits<Narrow>::max());
}

bool is_tag_key(PyObject* key) {
    static constexpr std::string_view tag = "node_type";
    if (PyUnicode_Check(key)) return PyUnicode_CompareWithASCIIString(key, tag.data()) == 0;
    if (PyBytes_Check(key)) {
        return std::string_view(PyBytes_AS_STRING(key), static_cast<std::size_t>(PyBytes_GET_SIZE(key))) == tag;
    }
    return false;
}

// One reading. The conversions recurse once per level of containers and
// write into the Content they are given, keeping the failure here, so a
// level costs little stack: 512 levels fit a 256 KiB thread.
class Reader {
public:
    std::expected<Node, PythonReadError> read(PyObject* top);

private:
    bool convert(PyObject* object, std::size_t depth, const char* int_expectation, Content& out);
    bool convert_object(PyObject* object, PyObject* fields, std::size_t depth, Content& out);
    bool convert_sequence(PyObject* sequence, std::size_t depth, Content& out);
    [[gnu::noinline]] bool convert_set(PyObject* set, std::size_t depth, Content& out);
    [[gnu::noinline]] bool convert_int(PyObject* number, const char* expectation, Content& out);
    [[gnu::noinline]] bool convert_float(PyObject* number, Content& out);
    [[gnu::noinline]] bool convert_str(PyObject* text, Content& out);
    [[gnu::noinline]] bool convert_bytes(PyObject* bytes, Content& out);
    bool open(PairSource& source, PyObject* object, PyObject* fields);
    bool tag_variant(PyObject* value, std::optional<std::size_t>& variant);
    bool collect(PyObject* top, std::optional<std::size_t>& variant, Content::Object& entries);

    // The failures, kept out of line so the recursive frames stay small.
    [[gnu::noinline]] bool fail_pending() {
        error_ = PythonReadError::from_pending();
        return false;
    }
    [[gnu::noinline]] bool fail(std::string text) {
        error_ = PythonReadError::from_text(std::move(text));
        return false;
    }
    [[gnu::noinline]] bool fail_unsupported(PyObject* object) {
        return fail("unsupported type " + qualified_type_name(object));
    }
    [[gnu::noinline]] bool fail_length_change(Py_ssize_t first, Py_ssize_t second) {
        return fail("expected sequence of length " + std::to_string(first) + ", got " + std::to_string(second));
    }
    std::optional<PythonReadError> error_;
    const StackBounds stack_ = stack_bounds();
};

// One object, by the first test that holds.
bool Reader::convert(PyObject* object, std::size_t depth, const char* int_expectation, Content& out) {
    if (object == Py_None) {
        out = Content::null();
        return true;
    }
    if (Py_IS_TYPE(object, &PyBool_Type)) {
        out = Content(Content::Value(object == Py_True));
        return true;
    }
    if (PyLong_Check(object)) return convert_int(object, int_expectation, out);
    if (PyList_Check(object) || PyTuple_Check(object)) return convert_sequence(object, depth, out);
    if (PyDict_Check(object)) return convert_object(object, dataclass_fields(object).get(), depth, out);
    if (PyUnicode_Check(object)) return convert_str(object, out);
    if (PyBytes_Check(object) || PyByteArray_Check(object)) return convert_bytes(object, out);
    if (PyFloat_Check(object)) return convert_float(object, out);
    if (PyAnySet_Check(object)) return convert_set(object, depth, out);
    if (is_instance_of_abc(object, sequence_abc_cell, "Sequence")) return convert_sequence(object, depth, out);
    if (is_instance_of_abc(object, mapping_abc_cell, "Mapping")) {
        return convert_object(object, dataclass_fields(object).get(), depth, out);
    }
    if (Ref fields = dataclass_fields(object)) return convert_object(object, fields.get(), depth, out);
    return fail_unsupported(object);
}

bool Reader::open(PairSource& source, PyObject* object, PyObject* fields) {
    std::string text;
    if (fields ? source.open_dataclass(object, fields, text) : source.open_mapping(object)) return true;
    return text.empty() ? fail_pending() : fail(std::move(text));
}

// A dict, another mapping, or (with `fields`) a dataclass instance.
bool Reader::convert_object(PyObject* object, PyObject* fields, std::size_t depth, Content& out) {
    if (depth >= max_nesting) return fail("recursion limit exceeded");
    ensure_interpreter_room(stack_);
    PairSource source;
    if (!open(source, object, fields)) return false;
    out = Content(Content::Object{});
    auto& pairs = *out.get_if<Content::Object>();
    pairs.reserve(cautious_capacity<ContentPair>(static_cast<std::size_t>(source.size())));
    for (Py_ssize_t i = 0; i < source.size(); ++i) {
        Ref key = source.key(i);
        if (!key) return fail_pending();
        ContentPair& pair = pairs.emplace_back();
        if (!convert(key.get(), depth + 1, value_expectation, pair.key)) return false;
        Ref value = source.value(i, key.get());
        if (!value) return fail_pending();
        if (!convert(value.get(), depth + 1, value_expectation, pair.value)) return false;
    }
    return true;
}

// A list, a tuple or another sequence: measured twice, then read by index.
bool Reader::convert_sequence(PyObject* sequence, std::size_t depth, Content& out) {
    if (depth >= max_nesting) return fail("recursion limit exceeded");
    ensure_interpreter_room(stack_);
    Py_ssize_t length = PyObject_Size(sequence);
    if (length < 0) return fail_pending();
    Py_ssize_t again = PyObject_Size(sequence);
    if (again < 0) return fail_pending();
    if (again != length) return fail_length_change(length, again);
    out = Content(Content::Array{});
    auto& elements = *out.get_if<Content::Array>();
    elements.reserve(cautious_capacity<Content>(static_cast<std::size_t>(length)));
    for (Py_ssize_t i = 0; i < length; ++i) {
        Ref element = Ref::steal(PySequence_GetItem(sequence, i));
        if (!element) return fail_pending();
        if (!convert(element.get(), depth + 1, value_expectation, elements.emplace_back())) return false;
    }
    return true;
}

// A set or a frozenset, in iteration order.
bool Reader::convert_set(PyObject* set, std::size_t depth, Content& out) {
    if (depth >= max_nesting) return fail("recursion limit exceeded");
    ensure_interpreter_room(stack_);
    Ref iterator = Ref::steal(PyObject_GetIter(set));
    if (!iterator) return fail_pending();
    out = Content(Content::Array{});
    auto& elements = *out.get_if<Content::Array>();
    elements.reserve(cautious_capacity<Content>(static_cast<std::size_t>(PySet_GET_SIZE(set))));
    for (;;) {
        PyObject* next = nullptr;
        const int status = PyIter_NextItem(iterator.get(), &next);
        Ref element = Ref::steal(next);
        if (status < 0) return fail_pending();
        if (status == 0) return true;
        if (!convert(element.get(), depth + 1, value_expectation, elements.emplace_back())) return false;
    }
}

// An int in the smallest width that holds it; beyond 64 bits it fails.
bool Reader::convert_int(PyObject* number, const char* expectation, Content& out) {
    constexpr int native = Py_ASNATIVEBYTES_NATIVE_ENDIAN;
    uint128 unsigned_value = 0;
    Py_ssize_t needed = PyLong_AsNativeBytes(number, &unsigned_value, sizeof unsigned_value,
                                             native | Py_ASNATIVEBYTES_UNSIGNED_BUFFER | Py_ASNATIVEBYTES_REJECT_NEGATIVE);
    if (needed >= 0 && static_cast<std::size_t>(needed) <= sizeof unsigned_value) {
        if (unsigned_value <= UINT8_MAX) {
            out = Content(Content::Value(static_cast<std::uint8_t>(unsigned_value)));
        } else if (unsigned_value <= UINT16_MAX) {
            out = Content(Content::Value(static_cast<std::uint16_t>(unsigned_value)));
        } else if (unsigned_value <= UINT32_MAX) {
            out = Content(Content::Value(static_cast<std::uint32_t>(unsigned_value)));
        } else if (unsigned_value <= UINT64_MAX) {
            out = Content(Content::Value(static_cast<std::uint64_t>(unsigned_value)));
        } else {
            return fail("invalid type: integer `" + decimal_text(unsigned_value, false) + "` as u128, expected " +
                        expectation);
        }
        return true;
    }
    if (needed < 0) PyErr_Clear();  // negative: read it as signed below
    int128 signed_value = 0;
    needed = PyLong_AsNativeBytes(number, &signed_value, sizeof signed_value, native);
    if (needed < 0) return fail_pending();
    if (static_cast<std::size_t>(needed) > sizeof signed_value) {
        PyErr_SetString(PyExc_OverflowError, "Python int larger than 128 bits");
        return fail_pending();
    }
    if (fits<std::int8_t>(signed_value)) {
        out = Content(Content::Value(static_cast<std::int8_t>(signed_value)));
    } else if (fits<std::int16_t>(signed_value)) {
        out = Content(Content::Value(static_cast<std::int16_t>(signed_value)));
    } else if (fits<std::int32_t>(signed_value)) {
        out = Content(Content::Value(static_cast<std::int32_t>(signed_value)));
    } else if (fits<std::int64_t>(signed_value)) {
        out = Content(Content::Value(static_cast<std::int64_t>(signed_value)));
    } else {
        // The magnitude of a negative value, without overflowing at -2^127.
        uint128 magnitude = static_cast<uint128>(-(signed_value + 1)) + 1;
        return fail("invalid type: integer `" + decimal_text(magnitude, true) + "` as i128, expected " + expectation);
    }
    return true;
}

bool Reader::convert_float(PyObject* number, Content& out) {
    double value = PyFloat_AsDouble(number);
    if (value == -1.0 && PyErr_Occurred()) return fail_pending();
    out = Content(Content::Value(value));
    return true;
}

bool Reader::convert_str(PyObject* text, Content& out) {
    Py_ssize_t size = 0;
    const char* data = PyUnicode_AsUTF8AndSize(text, &size);
    if (!data) return fail_pending();
    out = Content::owned_string(std::string(data, static_cast<std::size_t>(size)));
    return true;
}

bool Reader::convert_bytes(PyObject* bytes, Content& out) {
    if (PyBytes_Check(bytes)) {
        out = Content::owned_bytes(
            std::string(PyBytes_AS_STRING(bytes), static_cast<std::size_t>(PyBytes_GET_SIZE(bytes))));
        return true;
    }
    // A bytearray can be resized by another thread: copy it under its lock.
    std::string copy;
    Py_BEGIN_CRITICAL_SECTION(bytes);
    copy.assign(PyByteArray_AS_STRING(bytes), static_cast<std::size_t>(PyByteArray_GET_SIZE(bytes)));
    Py_END_CRITICAL_SECTION();
    out = Content::owned_bytes(std::move(copy));
    return true;
}

// The variant that the top-level tag's value names.
bool Reader::tag_variant(PyObject* value, std::optional<std::size_t>& variant) {
    if (!PyUnicode_Check(value)) return fail("dict keys must have type str");
    Py_ssize_t size = 0;
    const char* data = PyUnicode_AsUTF8AndSize(value, &size);
    if (!data) return fail_pending();
    std::string_view tag(data, static_cast<std::size_t>(size));
    variant = node_variant_index(tag);
    return variant ? true : fail(unknown_node_variant_message(tag));
}

// Phase 1: the top-level pairs converted, with the tag taken out.
bool Reader::collect(PyObject* top, std::optional<std::size_t>& variant, Content::Object& entries) {
    // The top-level dict is the first level of nesting.
    constexpr std::size_t depth = 0;
    PairSource source;
    if (!open(source, top, dataclass_fields(top).get())) return false;
    entries.reserve(cautious_capacity<ContentPair>(static_cast<std::size_t>(source.size())));
    for (Py_ssize_t i = 0; i < source.size(); ++i) {
        Ref key = source.key(i);
        if (!key) return fail_pending();
        if (is_tag_key(key.get())) {
            if (variant) return fail(duplicate_field_message("node_type"));
            Ref value = source.value(i, key.get());
            if (!value) return fail_pending();
            if (!tag_variant(value.get(), variant)) return false;
            continue;
        }
        ContentPair& pair = entries.emplace_back();
        if (!convert(key.get(), depth + 1, top_key_expectation, pair.key)) return false;
        Ref value = source.value(i, key.get());
        if (!value) return fail_pending();
        if (!convert(value.get(), depth + 1, value_expectation, pair.value)) return false;
    }
    return variant ? true : fail(missing_field_message("node_type"));
}

// Phase 2: the replay of the struct of the variant that the tag names.
std::expected<Node, PythonReadError> Reader::read(PyObject* top) {
    std::optional<std::size_t> variant;
    Content::Object entries;
    if (!collect(top, variant, entries)) return std::unexpected(std::move(*error_));
    auto node = replay_node_variant(*variant, Content(std::move(entries)), ValueStyle::Python);
    if (!node) return std::unexpected(PythonReadError::from_text(std::move(node.error().message)));
    return std::move(*node);
}

}  // namespace

std::expected<Node, PythonReadError> read_node_from_python(PyObject* top) {
    return Reader().read(top);
}

}  // namespace kelmora::python
