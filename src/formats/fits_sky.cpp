#include "formats/fits_sky.h"

#include <wcslib/wcs.h>
#include <wcslib/wcsfix.h>
#include <wcslib/wcshdr.h>

#include <vector>

#include "formats/fits.h"
#include "formats/fits_hdu.h"
#include "formats/guarded_decode.h"
#include "formats/sky_frame.h"

// The WCS of the picture's HDU: the header as one string (the expanded header of a compressed
// image), parsed by WCSLIB; of the WCS descriptions found, the primary one (no alternate
// letter), with WCSLIB's fixes of common non-standard forms. Only a WCS with both a longitude
// and a latitude axis in a frame that can be brought to ICRS is kept.

namespace orv::formats {

FitsPixel toFitsPixel(double x, double y, long long naxis2) {
    return {x + 0.5, static_cast<double>(naxis2) - y + 0.5};
}

void FitsSky::WcsDeleter::operator()(wcsprm* wcs) const {
    wcsfree(wcs);
    delete wcs;
}

namespace detail {

core::Result<PictureHeader> readPictureHeader(const std::string& path) {
    FitsHandle file;
    auto hdu = openPictureHdu(path, file);
    if (!hdu)
        return core::Error{"FITS ファイルを読み込めません: " + path + " (" + hdu.error() + ")"};
    PictureHeader h;
    h.naxes = hdu->naxes;
    int status = 0, keys = 0;
    char* header = nullptr;
    if (hdu->compressed)
        fits_convert_hdr2str(file.get(), 1, nullptr, 0, &header, &keys, &status);
    else
        fits_hdr2str(file.get(), 1, nullptr, 0, &header, &keys, &status);
    if (status != 0) {
        h.problem = fitsProblem(status);
        return h;
    }
    h.keys = keys;
    h.cards.assign(header, static_cast<size_t>(keys) * 80);
    fits_free_memory(header, &status);
    return h;
}

}  // namespace detail

core::Result<FitsSky> FitsSky::read(const std::string& path) {
    // A picture in an extension (a compressed image among them) has its header read in the
    // helper program, as its samples are (formats/guarded_decode.h).
    auto header =
        fitsPictureInPrimary(path) ? detail::readPictureHeader(path) : readFitsHeaderInHelper(path);
    if (!header) return core::Error{header.error()};
    FitsSky sky;
    if (header->naxes.size() < 2)
        return core::Error{"FITS ファイルを読み込めません: " + path + " (画像の軸がありません)"};
    sky.naxis1_ = header->naxes[0];
    sky.naxis2_ = header->naxes[1];
    if (!header->problem.empty()) {
        sky.wcsProblem_ = header->problem;
        return sky;
    }
    if (header->keys == 0) return sky;
    int rejected = 0, count = 0;
    wcsprm* all = nullptr;
    const int parsed =
        wcspih(header->cards.data(), header->keys, WCSHDR_all, 0, &rejected, &count, &all);
    if (parsed != 0 || count == 0) {
        if (all != nullptr) wcsvfree(&count, &all);
        return sky;
    }
    int chosen = 0;
    for (int i = 0; i < count; ++i)
        if (all[i].alt[0] == ' ' || all[i].alt[0] == '\0') chosen = i;

    std::unique_ptr<wcsprm, WcsDeleter> wcs(new wcsprm{});
    wcs->flag = -1;
    const int copied = wcssub(1, &all[chosen], nullptr, nullptr, wcs.get());
    wcsvfree(&count, &all);
    if (copied != 0) return sky;
    std::vector<int> naxis(header->naxes.begin(), header->naxes.end());
    naxis.resize(static_cast<size_t>(std::max(wcs->naxis, 2)), 1);
    int fixes[NWCSFIX];
    wcsfix(7, naxis.data(), wcs.get(), fixes);
    if (const int set = wcsset(wcs.get()); set != 0) {
        sky.wcsProblem_ = std::string("WCS: ") + wcs_errmsg[set];
        return sky;
    }
    if (wcs->lng < 0 || wcs->lat < 0) return sky;
    const SkyFrame frame = prepareIcrs(*wcs);
    sky.frame_ = frame.name;
    if (!frame.toIcrs) {
        sky.wcsProblem_ = frame.problem;
        return sky;
    }
    sky.frameBias_ = frame.frameBias;
    sky.wcs_ = std::move(wcs);
    return sky;
}

std::optional<SkyPosition> FitsSky::toSky(FitsPixel pixel) const {
    if (!wcs_) return std::nullopt;
    const size_t n = static_cast<size_t>(wcs_->naxis);
    std::vector<double> pix(n, 1.0), img(n), world(n);
    pix[0] = pixel.x;
    if (n > 1) pix[1] = pixel.y;
    double phi = 0, theta = 0;
    int stat = 0;
    if (wcsp2s(wcs_.get(), 1, static_cast<int>(n), pix.data(), img.data(), &phi, &theta,
               world.data(), &stat) != 0)
        return std::nullopt;
    SkyPosition p{world[static_cast<size_t>(wcs_->lng)], world[static_cast<size_t>(wcs_->lat)]};
    if (frameBias_) fk5ToIcrs(p.ra, p.dec);
    return p;
}

}  // namespace orv::formats
