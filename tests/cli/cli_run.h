#pragma once
// Running orvandel-cli from a test as a user runs it, and the pictures and settings the CLI
// tests share. ORV_CLI is the program's path, defined by the test target.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/bmp_writer.h"
#include "bench/starfield.h"
#include "support/test_app.h"

namespace orv::test {

struct CliRun {
    int status = -1;
    std::string out, err;
};

// Runs orvandel-cli with the arguments (already quoted for the shell).
inline CliRun cli(const std::string& args, const TempDir& dir) {
    const std::string errFile = dir.file("stderr.txt");
    const std::string command = std::string(ORV_CLI) + " " + args + " 2>" + errFile;
    CliRun r;
    FILE* p = popen(command.c_str(), "r");
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
    const int status = pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.err = readFile(errFile);
    return r;
}

// A small generated field written as a BMP.
inline void writeField(const std::string& path, uint32_t seed, int side = 160, int stars = 40) {
    auto spec = bench::denseField(side, side, stars, seed);
    spec.noiseSigma = 1.2;
    auto field = bench::generateStarField(spec);
    ASSERT_TRUE(bench::writeBmp(path, field.width, field.height, field.rgb));
}

// The same generated grey field written by the star-field tool in the given file (FITS or
// 16-bit PNG by its name).
inline void writeDeepField(const std::string& path) {
    const std::string command = std::string(ORV_STARFIELD_TOOL) + " --width 200 --height 160 " +
                                "--stars 50 --grey --seed 4 --noise 1.2 --out " + path +
                                " >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

inline std::string standardSettings(const TempDir& dir) {
    std::string path = dir.file("Orvandel.ini");
    writeFile(path,
              "[SYSTEM]\r\nHeikinWidth = 4\r\nSikiTop = 240\r\nSiki = 4\r\nNumPixel = 5\r\n"
              "NumPixel2 = 12\r\nSinendo = 2\r\nSinendoMax = 30\r\nMargin = 0\r\n");
    return path;
}

}  // namespace orv::test
