#include "formats/fits_rows.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "core/workspace.h"
#include "formats/fits_hdu.h"

namespace orv::formats {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::string textKey(fitsfile* f, const char* key) {
    int status = 0;
    char value[FLEN_VALUE] = {};
    if (fits_read_key(f, TSTRING, key, value, nullptr, &status) != 0) {
        fits_clear_errmsg();
        return "";
    }
    std::string s(value);
    s.erase(s.find_last_not_of(' ') + 1);
    return s;
}

// The largest physical value samples of this BITPIX can hold; NaN for floating point.
double formatLargest(int bitpix, double bzero, double bscale) {
    double lo = 0, hi = 0;
    switch (bitpix) {
        case BYTE_IMG:
            hi = 255;
            break;
        case SHORT_IMG:
            lo = -32768, hi = 32767;
            break;
        case LONG_IMG:
            lo = -2147483648.0, hi = 2147483647.0;
            break;
        case LONGLONG_IMG:
            lo = -9.223372036854775808e18, hi = 9.223372036854775807e18;
            break;
        default:
            return kNaN;
    }
    return std::max(bzero + bscale * lo, bzero + bscale * hi);
}

}  // namespace

FitsRows::FitsRows() : file_(std::make_unique<detail::FitsHandle>()) {}
FitsRows::FitsRows(FitsRows&&) noexcept = default;
FitsRows& FitsRows::operator=(FitsRows&&) noexcept = default;
FitsRows::~FitsRows() = default;

core::Result<FitsRows> FitsRows::open(const std::string& path, int channel) {
    FitsRows rows;
    auto hdu = detail::openPictureHdu(path, *rows.file_);
    if (!hdu)
        return core::Error{"FITS ファイルを読み込めません: " + path + " (" + hdu.error() + ")"};
    fitsfile* f = rows.file_->get();
    FitsFacts& facts = rows.facts_;
    const auto& naxes = hdu->naxes;
    if (naxes[0] > std::numeric_limits<int>::max() || naxes[1] > std::numeric_limits<int>::max())
        return core::Error{"FITS ファイルが大きすぎます: " + path};
    facts.width = static_cast<int>(naxes[0]);
    facts.height = static_cast<int>(naxes[1]);
    facts.planes = hdu->rgbCube() ? 3 : 1;
    rows.naxis_ = static_cast<int>(naxes.size());
    rows.first_.assign(naxes.size(), 1);
    if (facts.planes == 3 && channel == core::kChannelY) {
        rows.green_.resize(static_cast<size_t>(facts.width));
        rows.blue_.resize(static_cast<size_t>(facts.width));
    }
    rows.channel_ = channel;
    facts.bunit = textKey(f, "BUNIT");
    facts.filter = textKey(f, "FILTER");
    const double gain = detail::numberKey(f, "GAIN", 0);
    facts.gain = gain > 0 && std::isfinite(gain) ? gain : 0;
    double saturation = formatLargest(hdu->bitpix, detail::numberKey(f, "BZERO", 0),
                                      detail::numberKey(f, "BSCALE", 1));
    for (const char* key : {"SATURATE", "DATAMAX"}) {
        const double v = detail::numberKey(f, key, kNaN);
        if (std::isfinite(v) && !(v >= saturation)) saturation = v;
    }
    facts.saturation = saturation;
    return rows;
}

core::Result<void> FitsRows::read(int y, float* out) {
    const int w = facts_.width;
    std::vector<long long>& first = first_;
    first[1] = facts_.height - y;
    float nan = std::numeric_limits<float>::quiet_NaN();
    int status = 0, anyNull = 0;
    auto plane = [&](int p, float* into) {
        if (naxis_ >= 3) first[2] = p + 1;
        fits_read_pixll(file_->get(), TFLOAT, first.data(), w, &nan, into, &anyNull, &status);
    };
    if (facts_.planes == 1 || channel_ != core::kChannelY) {
        plane(facts_.planes == 1 ? 0 : channel_, out);
    } else {
        plane(0, out);
        plane(1, green_.data());
        plane(2, blue_.data());
        for (int x = 0; x < w; ++x)
            out[x] = static_cast<float>(0.30 * out[x] + 0.59 * green_[x] + 0.11 * blue_[x]);
    }
    if (status != 0) return core::Error{detail::fitsProblem(status)};
    return {};
}

}  // namespace orv::formats
