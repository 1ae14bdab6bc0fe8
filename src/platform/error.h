// The one shape of error the program raises: a number, a fixed description and a source.
#pragma once

#include <exception>
#include <string>

namespace platform {

// Errors are told apart by their type and number, never by their text. The source names the
// class and member that raised it ("CSocket.Connect", "Database").
class NumberedError : public std::exception {
public:
    NumberedError(int number, std::string description, std::string source);

    int number() const { return m_number; }
    const std::string& description() const { return m_description; }
    const std::string& source() const { return m_source; }
    // "description (number)"
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    int m_number;
    std::string m_description;
    std::string m_source;
    std::string m_what;
};

// A numbered error whose description is a whole message for the user: what() gives the
// description alone, as it is shown in a message box.
class MessageError : public NumberedError {
public:
    using NumberedError::NumberedError;
    const char* what() const noexcept override { return description().c_str(); }
};

// "description (number)", the form errors are printed in.
std::string to_string(const NumberedError& error);

} // namespace platform
