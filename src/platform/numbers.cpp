// VB-style leading-number reading and 32-bit clamping.
#include "platform/numbers.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

namespace platform {

double leadingNumber(std::string_view text) {
    std::string compact;
    for (char c : text)
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r')
            compact += c;
    // strtod would also take hex floats, "inf" and "nan"; keep only what Val reads.
    std::size_t i = 0;
    std::string number;
    if (i < compact.size() && (compact[i] == '+' || compact[i] == '-'))
        number += compact[i++];
    bool digits = false;
    while (i < compact.size() && std::isdigit(static_cast<unsigned char>(compact[i]))) {
        number += compact[i++];
        digits = true;
    }
    if (i < compact.size() && compact[i] == '.') {
        number += compact[i++];
        while (i < compact.size() && std::isdigit(static_cast<unsigned char>(compact[i]))) {
            number += compact[i++];
            digits = true;
        }
    }
    if (!digits)
        return 0;
    if (i < compact.size() && (compact[i] == 'e' || compact[i] == 'E')) {
        std::size_t mark = i;
        std::string exponent = "e";
        ++i;
        if (i < compact.size() && (compact[i] == '+' || compact[i] == '-'))
            exponent += compact[i++];
        bool expDigits = false;
        while (i < compact.size() && std::isdigit(static_cast<unsigned char>(compact[i]))) {
            exponent += compact[i++];
            expDigits = true;
        }
        if (expDigits)
            number += exponent;
        else
            i = mark;
    }
    return std::strtod(number.c_str(), nullptr);
}

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::int32_t clampToInt32(double value) {
    if (std::isnan(value))
        return 0;
    double whole = std::trunc(value);
    if (whole >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    if (whole <= static_cast<double>(std::numeric_limits<std::int32_t>::min()))
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(whole);
}

} // namespace platform
