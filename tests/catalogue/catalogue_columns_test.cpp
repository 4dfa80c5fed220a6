// The catalogue as columns against the CSV it is written as.

#include "catalogue/catalogue_columns.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "core/numeric.h"
#include "core/text_file.h"

namespace orv::catalogue {
namespace {

// A value of every magnitude the results hold, from a fixed sequence.
class Values {
public:
    float next() {
        state_ ^= state_ << 13, state_ ^= state_ >> 7, state_ ^= state_ << 17;
        const double unit = static_cast<double>(state_ % 1000003) / 1000003.0;
        const int scale = static_cast<int>((state_ >> 20) % 12) - 4;  // 1e-4 .. 1e7
        return static_cast<float>(unit * std::pow(10.0, scale));
    }

private:
    uint64_t state_ = 88172645463325252ull;
};

Catalogue sampleCatalogue(bool fits, bool sky) {
    Values v;
    Catalogue c;
    c.pictureHeight = 4096;
    c.fitsColumns = fits;
    c.skyColumns = sky;
    for (int i = 0; i < 400; ++i) {
        results::ResultRecord r;
        r.number = i + 1;
        r.cluster.Atr = static_cast<int16_t>(i % 6);
        r.cluster.EditAtr = static_cast<int16_t>(i % 4);
        r.cluster.Siki = v.next();
        r.cluster.Note = i % 7 ? "" : "said \"faint\", maybe";
        r.star.CenterX = std::fmod(v.next(), 4096.0f);
        r.star.CenterY = std::fmod(v.next(), 4096.0f);
        r.star.PixelCount = i * 37;
        for (float* f : {&r.star.SumLevel, &r.star.MaxLevel, &r.star.HankeiAve, &r.star.HankeiMin,
                         &r.star.HankeiMax, &r.star.HankeiSD, &r.star.SinendoRatio})
            *f = v.next();
        CatalogueRecord record = fromResult(r, i % 2 ? "m42.bmp" : "m42.bmp.001.002.bmp");
        if (i % 3 == 0) record.x += 1000.0 * (i % 5);  // in a big picture: any double
        if (sky && i % 11 != 0)
            record.sky = formats::SkyPosition{v.next() / 3e4, v.next() / 1e5 - 40};
        c.records.push_back(record);
    }
    return c;
}

TEST(CatalogueColumns, HoldTheNumbersAndTextsTheCsvWrites) {
    for (auto [fits, sky] : {std::pair{false, false}, {true, false}, {true, true}}) {
        SCOPED_TRACE(std::to_string(fits) + std::to_string(sky));
        const Catalogue c = sampleCatalogue(fits, sky);
        const std::vector<std::string> lines = csvLines(c);
        const std::vector<CatalogueColumn> columns = catalogueColumns(c);
        std::string header;
        for (const CatalogueColumn& column : columns)
            header += (header.empty() ? "" : ",") + column.name;
        ASSERT_EQ(header, lines[0]);
        for (size_t row = 0; row < c.records.size(); ++row) {
            const auto cells = core::splitCommaFields(lines[row + 1]);
            ASSERT_EQ(cells.size(), columns.size());
            for (size_t k = 0; k < columns.size(); ++k) {
                SCOPED_TRACE(columns[k].name + " " + lines[row + 1]);
                const std::string& cell = cells[k];
                if (const auto* w = std::get_if<std::vector<int64_t>>(&columns[k].values)) {
                    EXPECT_EQ(std::to_string((*w)[row]), cell);
                } else if (const auto* d = std::get_if<std::vector<double>>(&columns[k].values)) {
                    const double value = (*d)[row];
                    if (cell.empty()) {
                        EXPECT_TRUE(std::isnan(value));
                        continue;
                    }
                    const double shown = core::parseNumber(cell).value();
                    EXPECT_EQ(std::memcmp(&shown, &value, sizeof value), 0) << value;
                } else {
                    EXPECT_EQ(std::get<std::vector<std::string>>(columns[k].values)[row], cell);
                }
            }
        }
    }
}

TEST(CatalogueColumns, CarryTheirUnits) {
    const auto columns = catalogueColumns(sampleCatalogue(true, true));
    auto unitOf = [&](const std::string& name) {
        for (const auto& column : columns)
            if (column.name == name) return column.unit;
        return std::string("missing");
    };
    for (const char* name : {"x", "y", "hankei_ave", "hankei_sd", "x_fits", "y_fits"})
        EXPECT_EQ(unitOf(name), "pix") << name;
    EXPECT_EQ(unitOf("pixels"), "pix2");
    EXPECT_EQ(unitOf("ra"), "deg");
    EXPECT_EQ(unitOf("dec"), "deg");
    for (const char* name : {"star", "atr", "sum_level", "sinendo", "siki", "note", "tile"})
        EXPECT_EQ(unitOf(name), "") << name;
}

}  // namespace
}  // namespace orv::catalogue
