#pragma once
// Small text helpers the readers share: blanks off the ends, ASCII letter case.

#include <string>
#include <string_view>

namespace orv::core {

// `s` without the spaces and tabs at its ends.
std::string_view trimSpaces(std::string_view s);
// `s` with its ASCII letters in lower case (other bytes, UTF-8 included, as they are).
std::string lowerCase(std::string s);
// Equal apart from the case of ASCII letters (as file names on a system that ignores case).
bool equalsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace orv::core
