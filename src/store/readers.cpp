// Text and integer readers over database values.
#include "store/readers.h"

#include "platform/numbers.h"

namespace vellumite {

std::string readText(const platform::Value& value) {
    return value.toText();
}

std::int32_t readInt(const platform::Value& value) {
    if (value.isNull())
        return 3;
    if (auto* text = value.text()) {
        if (text->empty())
            return 3;
        return platform::clampToInt32(platform::leadingNumber(*text));
    }
    return platform::clampToInt32(value.toNumber().value_or(0));
}

} // namespace vellumite
