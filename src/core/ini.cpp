#include "core/ini.h"

#include <string_view>

#include "core/text.h"
#include "core/text_file.h"

namespace orv::core {

namespace {

constexpr size_t kMaxValueBytes = 4095;  // a 4096-byte buffer with its terminator

std::string cutAtCharBoundary(std::string_view s, size_t maxBytes) {
    if (s.size() <= maxBytes) return std::string(s);
    size_t n = maxBytes;
    while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
    return std::string(s.substr(0, n));
}

}  // namespace

IniFile IniFile::load(const std::string& fileName) {
    IniFile ini;
    if (auto lines = readTextLines(fileName)) ini.lines_ = std::move(lines.value());
    return ini;
}

IniFile IniFile::fromText(std::string_view bytes) {
    IniFile ini;
    ini.lines_ = splitLines(decodeText(bytes));
    return ini;
}

std::string IniFile::get(const std::string& section, const std::string& key) const {
    bool inSection = false;
    for (const std::string& raw : lines_) {
        std::string_view line = trimSpaces(raw);
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            size_t close = line.find(']');
            if (close == std::string_view::npos) continue;
            if (inSection) return "";  // the first matching section ended without the key
            inSection = equalsIgnoreCase(trimSpaces(line.substr(1, close - 1)), section);
            continue;
        }
        if (!inSection) continue;
        size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        if (!equalsIgnoreCase(trimSpaces(line.substr(0, eq)), key)) continue;
        std::string_view value = trimSpaces(line.substr(eq + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        return cutAtCharBoundary(value, kMaxValueBytes);
    }
    return "";
}

std::string GetIniString(const std::string& fileName, const std::string& section,
                         const std::string& key) {
    return IniFile::load(fileName).get(section, key);
}

}  // namespace orv::core
