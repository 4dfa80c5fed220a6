#pragma once
// Result pairs written by hand for the catalogue tests.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "core/paths.h"
#include "support/test_app.h"

namespace orv::test {

// The result pair of a picture of width x height: the settings file with its size and the
// highest number of the given record lines as MaxStarNo, and the record lines.
inline void writeResults(const std::string& picture, int width, int height,
                         const std::vector<std::string>& dat) {
    const std::string name = core::fileNameOf(picture);
    const std::string folder = picture + ".dir";
    ASSERT_TRUE(core::createFolder(folder));
    std::string lines;
    long maxStarNo = 0;
    for (const auto& line : dat) {
        lines += line + "\r\n";
        maxStarNo = std::max(maxStarNo, std::strtol(line.c_str(), nullptr, 10));
    }
    writeFile(core::joinPath(folder, name + ".dat.ini"),
              "[SYSTEM]\r\nImageWidthP = " + std::to_string(width) + "\r\nImageHeightP = " +
                  std::to_string(height) + "\r\n[FILE]\r\nDoFileName = " + name +
                  "\r\n[RESULT]\r\nMaxStarNo = " + std::to_string(maxStarNo) + "\r\n");
    writeFile(core::joinPath(folder, name + ".dat"), lines);
}

// The text of a catalogue's cell: row 1.. (as its id), by column name; "?" for no such cell.
inline std::string cell(const catalogue::Catalogue& c, size_t id, const std::string& column) {
    const catalogue::Table t = catalogue::catalogueTable(c);
    for (size_t k = 0; k < t.columns.size(); ++k)
        if (t.columns[k].name == column && id >= 1 && id <= t.rows.size()) return t.rows[id - 1][k];
    return "?";
}

}  // namespace orv::test
