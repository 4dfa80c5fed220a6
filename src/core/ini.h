#pragma once
// Reading one key of a Windows-style settings file ("[Section]" lines, "Key = Value" lines).

#include <string>
#include <string_view>
#include <vector>

namespace orv::core {

// A settings file read once, for looking up many keys (the same rules as GetIniString).
class IniFile {
public:
    // A missing or unreadable file reads as empty.
    static IniFile load(const std::string& fileName);
    // The text of a settings file (UTF-8 or CP932, any line ends).
    static IniFile fromText(std::string_view bytes);
    std::string get(const std::string& section, const std::string& key) const;

private:
    std::vector<std::string> lines_;
};

// The value of `key` in `[section]` of the file, or "" when the file, the section or the key
// is missing. Section and key names compare case-insensitively (ASCII); blanks around the
// key, the "=" and the value are ignored, and a value enclosed in matching quotes loses them.
// Lines starting with ";" are comments. The first matching section and key win. At most 4095
// bytes of a value are returned (cut at a character boundary). Never fails.
std::string GetIniString(const std::string& fileName, const std::string& section,
                         const std::string& key);

}  // namespace orv::core
