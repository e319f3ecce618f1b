// Broken guarantees of the system itself (never caused by input) are raised
// as InternalError; the front ends turn it into their internal-error report.
#pragma once

#include <source_location>
#include <stdexcept>
#include <string>

namespace kelmora {

class InternalError : public std::runtime_error {
public:
    InternalError(std::string message, std::source_location location)
        : std::runtime_error(message), message_(std::move(message)), location_(location) {}

    const std::string& message() const noexcept { return message_; }
    const std::source_location& location() const noexcept { return location_; }

private:
    std::string message_;
    std::source_location location_;
};

[[noreturn]] inline void internal_error(std::string message,
                                        std::source_location location = std::source_location::current()) {
    throw InternalError(std::move(message), location);
}

}  // namespace kelmora
