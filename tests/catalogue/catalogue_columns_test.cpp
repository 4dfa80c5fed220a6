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
    c.meta.measures.unit = sky ? "electron" : "";
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
        // Measurements of every magnitude (doubles, not Singles), some missing.
        core::MeasureRec& m = record.measure;
        for (double* d : {&m.flux, &m.fluxErr, &m.fluxRadius, &m.fluxIso, &m.background, &m.peak,
                          &m.snr, &m.fwhm, &m.a, &m.b, &m.theta, &m.ellipticity})
            *d = i % 5 == 4 ? core::kNotMeasured
                            : v.next() * (1.0 + v.next() / 7e6) * (i % 2 ? 1 : -1);
        m.flags = i % 5 == 4 ? -1 : i % 64;
        c.records.push_back(record);
    }
    return c;
}

TEST(CatalogueColumns, HoldTheColumnsNumbersAndTextsOfTheTable) {
    for (auto [fits, sky] : {std::pair{false, false}, {true, false}, {true, true}}) {
        SCOPED_TRACE(std::to_string(fits) + std::to_string(sky));
        const Catalogue c = sampleCatalogue(fits, sky);
        const Table table = catalogueTable(c);
        const std::vector<CatalogueColumn> columns = catalogueColumns(c);
        ASSERT_EQ(columns.size(), table.columns.size());
        for (size_t k = 0; k < columns.size(); ++k) {
            const TableColumn& t = table.columns[k];
            const CatalogueColumn& column = columns[k];
            EXPECT_EQ(column.name, t.name);
            EXPECT_EQ(column.type, t.type) << t.name;
            EXPECT_EQ(column.unit, t.unit) << t.name;
            EXPECT_EQ(column.description, t.description) << t.name;
            for (size_t row = 0; row < c.records.size(); ++row) {
                const std::string& cell = table.rows[row][k];
                SCOPED_TRACE(t.name + " row " + std::to_string(row) + ": " + cell);
                const bool missing = !column.missing.empty() && column.missing[row] != 0;
                if (t.type == ColumnType::Text) {
                    EXPECT_FALSE(missing);
                    EXPECT_EQ(std::get<std::vector<std::string>>(column.values)[row], cell);
                    continue;
                }
                ASSERT_EQ(missing, cell.empty());
                if (const auto* w = std::get_if<std::vector<int64_t>>(&column.values)) {
                    if (!missing) {
                        EXPECT_EQ(std::to_string((*w)[row]), cell);
                    }
                } else {
                    const double value = std::get<std::vector<double>>(column.values)[row];
                    if (missing) {
                        EXPECT_TRUE(std::isnan(value));
                        continue;
                    }
                    const double shown = core::parseNumber(cell).value();
                    EXPECT_EQ(std::memcmp(&shown, &value, sizeof value), 0) << value;
                }
            }
        }
    }
}

TEST(CatalogueColumns, GiveFluxesInTheSamplesUnit) {
    for (auto [sky, unit] : {std::pair{false, "adu"}, {true, "electron"}}) {
        for (const auto& column : catalogueColumns(sampleCatalogue(true, sky)))
            if (column.name == "flux" || column.name == "peak") {
                EXPECT_EQ(column.unit, unit);
            }
    }
}

}  // namespace
}  // namespace orv::catalogue
