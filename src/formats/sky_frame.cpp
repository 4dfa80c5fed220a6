#include "formats/sky_frame.h"

#include <wcslib/wcs.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace orv::formats {

namespace {

constexpr double kDeg = M_PI / 180.0;
constexpr double kMas = kDeg / 3600000.0;

using Matrix = std::array<std::array<double, 3>, 3>;

Matrix product(const Matrix& a, const Matrix& b) {
    Matrix m{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k) m[i][j] += a[i][k] * b[k][j];
    return m;
}

// The rotation of the coordinate axes by `angle` (radians) about axis 0, 1 or 2.
Matrix axisRotation(double angle, int axis) {
    const double c = std::cos(angle), s = std::sin(angle);
    const int i = (axis + 1) % 3, j = (axis + 2) % 3;
    Matrix m{};
    m[axis][axis] = 1;
    m[i][i] = m[j][j] = c;
    m[i][j] = s;
    m[j][i] = -s;
    return m;
}

// ICRS -> FK5 J2000: the frame bias (USNO circular 179: eta0 -19.9 mas, xi0 9.1 mas,
// da0 -22.9 mas), as the astrometric libraries use it.
const Matrix& icrsToFk5() {
    static const Matrix m =
        product(product(axisRotation(19.9 * kMas, 0), axisRotation(9.1 * kMas, 1)),
                axisRotation(-22.9 * kMas, 2));
    return m;
}

constexpr double kGalacticPoleRa = 192.8594812065348, kGalacticPoleDec = 27.12825118085622;
constexpr double kCelestialPoleGlon = 122.9319185680026;
constexpr double kObliquityJ2000 = 84381.406 / 3600.0;  // degrees

bool startsWith(const char* text, const char* head) {
    return std::strncmp(text, head, std::strlen(head)) == 0;
}

}  // namespace

void fk5ToIcrs(double& ra, double& dec) {
    const double v[3] = {std::cos(dec * kDeg) * std::cos(ra * kDeg),
                         std::cos(dec * kDeg) * std::sin(ra * kDeg), std::sin(dec * kDeg)};
    // ICRS = transpose(icrsToFk5) x FK5.
    const Matrix& m = icrsToFk5();
    double w[3];
    for (int i = 0; i < 3; ++i) w[i] = m[0][i] * v[0] + m[1][i] * v[1] + m[2][i] * v[2];
    ra = std::atan2(w[1], w[0]) / kDeg;
    if (ra < 0) ra += 360.0;
    dec = std::atan2(w[2], std::hypot(w[0], w[1])) / kDeg;
}

SkyFrame prepareIcrs(wcsprm& wcs) {
    SkyFrame f;
    const std::string radesys(wcs.radesys);
    auto toFk5 = [&](double poleRa, double poleDec, double lng1p2) {
        if (wcsccs(&wcs, poleRa, poleDec, lng1p2, "RA", "DEC", "FK5", 2000.0, nullptr) != 0 ||
            wcsset(&wcs) != 0) {
            f.problem = "the " + f.name + " WCS cannot be turned to RA and Dec";
            return;
        }
        f.toIcrs = f.frameBias = true;
    };
    if (startsWith(wcs.lngtyp, "GLON")) {
        f.name = "galactic";
        toFk5(kGalacticPoleRa, kGalacticPoleDec, kCelestialPoleGlon);
    } else if (startsWith(wcs.lngtyp, "ELON")) {
        f.name = "ecliptic J2000";
        toFk5(270.0, 90.0 - kObliquityJ2000, 90.0);
    } else if (startsWith(wcs.lngtyp, "RA")) {
        if (radesys.empty() || radesys == "ICRS") {
            f.name = "ICRS";
            f.toIcrs = true;
        } else if (radesys == "FK5" && (std::isnan(wcs.equinox) || wcs.equinox == 2000.0)) {
            f.name = "FK5 J2000";
            f.toIcrs = f.frameBias = true;
        } else {
            char equinox[32] = "";
            if (!std::isnan(wcs.equinox) && wcs.equinox != 0.0)
                std::snprintf(equinox, sizeof equinox, " equinox %g", wcs.equinox);
            f.name = radesys + equinox;
            f.problem = "RA and Dec in " + f.name + " are not converted to ICRS";
        }
    } else {
        f.name = wcs.lngtyp;
        f.problem = "the sky frame " + f.name + " is not converted to ICRS";
    }
    return f;
}

}  // namespace orv::formats
