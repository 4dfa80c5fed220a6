#pragma once
// Numeric conversions and formats used throughout the program, in one place.
//
// Shared rules:
// - Whole-number conversions (CLng, CInt) round to the nearest whole number, ties to even,
//   and raise ArithmeticFault when the result does not fit.
// - Int is the floor.
// - The Val* readers never raise: they give 0 for a non-numeric text or on overflow.
// - Formatting always uses "." as the decimal point.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace orv::core {

// An arithmetic fault (overflow, division by zero). It ends the running event handler,
// which shows the message to the user; the program goes on.
class ArithmeticFault : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Round to nearest, ties to even, into 32 / 16 bits. Raises ArithmeticFault on overflow or NaN.
int32_t CLng(double value);
int16_t CInt(double value);
// Round to single precision. Raises ArithmeticFault when the value is beyond its range
// (an infinite value included).
float CSng(double value);
// Floor.
double Int(double value);

// Single-precision quotient that raises ArithmeticFault on a zero divisor (or overflow).
float divideSingle(double numerator, double denominator);

// Whether the text is a number: surrounding blanks, an optional sign, digits with an
// optional decimal point (at least one digit), an optional exponent (E or D, optional sign).
// Full-width digits, signs, point, exponent letters and blanks (as a Japanese input method
// types them) count as their ASCII forms.
bool IsNumeric(std::string_view text);
// The number in the text when IsNumeric holds.
std::optional<double> parseNumber(std::string_view text);

// The number in the text, converted like CLng / CSng / CInt; 0 when not numeric or on overflow.
int32_t ValLng(std::string_view text);
float ValSng(std::string_view text);
int16_t ValInt(std::string_view text);

// Format(value, picture) with a picture of "0" (required digit), "#" (optional digit) and
// "." (decimal point). The value is rounded half away from zero to the digits shown, taking
// it with `significantDigits` decimal digits first (7 for a Single, 15 for a Double).
// Examples: ("#####.0", 0.04) -> ".0"; ("#####", 0) -> ""; ("0000", 5) -> "0005";
// ("#0.##", 0.816) -> "0.82"; ("0.0#", 1) -> "1.0".
std::string Format(double value, std::string_view picture, int significantDigits = 15);

// The general (shortest) form of a Single: up to 7 significant digits, no trailing zeros,
// exponent form for very large or small magnitudes (1E+07, 1.5E-05).
std::string generalForm(float value);
// Whole numbers.
std::string generalForm(int64_t value);
inline std::string generalForm(int32_t value) {
    return generalForm(static_cast<int64_t>(value));
}
inline std::string generalForm(int16_t value) {
    return generalForm(static_cast<int64_t>(value));
}
// The same form with up to `significantDigits` digits (printf's "%.*G"), "0" for zero.
std::string generalForm(double value, int significantDigits);
// The number generalForm(value) shows, as parseNumber reads that text (the nearest double),
// worked out without writing the text where the arithmetic is exact (1e-6 <= |value| < 1e7).
double generalFormValue(float value);
// The number generalForm(value, significantDigits) shows (1..15 digits), as parseNumber reads
// that text, worked out without writing the text where the arithmetic allows; NaN and
// infinities as they are.
double generalFormValue(double value, int significantDigits);

// A number with a leading sign position: a blank before a non-negative number (" 3", "-3").
std::string withSignPosition(const std::string& generalText);
std::string signPositionForm(int64_t value);
std::string signPositionForm(float value);

}  // namespace orv::core
