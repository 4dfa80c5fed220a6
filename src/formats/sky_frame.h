#pragma once
// The celestial frame of a FITS header's WCS and its way to ICRS, so that every catalogue gives
// RA and Dec in ICRS degrees whatever frame the header uses.
//
//   header frame                    to ICRS
//   ICRS (RADESYS ICRS, or none)    as it is
//   FK5, equinox J2000              the fixed frame-bias rotation FK5 J2000 -> ICRS
//   galactic (GLON/GLAT)            WCSLIB's wcsccs to FK5 J2000 (the galactic pole at RA
//                                   192.8594812065348, Dec 27.12825118085622, the celestial
//                                   pole at galactic longitude 122.9319185680026), then the bias
//   ecliptic (ELON/ELAT)            the mean ecliptic and equinox of J2000 (obliquity
//                                   84381.406") by wcsccs to FK5 J2000, then the bias
//   anything else (FK4, B1950, other equinoxes, planetary frames): not converted; the frame
//   is named and RA and Dec stay empty.

#include <string>

struct wcsprm;

namespace orv::formats {

struct SkyFrame {
    std::string name;        // the header's frame: "ICRS", "FK5 J2000", "galactic", ...
    bool toIcrs = false;     // the positions can be brought to ICRS
    bool frameBias = false;  // wcsp2s gives FK5 J2000: the bias rotation brings it to ICRS
    std::string problem;     // why not (when !toIcrs)
};

// Names the frame of a set-up celestial WCS and, for galactic and ecliptic ones, changes `wcs`
// so that wcsp2s gives FK5 J2000 right ascension and declination (set up again).
SkyFrame prepareIcrs(wcsprm& wcs);

// ICRS right ascension and declination (degrees) of a position in FK5 J2000.
void fk5ToIcrs(double& ra, double& dec);

}  // namespace orv::formats
