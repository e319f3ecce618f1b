// Broken guarantees of the system itself (never caused by input) are raised
// as InternalError; the front ends turn it into their internal-error report.
#pragma once

#include <cstdint>
#include <source_location>
#include <stdexcept>
#include <string>

namespace kelmora {

// Where an internal error was raised: a source file, a line and a column.
struct ErrorLocation {
    std::string file;
    std::uint32_t line = 0;
    std::uint32_t column = 0;

    static ErrorLocation from(const std::source_location& where) {
        return {where.file_name(), where.line(), where.column()};
    }
};

class InternalError : public std::runtime_error {
public:
    InternalError(std::string message, ErrorLocation location)
        : std::runtime_error(message), message_(std::move(message)), location_(std::move(location)) {}

    const std::string& message() const noexcept { return message_; }
    const ErrorLocation& location() const noexcept { return location_; }

private:
    std::string message_;
    ErrorLocation location_;
};

[[noreturn]] inline void internal_error(std::string message,
                                        std::source_location where = std::source_location::current()) {
    throw InternalError(std::move(message), ErrorLocation::from(where));
}

[[noreturn]] inline void internal_error_at(std::string message, ErrorLocation location) {
    throw InternalError(std::move(message), std::move(location));
}

}  // namespace kelmora
