// The one shape of error the program raises.
#include "platform/error.h"

namespace platform {

NumberedError::NumberedError(int number, std::string description, std::string source)
    : m_number(number), m_description(std::move(description)), m_source(std::move(source)),
      m_what(m_description + " (" + std::to_string(m_number) + ")") {}

std::string to_string(const NumberedError& error) {
    return error.description() + " (" + std::to_string(error.number()) + ")";
}

} // namespace platform
