#include "core/ini.h"

#include <string_view>

#include "core/text_file.h"

namespace orv::core {

namespace {

constexpr size_t kMaxValueBytes = 4095;  // a 4096-byte buffer with its terminator

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

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
        std::string_view line = trim(raw);
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            size_t close = line.find(']');
            if (close == std::string_view::npos) continue;
            if (inSection) return "";  // the first matching section ended without the key
            inSection = equalsIgnoreCase(trim(line.substr(1, close - 1)), section);
            continue;
        }
        if (!inSection) continue;
        size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        if (!equalsIgnoreCase(trim(line.substr(0, eq)), key)) continue;
        std::string_view value = trim(line.substr(eq + 1));
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
