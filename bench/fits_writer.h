#pragma once
// FITS pictures written through CFITSIO, for the tests and benchmarks.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/result.h"

namespace orv::bench {

// Writes width x height unsigned 16-bit samples, given top row first as a picture holds them,
// as a FITS primary image (BITPIX 16 with BZERO 32768). FITS keeps row 1 at the bottom, so the
// picture's last row is written first. Replaces an existing file.
core::Result<void> writeFits16(const std::string& path, int width, int height,
                               const std::vector<uint16_t>& topDown);

// The same with 32-bit float samples (BITPIX -32), sample(x, y) in picture coordinates (0-based,
// y down), written one row at a time so that huge files need little memory.
core::Result<void> writeFitsFloat(const std::string& path, int width, int height,
                                  const std::function<float(int, int)>& sample);

}  // namespace orv::bench
