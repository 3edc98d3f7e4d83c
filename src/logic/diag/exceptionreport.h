#pragma once
// Texts of the lines that report an error nobody else caught.
#include <cstdint>
#include <exception>
#include <string>

namespace zampo {

// "Exception <class> in module <program> at <address>." for the reporting object,
// at most 80 characters, trimmed.
std::string exceptionLocationText(const std::string& senderClass, uintptr_t address);

// Message and class name of the error in flight (inside a catch block).
struct ErrorInfo {
    std::string message;
    std::string className;
};
ErrorInfo describeError(std::exception_ptr error);

// "<" location "><" message "><" class ">"
std::string exceptionLogMessage(const std::string& location, const ErrorInfo& error);

std::string demangledTypeName(const char* mangled);

}  // namespace zampo
