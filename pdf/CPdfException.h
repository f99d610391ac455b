#pragma once

#include <string>
#include <string_view>

// The one error type of the program: a complete, fixed English message, with its own line end
// where it has one. Thrown by value, caught by reference.
class CPdfException {
  public:
    explicit CPdfException(std::string_view message) : message_(message) {}
    // A message together with the cause that led to it (the first failure of a stamping pass,
    // which the entry point shows on standard error beside the message).
    CPdfException(std::string_view message, std::string_view cause)
        : message_(message), cause_(cause) {}
    virtual ~CPdfException() = default;

    const char* getMessage() const { return message_.c_str(); }
    const std::string& message() const { return message_; }
    const std::string& cause() const { return cause_; }

  private:
    std::string message_;
    std::string cause_;
};
