#include "core/numeric.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace orv::core {
namespace {

TEST(WholeNumbers, RoundHalfToEvenAndReportOverflow) {
    EXPECT_EQ(CLng(2.5), 2);
    EXPECT_EQ(CLng(3.5), 4);
    EXPECT_EQ(CLng(-2.5), -2);
    EXPECT_EQ(CLng(-0.5), 0);
    EXPECT_EQ(CLng(2.500001), 3);
    EXPECT_EQ(CLng(2147483647.4), 2147483647);
    EXPECT_EQ(CLng(-2147483648.5), std::numeric_limits<int32_t>::min());
    EXPECT_THROW(CLng(2147483647.5), ArithmeticFault);
    EXPECT_THROW(CLng(NAN), ArithmeticFault);
    EXPECT_EQ(CInt(32767.4), 32767);
    EXPECT_EQ(CInt(-32768.5), -32768);
    EXPECT_THROW(CInt(32767.5), ArithmeticFault);
    EXPECT_EQ(Int(-0.5), -1);
    EXPECT_EQ(Int(2.9), 2);
    EXPECT_THROW(CSng(1e300), ArithmeticFault);
    EXPECT_THROW(divideSingle(1, 0), ArithmeticFault);
}

TEST(NumericTexts, AcceptSignPointExponentAndBlanks) {
    struct Case {
        const char* text;
        bool numeric;
        double value;
    };
    const Case cases[] = {
        {"12", true, 12},
        {"  -3.25 ", true, -3.25},
        {"+.5", true, 0.5},
        {"1.", true, 1},
        {"1e3", true, 1000},
        {"2.5E-1", true, 0.25},
        {"1D2", true, 100},
        {"- 4", true, -4},
        {"", false, 0},
        {" ", false, 0},
        {".", false, 0},
        {"abc", false, 0},
        {"1e", false, 0},
        {"1,5", false, 0},
        {"12abc", false, 0},
        {"--1", false, 0},
        {"1 2", false, 0},
        {"-.5e+2", true, -50},
        {"inf", false, 0},
        {"nan", false, 0},
        {"0x10", false, 0},
        // Full-width forms, as a Japanese input method types them.
        {"５", true, 5},
        {"１２", true, 12},
        {"－１．５", true, -1.5},
        {"＋３Ｅ２", true, 300},
        {"　７　", true, 7},
        {"２.５", true, 2.5},
        {"５ａ", false, 0},
        {"＃５", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(IsNumeric(c.text), c.numeric);
        if (c.numeric) {
            EXPECT_DOUBLE_EQ(*parseNumber(c.text), c.value);
        }
    }
}

TEST(ValReaders, NeverRaiseAndRoundWholeNumbersToEven) {
    EXPECT_EQ(ValInt("abc"), 0);
    EXPECT_EQ(ValInt("4.5"), 4);
    EXPECT_EQ(ValInt("250.7"), 251);
    EXPECT_EQ(ValInt("40000"), 0);  // overflow
    EXPECT_EQ(ValLng("1e10"), 0);
    EXPECT_EQ(ValLng(" -7 "), -7);
    EXPECT_FLOAT_EQ(ValSng("2.5"), 2.5f);
    EXPECT_EQ(ValSng("1e39"), 0.0f);
    // Beyond a Double too: overflow gives 0, never infinity.
    EXPECT_EQ(ValSng("1e400"), 0.0f);
    EXPECT_EQ(ValSng("-1e400"), 0.0f);
    EXPECT_EQ(ValLng("1e400"), 0);
    EXPECT_THROW(CSng(INFINITY), ArithmeticFault);
    EXPECT_EQ(ValSng(""), 0.0f);
}

TEST(FormatPictures, RoundToTheDigitsShown) {
    struct Case {
        double value;
        const char* picture;
        const char* text;
    };
    const Case cases[] = {
        {0.04, "#####.0", ".0"},     {12.34, "#####.0", "12.3"}, {0, "#####", ""},
        {5, "0000", "0005"},         {12345, "0000", "12345"},   {0.816, "#0.##", "0.82"},
        {1, "0.0#", "1.0"},          {1.25, "0.0#", "1.25"},     {0.3, "0.0#", "0.3"},
        {2, "0.0", "2.0"},           {7, "000", "007"},          {42.5, "###0", "43"},
        {0.5, "###0", "1"},          {3, "#0.##", "3."},         {-1.234, "0.00", "-1.23"},
        {-0.001, "0.00", "0.00"},    {9.996, "0.00", "10.00"},   {0.1235, "0.###", "0.124"},
        {99.95, "#####.0", "100.0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.picture) + " " + std::to_string(c.value));
        EXPECT_EQ(Format(c.value, c.picture), c.text);
    }
    // A Single is taken with its 7 significant digits: 2.675f shows as 2.68.
    EXPECT_EQ(Format(2.675f, "0.00", 7), "2.68");
}

TEST(GeneralForm, ShowsUpToSevenSignificantDigitsOfASingle) {
    struct Case {
        float value;
        const char* text;
    };
    const Case cases[] = {
        {0.2071068f, "0.2071068"},
        {1.4142135f, "1.414214"},
        {4.5f, "4.5"},
        {4.0f, "4"},
        {1.2071068f, "1.207107"},
        {1e7f, "1E+07"},
        {1.5e-5f, "1.5E-05"},
        {0.0001f, "0.0001"},
        {1234567.0f, "1234567"},
        {-2.5f, "-2.5"},
        {-0.0f, "0"},
        {34.5f, "34.5"},
        {900.0f, "900"},
        {12345678.0f, "1.234568E+07"},
    };
    for (const auto& c : cases) EXPECT_EQ(generalForm(c.value), c.text);
    EXPECT_EQ(generalForm(int32_t{-17}), "-17");
    EXPECT_EQ(signPositionForm(int64_t{3}), " 3");
    EXPECT_EQ(signPositionForm(int64_t{-3}), "-3");
    EXPECT_EQ(signPositionForm(int64_t{0}), " 0");
    EXPECT_EQ(signPositionForm(2.5f), " 2.5");
}

TEST(GeneralForm, ReadsBackToTheSameText) {
    // Saving, reading and saving again must give the same text for any Single.
    uint32_t state = 12345;
    for (int i = 0; i < 20000; ++i) {
        state = state * 1664525u + 1013904223u;
        float f = static_cast<float>(state % 10000000) / static_cast<float>(1 + (state >> 24));
        std::string once = generalForm(f);
        EXPECT_EQ(generalForm(ValSng(once)), once) << f;
    }
}

TEST(GeneralForm, MatchesPrintfAndStrtodBitForBit) {
    // The fast conversions against the C library's, on random bit patterns of every magnitude.
    uint64_t state = 88172645463325252ull;
    for (int i = 0; i < 100000; ++i) {
        state ^= state << 13, state ^= state >> 7, state ^= state << 17;
        const auto bits = static_cast<uint32_t>(state);
        float f;
        std::memcpy(&f, &bits, sizeof f);
        if (!std::isfinite(f)) continue;
        char printed[64];
        std::snprintf(printed, sizeof printed, "%.7G", static_cast<double>(f));
        ASSERT_EQ(generalForm(f), f == 0 ? "0" : printed);
        std::snprintf(printed, sizeof printed, "%.12G", static_cast<double>(f) * 1e150);
        const std::string text = i % 2 || f < 0 ? printed : std::string("+") + printed;
        const auto parsed = parseNumber(text);
        ASSERT_TRUE(parsed) << text;
        const double expected = std::strtod(printed, nullptr);
        ASSERT_EQ(std::memcmp(&*parsed, &expected, sizeof expected), 0) << text;
    }
}

// The double that the C library reads from the C library's "%.7G" text of f.
double printedValue(float f) {
    char printed[64];
    std::snprintf(printed, sizeof printed, "%.7G", static_cast<double>(f));
    return std::strtod(printed, nullptr);
}

TEST(GeneralFormValue, IsTheNumberTheTextShowsBitForBit) {
    std::vector<float> values = {1.0f,        -1.0f,      0.5f,          1234567.5f, 1234566.5f,
                                 9999999.5f,  9999999.0f, 999999.94f,    1e-6f,      9.999999e-7f,
                                 1e7f,        0.1f,       3.4028235e38f, 1e-45f,     1.0000005f,
                                 0.00097656f, 8.589973e9f};
    // Exact ties of the seventh digit (n + 1/2 at every scale the arithmetic is exact in).
    for (float scale = 1; scale > 1e-6f; scale /= 2)
        for (float n : {1000000.0f, 1234567.0f, 8388607.0f, 9999998.0f})
            values.push_back((n + 0.5f) * scale);
    // Around every power of ten and every power of two a Single reaches, a few steps each way.
    for (int e = -45; e <= 38; ++e)
        for (float v : {std::pow(10.0f, static_cast<float>(e)), std::ldexp(1.0f, e * 3)}) {
            float up = v, down = v;
            for (int i = 0; i < 8; ++i) {
                values.push_back(up = std::nextafter(up, INFINITY));
                values.push_back(down = std::nextafter(down, 0.0f));
            }
        }
    // Random bit patterns of every magnitude.
    uint64_t state = 2463534242ull;
    for (int i = 0; i < 300000; ++i) {
        state ^= state << 13, state ^= state >> 7, state ^= state << 17;
        const auto bits = static_cast<uint32_t>(state);
        float f;
        std::memcpy(&f, &bits, sizeof f);
        values.push_back(f);
    }
    for (float f : values) {
        if (!std::isfinite(f) || f == 0) continue;
        const double got = generalFormValue(f), want = printedValue(f);
        ASSERT_EQ(std::memcmp(&got, &want, sizeof got), 0)
            << f << ": " << got << " against " << want;
    }
    EXPECT_EQ(std::signbit(generalFormValue(-0.0f)), false);  // "0", as generalForm shows it
}

// The double that the C library reads from the C library's "%.*G" text of v.
double printedValue(double v, int digits) {
    char printed[64];
    std::snprintf(printed, sizeof printed, "%.*G", digits, v);
    return std::strtod(printed, nullptr);
}

TEST(GeneralFormValue, OfADoubleIsTheNumberTheTextShowsBitForBit) {
    std::vector<double> values = {1.0,           -1.0,          0.5,
                                  1234567.5,     1234566.5,     9999999.5,
                                  0.1,           1e-300,        1.7976931348623157e308,
                                  4.9e-324,      12345675000.0, 12345665000.0,
                                  12345665000.5, 9999999500.0,  123456789012.5};
    // Exact ties of the last digit: n + 1/2 at scales of 2, and n x 10^j + 10^j / 2.
    for (double scale = 1; scale > 1e-9; scale /= 2)
        for (double n : {1000000.0, 1234567.0, 8388607.0, 9999998.0, 123456789012.0})
            values.push_back((n + 0.5) * scale);
    for (double ten = 10; ten < 1e12; ten *= 10)
        for (double n : {1000000.0, 1234567.0, 9999998.0}) values.push_back(n * ten + ten / 2);
    // Around every power of ten, a few steps each way.
    for (int e = -30; e <= 30; ++e) {
        double up = std::pow(10.0, e), down = up;
        for (int i = 0; i < 8; ++i) {
            values.push_back(up = std::nextafter(up, INFINITY));
            values.push_back(down = std::nextafter(down, 0.0));
        }
    }
    // Random bit patterns of every magnitude, and random values of the magnitudes measured.
    uint64_t state = 88172645463325252ull;
    for (int i = 0; i < 200000; ++i) {
        state ^= state << 13, state ^= state >> 7, state ^= state << 17;
        double v;
        std::memcpy(&v, &state, sizeof v);
        values.push_back(v);
        values.push_back(static_cast<double>(state % 1000000007) * std::pow(10.0, i % 30 - 15));
    }
    for (int digits : {7, 12, 15, 3}) {
        for (double v : values) {
            if (!std::isfinite(v) || v == 0) continue;
            const double got = generalFormValue(v, digits), want = printedValue(v, digits);
            ASSERT_EQ(std::memcmp(&got, &want, sizeof got), 0)
                << digits << " digits of " << v << ": " << got << " against " << want;
        }
    }
    EXPECT_TRUE(std::isnan(generalFormValue(NAN, 7)));
    EXPECT_EQ(std::signbit(generalFormValue(-0.0, 7)), false);  // "0", as generalForm shows it
}

}  // namespace
}  // namespace orv::core
