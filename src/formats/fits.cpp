#include "formats/fits.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <new>
#include <optional>
#include <string_view>
#include <vector>

#include "core/block_cache.h"
#include "core/paths.h"
#include "core/text.h"
#include "formats/cfitsio_library.h"
#include "formats/fits_hdu.h"

// Reading a FITS picture:
//   1. open the file and choose the HDU (primary, else the first image extension);
//   2. check the axes, the planes to read and that the data unit is all there;
//   3. choose the sample type: 16 bits with BZERO/BSCALE kept aside where the samples are 8 or
//      16 bits without BLANK, else float or double values with BLANK turned into NaN;
//   4. read one FITS row at a time into the picture row it shows as (FITS row 1 at the bottom).

namespace orv::formats {

namespace detail {

FitsHandle::~FitsHandle() {
    int status = 0;
    if (file_ != nullptr) fits_close_file(file_, &status);
}

double numberKey(fitsfile* f, const char* key, double fallback) {
    int status = 0;
    double v = fallback;
    if (fits_read_key(f, TDOUBLE, key, &v, nullptr, &status) != 0) {
        fits_clear_errmsg();
        return fallback;
    }
    return v;
}

std::string fitsProblem(int status) {
    char text[FLEN_STATUS] = {};
    fits_get_errstatus(status, text);
    fits_clear_errmsg();
    switch (status) {
        case END_OF_FILE:
        case READ_ERROR:
            return "データが途中で切れています";
        case FILE_NOT_OPENED:
            return "ファイルを開けません";
        case NO_SIMPLE:
        case UNKNOWN_REC:
        case NO_END:
            return "FITS の形式ではありません";
        case DATA_DECOMPRESSION_ERR:
            return std::string("圧縮された画像を展開できません; CFITSIO: ") + text;
        case MEMORY_ALLOCATION:
            return "メモリーが足りません";
        case kCfitsioMissing:
            return cfitsioMissingMessage();
        case 1:  // "non-CFITSIO program error": CFITSIO's own code found its input wrong
            return "ファイルの内容が壊れています";
        default:
            return std::string("CFITSIO: ") + text;
    }
}

namespace {

// The value of a header card "KEY     = value / comment" among the file's first cards.
std::string firstCardValue(const std::string& path, const std::string& key) {
    std::ifstream in(path, std::ios::binary);
    char card[80];
    for (int i = 0; i < 36 && in.read(card, sizeof card); ++i) {
        const std::string c(card, sizeof card);
        if (c.compare(0, key.size(), key) != 0 || c.size() < 10 || c[8] != '=') continue;
        std::string value = c.substr(10, c.find('/', 10) - 10);
        value.erase(0, value.find_first_not_of(' '));
        value.erase(value.find_last_not_of(' ') + 1);
        return value;
    }
    return "?";
}

// CFITSIO reads a variable it never set while it parses some damaged table headers, so that one
// file could give different refusals from run to run: the stack its calls are about to use is
// cleared first. (Not sanitized, so that the area lies on the thread's own stack.)
[[gnu::noinline, gnu::no_sanitize_address]] void clearStackBelow() {
    char area[64 * 1024];
    std::memset(area, 0, sizeof area);
    asm volatile("" : : "r"(area) : "memory");
}

}  // namespace

core::Result<PictureHdu> openPictureHdu(const std::string& path, FitsHandle& file) {
    // Only a regular file: a FIFO would wait for a writer, a folder reads as empty.
    if (const std::string why = core::unreadableFileReason(path); !why.empty())
        return core::Error{why};
    {
        std::ifstream in(path, std::ios::binary);
        char head[9] = {};
        if (in && !in.read(head, sizeof head) && in.gcount() == 0)
            return core::Error{"ファイルが空です"};
        if (in && std::string(head, sizeof head) != "SIMPLE  =")
            return core::Error{"FITS の形式ではありません"};
    }
    int status = 0;
    clearStackBelow();
    if (fits_open_diskfile(file.out(), path.c_str(), READONLY, &status) != 0) {
        if (status == BAD_BITPIX) {
            fits_clear_errmsg();
            return core::Error{"BITPIX = " + firstCardValue(path, "BITPIX") +
                               " には対応していません (8, 16, 32, 64, -32, -64 のどれか)"};
        }
        return core::Error{fitsProblem(status)};
    }
    fitsfile* f = file.get();
    int naxis = 0;
    fits_get_img_dim(f, &naxis, &status);
    if (status == 0 && naxis == 0) {
        // The first image extension. A tile-compressed image whose compression CFITSIO does
        // not know shows as a binary table marked ZIMAGE.
        int hdus = 1, type = 0;
        bool found = false;
        std::string unknownCodec;
        while (!found && unknownCodec.empty() &&
               (clearStackBelow(), fits_movrel_hdu(f, 1, &type, &status)) == 0) {
            ++hdus;
            found = type == IMAGE_HDU;
            int zimage = 0, keyStatus = 0;
            char codec[FLEN_VALUE] = {};
            if (type == BINARY_TBL &&
                fits_read_key(f, TLOGICAL, "ZIMAGE", &zimage, nullptr, &keyStatus) == 0 &&
                zimage != 0) {
                fits_read_key(f, TSTRING, "ZCMPTYPE", codec, nullptr, &keyStatus);
                unknownCodec = codec[0] != '\0' ? codec : "?";
            }
        }
        if (status == END_OF_FILE) status = 0;
        fits_clear_errmsg();
        if (!unknownCodec.empty())
            return core::Error{"圧縮された画像を展開できません (ZCMPTYPE = " + unknownCodec + ")"};
        if (status == BAD_BITPIX)
            return core::Error{"BITPIX には 8, 16, 32, 64, -32, -64 だけが使えます"};
        if (status != 0) return core::Error{fitsProblem(status)};
        if (!found)
            return core::Error{hdus <= 1 ? "ヘッダーだけで、画像データがありません"
                                         : "画像データのある HDU がありません"};
    }
    PictureHdu hdu;
    long long naxes[9] = {};
    fits_get_img_paramll(f, 9, &hdu.bitpix, &naxis, naxes, &status);
    hdu.compressed = fits_is_compressed_image(f, &status) != 0;
    long long headStart = 0, dataEnd = 0;
    fits_get_hduaddrll(f, &headStart, &hdu.dataStart, &dataEnd, &status);
    if (status != 0) return core::Error{fitsProblem(status)};
    if (naxis < 2)
        return core::Error{"画像の軸が " + std::to_string(naxis) +
                           " 本しかありません (NAXIS = " + std::to_string(naxis) + ")"};
    hdu.naxes.assign(naxes, naxes + std::min(naxis, 9));
    for (size_t i = 0; i < hdu.naxes.size(); ++i)
        if (hdu.naxes[i] <= 0)
            return core::Error{"NAXIS" + std::to_string(i + 1) + " = " +
                               std::to_string(hdu.naxes[i]) + " で、画像データがありません"};
    std::error_code ec;
    hdu.fileSize = static_cast<long long>(std::filesystem::file_size(path, ec));
    return hdu;
}

}  // namespace detail

namespace {

using detail::FitsHandle;
using detail::fitsProblem;
using detail::numberKey;

std::string lowerName(const std::string& path) {
    return core::lowerCase(path.substr(path.find_last_of('/') + 1));
}

bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// The byte just past the data unit of an uncompressed HDU, or nothing when it does not fit
// 64 bits.
std::optional<uint64_t> dataEnd(const detail::PictureHdu& hdu) {
    using Wide = unsigned __int128;
    constexpr Wide kMax = std::numeric_limits<uint64_t>::max();
    Wide bytes = static_cast<Wide>(std::abs(hdu.bitpix) / 8);
    for (long long n : hdu.naxes) {
        bytes *= static_cast<Wide>(n);  // each axis is at least 1 and below 2^63
        if (bytes > kMax) return std::nullopt;
    }
    bytes += static_cast<Wide>(std::max<long long>(hdu.dataStart, 0));
    if (bytes > kMax) return std::nullopt;
    return static_cast<uint64_t>(bytes);
}

std::string axesText(const std::vector<long long>& naxes) {
    std::string text;
    for (long long n : naxes) text += (text.empty() ? "" : " x ") + std::to_string(n);
    return text;
}

// Why the samples of a tile-compressed image could not be read.
std::string compressedProblem(int status) {
    const std::string why = status == END_OF_FILE || status == READ_ERROR ? fitsProblem(status)
                            : status == MEMORY_ALLOCATION ? "メモリーが足りません"
                                                          : "圧縮されたデータが壊れています";
    fits_clear_errmsg();
    return "圧縮された画像を展開できません (" + why + ")";
}

bool hasKey(fitsfile* f, const char* key) {
    int status = 0;
    char value[FLEN_VALUE];
    const bool found = fits_read_keyword(f, key, value, nullptr, &status) == 0;
    if (!found) fits_clear_errmsg();
    return found;
}

}  // namespace

bool isFitsFile(const std::string& path) {
    const std::string name = lowerName(path);
    if (endsWith(name, ".fits") || endsWith(name, ".fit") || endsWith(name, ".fts")) return true;
    // Only a regular file is looked into: opening a FIFO would wait for a writer.
    if (!core::fileExists(path)) return false;
    std::ifstream in(path, std::ios::binary);
    char head[9] = {};
    return in.read(head, sizeof head) && std::string(head, sizeof head) == "SIMPLE  =";
}

bool fitsPictureInPrimary(const std::string& path) {
    if (!core::unreadableFileReason(path).empty()) return true;
    std::ifstream in(path, std::ios::binary);
    char card[80];
    // A primary header of up to 100 blocks (3600 cards); a longer one goes to the helper.
    for (int i = 0; i < 3600 && in.read(card, sizeof card); ++i) {
        const std::string_view c(card, sizeof card);
        if (i == 0 && c.substr(0, 9) != "SIMPLE  =") return true;
        if (c.substr(0, 8) == "END     ") return false;  // no NAXIS card
        if (c.substr(0, 10) != "NAXIS   = ") continue;
        // A fixed-format integer: blanks, then its digits; 0 (or anything else) is no picture.
        const std::string_view value = c.substr(10, 20);
        const size_t digit = value.find_first_not_of(' ');
        return digit != std::string_view::npos && value[digit] >= '1' && value[digit] <= '9';
    }
    return false;
}

core::Result<form::DeepSamples> readFits(const std::string& path, const Pump& pump) {
    auto refuse = [&](const std::string& why) {
        return core::Error{"FITS ファイルを読み込めません: " + path + " (" + why + ")"};
    };
    FitsHandle file;
    auto hdu = detail::openPictureHdu(path, file);
    if (!hdu) return refuse(hdu.error());
    fitsfile* f = file.get();
    const auto& naxes = hdu->naxes;
    if (naxes[0] > INT_MAX || naxes[1] > INT_MAX)
        return refuse(std::to_string(naxes[0]) + " x " + std::to_string(naxes[1]) +
                      " は大きすぎます");

    form::DeepSamples d;
    d.width = static_cast<int>(naxes[0]);
    d.height = static_cast<int>(naxes[1]);
    const bool rgb = hdu->rgbCube();
    d.channels = rgb ? 3 : 1;

    const int bitpix = hdu->bitpix;
    if (!hdu->compressed) {
        // The end of the data unit, in 128 bits: the header may announce 2^31 x 2^31 doubles.
        const auto needed = dataEnd(hdu.value());
        if (!needed)
            return refuse("画像が大きすぎます (" + axesText(naxes) +
                          ", BITPIX = " + std::to_string(bitpix) + ")");
        if (*needed > static_cast<uint64_t>(std::max<long long>(hdu->fileSize, 0)))
            return refuse("データが途中で切れています (" + std::to_string(hdu->fileSize) +
                          " バイトのファイルに " + std::to_string(*needed) + " バイトが必要です)");
    }

    // 8 and 16-bit samples without BLANK stay 16-bit; BZERO and BSCALE become offset and scale.
    const bool raw16 =
        (bitpix == BYTE_IMG || bitpix == SHORT_IMG) && !hdu->compressed && !hasKey(f, "BLANK");
    const bool wide = bitpix == LONGLONG_IMG || bitpix == DOUBLE_IMG;
    const size_t count = d.count();
    const size_t sampleBytes = raw16 ? 2 : wide ? 8 : 4;
    if (static_cast<double>(count) * sampleBytes >
        static_cast<double>(core::availableMemoryBytes()))
        return refuse("メモリーに入りません (" + std::to_string(d.width) + " x " +
                      std::to_string(d.height) + ")");

    int status = 0;
    std::vector<long long> first(naxes.size(), 1);
    auto readRows = [&](int type, auto* data, void* nulval) {
        const size_t w = static_cast<size_t>(d.width), h = static_cast<size_t>(d.height);
        for (int c = 0; c < d.channels && status == 0; ++c) {
            if (naxes.size() >= 3) first[2] = c + 1;
            for (size_t j = 1; j <= h && status == 0; ++j) {
                first[1] = static_cast<long long>(j);
                int anyNull = 0;
                fits_read_pixll(f, type, first.data(), static_cast<long long>(w), nulval,
                                data + (c * h + (h - j)) * w, &anyNull, &status);
                if (pump) pump();
            }
        }
    };
    try {
        if (raw16) {
            d.offset = numberKey(f, "BZERO", 0.0);
            d.scale = numberKey(f, "BSCALE", 1.0);
            fits_set_bscale(f, 1.0, 0.0, &status);
            std::vector<uint16_t> v(count);
            if (bitpix == BYTE_IMG) {
                readRows(TUSHORT, v.data(), nullptr);
            } else {
                // Signed 16-bit samples s are kept as s + 32768.
                readRows(TSHORT, reinterpret_cast<int16_t*>(v.data()), nullptr);
                for (uint16_t& s : v) s ^= 0x8000;
                d.offset -= 32768.0 * d.scale;
            }
            d.samples = std::move(v);
        } else if (wide) {
            std::vector<double> v(count);
            double nan = std::numeric_limits<double>::quiet_NaN();
            readRows(TDOUBLE, v.data(), &nan);
            d.samples = std::move(v);
        } else {
            std::vector<float> v(count);
            float nan = std::numeric_limits<float>::quiet_NaN();
            readRows(TFLOAT, v.data(), &nan);
            d.samples = std::move(v);
        }
    } catch (const std::bad_alloc&) {
        return refuse("メモリーが足りません");
    }
    if (status != 0) {
        if (hdu->compressed) return refuse(compressedProblem(status));
        return refuse(fitsProblem(status));
    }
    return d;
}

}  // namespace orv::formats
