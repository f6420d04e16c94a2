#pragma once

// Names of parametrized test cases, so that CTest lists each case by what it tests.

#include <cctype>
#include <sstream>
#include <string>
#include <string_view>

namespace calventa::testnames {

// Free text as a test name: letters and digits kept, '-' first or before a digit as "Minus", '+' as
// "Plus", every other run of characters as one '_'.
inline std::string CaseName(std::string_view text)
{
    std::string name;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (std::isalnum(c) != 0) {
            name += static_cast<char>(c);
        } else if (c == '-' &&
                   (i == 0 || (i + 1 < text.size() && std::isdigit(static_cast<unsigned char>(text[i + 1])) != 0))) {
            name += "Minus";
        } else if (c == '+') {
            name += "Plus";
        } else if (!name.empty() && name.back() != '_') {
            name += '_';
        }
    }
    while (!name.empty() && name.back() == '_') {
        name.pop_back();
    }
    return name.empty() ? std::string("Empty") : name;
}

// A number as a name part: "Minus12" for -12.
inline std::string NumberName(long long value)
{
    return value < 0 ? "Minus" + std::to_string(-value) : std::to_string(value);
}

// A floating-point value as a name part, to six significant digits: "Minus3_344" for -3.344.
inline std::string FloatName(double value)
{
    std::ostringstream text;
    text << value;
    return CaseName(text.str());
}

} // namespace calventa::testnames
