#include "core/numeric.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "core/text.h"

namespace orv::core {

namespace {

constexpr const char* kOverflow = "オーバーフローしました。";

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// A Japanese input method types full-width forms: the digits "０".."９", "＋", "－", "．",
// the exponent letters "Ｅ", "ｅ", "Ｄ", "ｄ" and the ideographic blank. The system's numeric
// conversion on a Japanese desktop takes them as their ASCII forms, and so does this one.
std::string narrowNumberForms(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
        if (i + 2 < text.size() && byte(i) == 0xE3 && byte(i + 1) == 0x80 && byte(i + 2) == 0x80) {
            out += ' ';
            i += 2;
            continue;
        }
        if (i + 2 < text.size() && byte(i) == 0xEF &&
            (byte(i + 1) == 0xBC || byte(i + 1) == 0xBD) && byte(i + 2) >= 0x80 &&
            byte(i + 2) <= 0xBF) {
            // U+FF00..U+FF5F are the ASCII characters 0x20..0x7F, shifted.
            const char ascii =
                static_cast<char>((byte(i + 1) == 0xBC ? 0x20 : 0x60) + (byte(i + 2) - 0x80));
            if ((ascii >= '0' && ascii <= '9') || std::strchr("+-.EeDd", ascii) != nullptr) {
                out += ascii;
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

// Whether `s` is a number in plain ASCII: a sign, digits with a decimal point among or after
// them, an exponent after "e" or "E", and nothing else (no blank). Every number normaliseNumber
// takes is one once normalised; such a number needs no normalising.
bool plainNumber(std::string_view s) {
    size_t i = 0, digits = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    while (i < s.size() && isDigit(s[i])) ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && isDigit(s[i])) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        size_t expDigits = 0;
        while (i < s.size() && isDigit(s[i])) ++i, ++expDigits;
        if (expDigits == 0) return false;
    }
    return i == s.size();
}

// Checks the grammar of a number and returns it normalised for strtod (full-width forms
// narrowed, the blanks around it and after its sign removed, a "D" exponent made "E"), or
// nothing.
std::optional<std::string> normaliseNumber(std::string_view text) {
    const std::string narrow = narrowNumberForms(text);
    const std::string_view s = trimSpaces(narrow);
    std::string out;
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        out += s[i++];
        while (i < s.size() && isBlank(s[i])) ++i;
    }
    for (; i < s.size(); ++i) out += s[i] == 'd' || s[i] == 'D' ? 'E' : s[i];
    if (!plainNumber(out)) return std::nullopt;
    return out;
}

// Decimal digits of |value| rounded to `sig` significant digits: digits and the decimal
// exponent of the first digit (value = 0.d1d2d3... x 10^(exp+1)).
struct Decimal {
    std::string digits;  // no leading zeros unless the value is zero
    int exponent = 0;    // power of ten of the first digit
};

Decimal toDecimal(double magnitude, int sig) {
    Decimal d;
    if (magnitude == 0) {
        d.digits = "0";
        return d;
    }
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*e", sig - 1, magnitude);
    std::string s(buf);
    size_t e = s.find('e');
    for (size_t i = 0; i < e; ++i)
        if (isDigit(s[i])) d.digits += s[i];
    d.exponent = std::atoi(s.c_str() + e + 1);
    return d;
}

}  // namespace

int32_t CLng(double value) {
    double r = std::nearbyint(value);
    if (!(r >= -2147483648.0 && r <= 2147483647.0)) throw ArithmeticFault(kOverflow);
    return static_cast<int32_t>(r);
}

int16_t CInt(double value) {
    double r = std::nearbyint(value);
    if (!(r >= -32768.0 && r <= 32767.0)) throw ArithmeticFault(kOverflow);
    return static_cast<int16_t>(r);
}

float CSng(double value) {
    // An infinite Double is itself the result of an overflow ("1e400" read as a number).
    if (!std::isfinite(value)) throw ArithmeticFault(kOverflow);
    float f = static_cast<float>(value);
    if (std::isinf(f)) throw ArithmeticFault(kOverflow);
    return f;
}

double Int(double value) {
    return std::floor(value);
}

float divideSingle(double numerator, double denominator) {
    if (denominator == 0) throw ArithmeticFault("0 で除算しました。");
    return CSng(numerator / denominator);
}

bool IsNumeric(std::string_view text) {
    return normaliseNumber(text).has_value();
}

std::optional<double> parseNumber(std::string_view text) {
    // Most numbers (every number this program writes) are plain: read without a copy.
    if (plainNumber(text)) {
        const char* begin = text.data() + (text.front() == '+' ? 1 : 0);
        const char* end = text.data() + text.size();
        double v = 0;
        const auto [ptr, ec] = std::from_chars(begin, end, v);
        if (ec == std::errc() && ptr == end) return v;
    }
    auto n = normaliseNumber(text);
    if (!n) return std::nullopt;
    // from_chars rounds as strtod does and is several times faster; it leaves out of range
    // values (infinities, underflow to 0) to strtod.
    const char* begin = n->data() + (n->front() == '+' ? 1 : 0);
    const char* end = n->data() + n->size();
    double v = 0;
    const auto [ptr, ec] = std::from_chars(begin, end, v);
    if (ec != std::errc() || ptr != end) return std::strtod(n->c_str(), nullptr);
    return v;
}

int32_t ValLng(std::string_view text) {
    auto v = parseNumber(text);
    if (!v) return 0;
    try {
        return CLng(*v);
    } catch (const ArithmeticFault&) {
        return 0;
    }
}

float ValSng(std::string_view text) {
    auto v = parseNumber(text);
    if (!v) return 0;
    try {
        return CSng(*v);
    } catch (const ArithmeticFault&) {
        return 0;
    }
}

int16_t ValInt(std::string_view text) {
    auto v = parseNumber(text);
    if (!v) return 0;
    try {
        return CInt(*v);
    } catch (const ArithmeticFault&) {
        return 0;
    }
}

std::string Format(double value, std::string_view picture, int significantDigits) {
    size_t point = picture.find('.');
    std::string_view intPic = picture.substr(0, point);
    std::string_view fracPic =
        point == std::string_view::npos ? std::string_view{} : picture.substr(point + 1);
    int intRequired = 0;
    for (char c : intPic) intRequired += c == '0';
    int fracDigits = 0, fracRequired = 0;
    for (char c : fracPic) {
        fracDigits += c == '0' || c == '#';
        fracRequired += c == '0';
    }

    // Round |value| half away from zero at `fracDigits` decimals, working on its decimal
    // digits so that 0.125 with three digits of precision behaves as written.
    Decimal d = toDecimal(std::fabs(value), significantDigits);
    // Place the digits on a fixed grid: integer digits, then fraction digits.
    std::string intDigits, fracAll;
    if (d.digits == "0") {
        intDigits = "0";
    } else if (d.exponent >= 0) {
        std::string all = d.digits;
        if (static_cast<int>(all.size()) < d.exponent + 1)
            all.append(d.exponent + 1 - all.size(), '0');
        intDigits = all.substr(0, d.exponent + 1);
        fracAll = all.substr(d.exponent + 1);
    } else {
        intDigits = "0";
        fracAll = std::string(-d.exponent - 1, '0') + d.digits;
    }
    if (static_cast<int>(fracAll.size()) < fracDigits + 1)
        fracAll.append(fracDigits + 1 - fracAll.size(), '0');
    bool roundUp = fracAll[fracDigits] >= '5';
    std::string kept = intDigits + fracAll.substr(0, fracDigits);
    if (roundUp) {
        int i = static_cast<int>(kept.size()) - 1;
        while (i >= 0 && kept[i] == '9') kept[i--] = '0';
        if (i >= 0)
            ++kept[i];
        else
            kept.insert(kept.begin(), '1');
    }
    std::string intOut = kept.substr(0, kept.size() - fracDigits);
    std::string fracOut = kept.substr(kept.size() - fracDigits);
    bool nonZero = kept.find_first_not_of('0') != std::string::npos;

    size_t firstNonZero = intOut.find_first_not_of('0');
    intOut = firstNonZero == std::string::npos ? "" : intOut.substr(firstNonZero);
    if (static_cast<int>(intOut.size()) < intRequired)
        intOut.insert(0, intRequired - intOut.size(), '0');
    while (static_cast<int>(fracOut.size()) > fracRequired && fracOut.back() == '0')
        fracOut.pop_back();

    std::string out;
    if (value < 0 && nonZero) out += '-';
    out += intOut;
    if (point != std::string_view::npos) out += '.' + fracOut;
    return out;
}

std::string generalForm(double value, int significantDigits) {
    if (value == 0) return "0";  // also turns -0 into 0
    // printf's "%.*G", several times faster.
    char buf[64];
    const auto end =
        std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, significantDigits)
            .ptr;
    for (char* c = buf; c != end; ++c)
        if (*c >= 'a' && *c <= 'z') *c = static_cast<char>(*c - 'a' + 'A');
    return std::string(buf, end);
}

std::string generalForm(float value) {
    return generalForm(static_cast<double>(value), 7);
}

double generalFormValue(float value) {
    // A Single times 10^k (k = 0..12) needs at most 24 + 28 bits, so p below is exact and
    // so are the comparisons and the rounding of its 7 digits (ties to even, as the text's);
    // the quotient of two exact doubles is the double nearest to the decimal shown.
    static constexpr double kTens[] = {1e0, 1e1, 1e2, 1e3,  1e4,  1e5, 1e6,
                                       1e7, 1e8, 1e9, 1e10, 1e11, 1e12};
    constexpr int kMaxK = 12;
    if (value == 0) return 0.0;
    const double a = std::fabs(static_cast<double>(value));
    if (a >= 1e-6 && a < 1e7) {
        // floor(log10 a) or one less, from the binary exponent (78913 / 2^18 ~ log10 2).
        uint64_t bits;
        std::memcpy(&bits, &a, sizeof bits);
        const int binaryExponent = static_cast<int>((bits >> 52) & 0x7FF) - 1023;
        const int decimalExponent = (binaryExponent * 78913) >> 18;
        int k = std::clamp(6 - decimalExponent, 0, kMaxK);
        double p = a * kTens[k];
        if (p >= 1e7 && k > 0) p = a * kTens[--k];
        if (p >= 1e6 && p < 1e7) {
            const double shown = std::nearbyint(p) / kTens[k];
            return value < 0 ? -shown : shown;
        }
    }
    return parseNumber(generalForm(value)).value_or(static_cast<double>(value));
}

double generalFormValue(double value, int significantDigits) {
    // The digits shown are |value| x 10^k rounded to a whole number r (ties to even, as the
    // text's), with k = digits - 1 - floor(log10 |value|); the number shown is r over (or times)
    // a power of ten, both exact, which gives the double nearest to the decimal shown. The
    // rounding is decided on the exact product: for k >= 0 the product rounded (p) and its
    // rounding error (fma) are both exact; for k < 0 the whole part is split in integers.
    static constexpr double kTens[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                       1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    constexpr int kMaxTen = 22;
    if (!std::isfinite(value)) return value;
    if (value == 0) return 0.0;
    const int digits = std::clamp(significantDigits, 1, 15);
    const double a = std::fabs(value);
    const double low = kTens[digits - 1], high = kTens[digits];
    if (a >= 1e-200 && a < 9e18) {
        int k = digits - 1 - static_cast<int>(std::floor(std::log10(a)));
        for (int tries = 0; tries < 3 && k >= -18 && k <= kMaxTen; ++tries) {
            double r;
            if (k >= 0) {
                const double ten = kTens[k];
                const double p = a * ten, e = std::fma(a, ten, -p);
                if (p >= high || p < low) {
                    k += p >= high ? -1 : 1;
                    continue;
                }
                r = std::nearbyint(p);
                const double rest = p - r;          // exact: p < 2^50 and |rest| <= 1/2
                if (rest == 0.5 && e > 0) r += 1;   // above the tie r rounded down to
                if (rest == -0.5 && e < 0) r -= 1;  // below the tie r rounded up to
            } else {
                const auto ten = static_cast<uint64_t>(kTens[-k]);
                const double whole = std::floor(a);
                const auto n = static_cast<uint64_t>(whole);
                const uint64_t q = n / ten, rem = n % ten;
                if (static_cast<double>(q) >= high || static_cast<double>(q) < low) {
                    k += static_cast<double>(q) >= high ? -1 : 1;
                    continue;
                }
                const bool fraction = a > whole;
                const bool up = 2 * rem > ten || (2 * rem == ten && (fraction || q % 2 == 1));
                r = static_cast<double>(q + (up ? 1 : 0));
            }
            const double shown = k >= 0 ? r / kTens[k] : r * kTens[-k];
            return value < 0 ? -shown : shown;
        }
    }
    return parseNumber(generalForm(value, digits)).value_or(value);
}

std::string generalForm(int64_t value) {
    return std::to_string(value);
}

std::string withSignPosition(const std::string& generalText) {
    if (!generalText.empty() && generalText[0] == '-') return generalText;
    return " " + generalText;
}

std::string signPositionForm(int64_t value) {
    return withSignPosition(generalForm(value));
}

std::string signPositionForm(float value) {
    return withSignPosition(generalForm(value));
}

}  // namespace orv::core
