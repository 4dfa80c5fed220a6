#include "formats/stretch.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
#include <span>
#include <utility>
#include <variant>
#include <vector>

#include "core/text.h"

// Finding the points:
//   1. one scan for the number of present values, their minimum and maximum;
//   2. for percentiles, the values of the four ranks around them: from the histogram of 16-bit
//      samples (which also gave step 1), else by radix selection: keys that sort like the
//      values are narrowed 16 bits at a time, one scan and one histogram per distinct prefix
//      in each round (two rounds for float, four for double), so no copy of the samples is
//      ever made;
//   3. the percentiles interpolated between their two ranks.
// Applying them: a table of all 65536 levels for 16-bit samples, the rule itself for others.

namespace orv::formats {

namespace {

constexpr size_t kSamplesPerPump = size_t{1} << 20;

bool parseDouble(std::string_view text, double& value) {
    text = core::trimSpaces(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return !text.empty() && ec == std::errc() && ptr == end && std::isfinite(value);
}

// Keys that sort like the values, for the radix selection. Present values only.
inline uint32_t keyOf(float v) {
    uint32_t b;
    std::memcpy(&b, &v, sizeof b);
    return (b >> 31) != 0 ? ~b : b | 0x80000000u;
}
inline uint64_t keyOf(double v) {
    uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return (b >> 63) != 0 ? ~b : b | (uint64_t{1} << 63);
}
inline float valueOfKey(uint32_t k, float) {
    const uint32_t b = (k >> 31) != 0 ? k & 0x7fffffffu : ~k;
    float v;
    std::memcpy(&v, &b, sizeof v);
    return v;
}
inline double valueOfKey(uint64_t k, double) {
    const uint64_t b = (k >> 63) != 0 ? k & ~(uint64_t{1} << 63) : ~k;
    double v;
    std::memcpy(&v, &b, sizeof v);
    return v;
}

inline bool present(float v) {
    return std::isfinite(v);
}
inline bool present(double v) {
    return std::isfinite(v);
}

// Calls f(sample) for every sample, pumping between chunks.
template <typename T, typename F>
void forEachSample(std::span<const T> v, const Pump& pump, F&& f) {
    for (size_t at = 0; at < v.size(); at += kSamplesPerPump) {
        const size_t end = std::min(v.size(), at + kSamplesPerPump);
        for (size_t i = at; i < end; ++i) f(v[i]);
        if (pump) pump();
    }
}

template <typename T>
struct Summary {
    uint64_t count = 0;
    T min{}, max{};
};

template <typename T>
Summary<T> summarise(std::span<const T> v, const Pump& pump) {
    Summary<T> s;
    bool first = true;
    forEachSample(v, pump, [&](T x) {
        if (!present(x)) return;
        ++s.count;
        if (first) {
            s.min = s.max = x;
            first = false;
        }
        s.min = std::min(s.min, x);
        s.max = std::max(s.max, x);
    });
    return s;
}

// The histogram of 16-bit samples, counted in two halves so that runs of equal samples do not
// wait on one counter.
std::vector<uint64_t> histogram16(std::span<const uint16_t> v, const Pump& pump) {
    std::vector<uint64_t> even(65536, 0), odd(65536, 0);
    for (size_t at = 0; at < v.size(); at += kSamplesPerPump) {
        const size_t end = std::min(v.size(), at + kSamplesPerPump);
        size_t i = at;
        for (; i + 1 < end; i += 2) {
            ++even[v[i]];
            ++odd[v[i + 1]];
        }
        if (i < end) ++even[v[i]];
        if (pump) pump();
    }
    for (size_t k = 0; k < even.size(); ++k) even[k] += odd[k];
    return even;
}

Summary<uint16_t> summarise(const std::vector<uint64_t>& histogram) {
    Summary<uint16_t> s;
    for (size_t k = 0; k < histogram.size(); ++k) {
        if (histogram[k] == 0) continue;
        if (s.count == 0) s.min = static_cast<uint16_t>(k);
        s.max = static_cast<uint16_t>(k);
        s.count += histogram[k];
    }
    return s;
}

std::vector<uint16_t> valuesOfRanks(const std::vector<uint64_t>& histogram,
                                    const std::vector<uint64_t>& ranks) {
    std::vector<uint16_t> values;
    for (uint64_t r : ranks) {
        size_t k = 0;
        while (k < 65535 && histogram[k] <= r) r -= histogram[k++];
        values.push_back(static_cast<uint16_t>(k));
    }
    return values;
}

// The values of the given ranks (0-based, ascending) among the present samples.
template <typename T>
std::vector<T> valuesOfRanks(std::span<const T> v, const std::vector<uint64_t>& ranks,
                             const Pump& pump) {
    using Key = decltype(keyOf(T{}));
    constexpr int kKeyBits = static_cast<int>(sizeof(Key)) * 8;
    std::vector<Key> prefix(ranks.size(), 0);
    std::vector<uint64_t> rest(ranks);
    Key decided = 0;  // the key bits already chosen
    for (int shift = kKeyBits - 16; shift >= 0; shift -= 16) {
        std::vector<Key> groups;  // distinct prefixes
        std::vector<size_t> groupOf(ranks.size());
        for (size_t i = 0; i < ranks.size(); ++i) {
            auto at = std::find(groups.begin(), groups.end(), prefix[i]);
            groupOf[i] = static_cast<size_t>(at - groups.begin());
            if (at == groups.end()) groups.push_back(prefix[i]);
        }
        std::vector<std::vector<uint64_t>> histogram(groups.size(),
                                                     std::vector<uint64_t>(65536, 0));
        forEachSample(v, pump, [&](T x) {
            if (!present(x)) return;
            const Key k = keyOf(x);
            for (size_t g = 0; g < groups.size(); ++g) {
                if (static_cast<Key>(k & decided) != groups[g]) continue;
                ++histogram[g][(k >> shift) & 0xFFFF];
                break;
            }
        });
        for (size_t i = 0; i < ranks.size(); ++i) {
            const auto& h = histogram[groupOf[i]];
            size_t digit = 0;
            while (digit < 65535 && h[digit] <= rest[i]) rest[i] -= h[digit++];
            prefix[i] = static_cast<Key>(prefix[i] | (static_cast<Key>(digit) << shift));
        }
        decided = static_cast<Key>(decided | (static_cast<Key>(0xFFFF) << shift));
    }
    std::vector<T> values;
    for (Key k : prefix) values.push_back(valueOfKey(k, T{}));
    return values;
}

template <typename T>
core::Result<StretchPoints> pointsOf(const form::DeepSamples& d, std::span<const T> v,
                                     const Stretch& stretch, const Pump& pump) {
    // 16-bit samples: one histogram holds every statistic.
    std::vector<uint64_t> histogram;
    Summary<T> s;
    if constexpr (std::is_same_v<T, uint16_t>) {
        histogram = histogram16(v, pump);
        s = summarise(histogram);
    } else {
        s = summarise(v, pump);
    }
    if (s.count == 0) return core::Error{"値のある画素がありません。"};
    auto value = [&](T x) { return d.offset + d.scale * static_cast<double>(x); };
    const double lo = std::min(value(s.min), value(s.max));
    const double hi = std::max(value(s.min), value(s.max));
    if (!(lo < hi))
        return core::Error{"すべての画素が同じ値 (" + exactText(lo) +
                           ") で、ストレッチできません。"};
    switch (stretch.mode) {
        case Stretch::Mode::Range:
            return StretchPoints{stretch.low, stretch.high};
        case Stretch::Mode::MinMax:
            return StretchPoints{lo, hi};
        case Stretch::Mode::Percentile:
            break;
    }
    // Ranks in ascending order of the values; a negative scale reverses the samples' order.
    const uint64_t n = s.count;
    auto sampleRank = [&](uint64_t r) { return d.scale < 0 ? n - 1 - r : r; };
    std::vector<uint64_t> ranks;
    std::vector<double> fractions;
    for (double p : {stretch.low, stretch.high}) {
        const double q = p / 100.0 * static_cast<double>(n - 1);
        const uint64_t i = std::min(static_cast<uint64_t>(std::floor(q)), n - 1);
        ranks.push_back(sampleRank(i));
        ranks.push_back(sampleRank(std::min(i + 1, n - 1)));
        fractions.push_back(q - static_cast<double>(i));
    }
    std::vector<T> at;
    if constexpr (std::is_same_v<T, uint16_t>)
        at = valuesOfRanks(histogram, ranks);
    else
        at = valuesOfRanks(v, ranks, pump);
    auto interpolated = [&](int k) {
        const double a = value(at[2 * k]), b = value(at[2 * k + 1]);
        return a + fractions[k] * (b - a);
    };
    const StretchPoints points{interpolated(0), interpolated(1)};
    if (!(points.black < points.white)) return StretchPoints{lo, hi};
    return points;
}

template <typename T>
void mapSamples(const form::DeepSamples& d, std::span<const T> v, StretchPoints points,
                uint8_t* out, const Pump& pump) {
    const size_t w = static_cast<size_t>(d.width), h = static_cast<size_t>(d.height);
    const size_t channels = d.channels == 3 ? 3 : 1;
    std::vector<uint8_t> table;
    if constexpr (std::is_same_v<T, uint16_t>) {
        table.resize(65536);
        for (size_t s = 0; s < table.size(); ++s)
            table[s] = stretchLevel(d.offset + d.scale * static_cast<double>(s), points);
    }
    for (size_t y = 0; y < h; ++y) {
        for (size_t c = 0; c < channels; ++c) {
            const T* in = v.data() + (c * h + y) * w;
            uint8_t* o = out + y * w * channels + c;
            if constexpr (std::is_same_v<T, uint16_t>) {
                for (size_t x = 0; x < w; ++x) o[x * channels] = table[in[x]];
            } else {
                for (size_t x = 0; x < w; ++x)
                    o[x * channels] =
                        stretchLevel(d.offset + d.scale * static_cast<double>(in[x]), points);
            }
        }
        if (pump) pump();
    }
}

}  // namespace

core::Result<Stretch> parseStretch(std::string_view text) {
    text = core::trimSpaces(text);
    if (text.empty()) return parseStretch(kDefaultStretch);
    const auto bad = [&](const std::string& why) {
        return core::Error{"ストレッチの指定が正しくありません: " + std::string(text) + " (" + why +
                           ")"};
    };
    const std::string_view usage = "minmax, percentile:下限,上限, range:黒,白 のどれか";
    if (text == "minmax") return Stretch{Stretch::Mode::MinMax, 0.0, 100.0};
    const size_t colon = text.find(':');
    if (colon == std::string_view::npos) return bad(std::string(usage));
    const std::string_view name = core::trimSpaces(text.substr(0, colon));
    const std::string_view values = text.substr(colon + 1);
    const size_t comma = values.find(',');
    Stretch s;
    if (name == "percentile")
        s.mode = Stretch::Mode::Percentile;
    else if (name == "range")
        s.mode = Stretch::Mode::Range;
    else
        return bad(std::string(usage));
    if (comma == std::string_view::npos || !parseDouble(values.substr(0, comma), s.low) ||
        !parseDouble(values.substr(comma + 1), s.high))
        return bad("数値が 2 つ必要です");
    if (!(s.low < s.high)) return bad("下限は上限より小さくしてください");
    if (s.mode == Stretch::Mode::Percentile && (s.low < 0 || s.high > 100))
        return bad("百分位は 0 から 100 の間です");
    return s;
}

std::string exactText(double value) {
    char buf[64];
    auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, value);
    return ec == std::errc() ? std::string(buf, ptr) : "nan";
}

std::string stretchText(const Stretch& stretch) {
    switch (stretch.mode) {
        case Stretch::Mode::MinMax:
            return "minmax";
        case Stretch::Mode::Range:
            return "range:" + exactText(stretch.low) + "," + exactText(stretch.high);
        case Stretch::Mode::Percentile:
            break;
    }
    return "percentile:" + exactText(stretch.low) + "," + exactText(stretch.high);
}

uint8_t stretchLevel(double value, StretchPoints points) {
    if (!std::isfinite(value)) return 0;
    const double t = (value - points.black) * (255.0 / (points.white - points.black));
    if (!(t > 0.0)) return 0;
    if (t >= 255.0) return 255;
    // Adding and taking away 1.5 * 2^52 rounds to a whole number, ties to even.
    return static_cast<uint8_t>((t + 0x1.8p52) - 0x1.8p52);
}

core::Result<StretchPoints> findStretchPoints(const form::DeepSamples& samples,
                                              const Stretch& stretch, const Pump& pump) {
    return std::visit(
        [&](const auto& v) {
            return pointsOf(samples, std::span(std::as_const(v)), stretch, pump);
        },
        samples.samples);
}

form::Picture applyStretch(const form::DeepSamples& samples, StretchPoints points,
                           const Pump& pump) {
    const int channels = samples.channels == 3 ? 3 : 1;
    auto out = std::make_shared<std::vector<uint8_t>>(static_cast<size_t>(samples.width) *
                                                      samples.height * channels);
    std::visit(
        [&](const auto& v) {
            mapSamples(samples, std::span(std::as_const(v)), points, out->data(), pump);
        },
        samples.samples);
    form::Picture p;
    p.width = samples.width;
    p.height = samples.height;
    p.bits = out->data();
    p.stride = static_cast<size_t>(samples.width) * channels;
    p.layout = channels == 3 ? form::PixelLayout::Rgb888 : form::PixelLayout::Grey8;
    p.owner = std::move(out);
    return p;
}

}  // namespace orv::formats
