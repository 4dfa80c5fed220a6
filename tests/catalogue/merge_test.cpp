// Joining the results of a tiled picture: every star once, whatever the rounding of its copies.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "bench/starfield.h"
#include "catalogue/merge.h"
#include "catalogue/ownership.h"
#include "catalogue/picture_catalogue.h"
#include "catalogue/saved_results.h"
#include "catalogue/tiled_catalogue.h"
#include "core/paths.h"
#include "core/sum_file.h"
#include "formats/fits_files.h"
#include "formats/fits_sky.h"
#include "support/test_app.h"

namespace orv::catalogue {
namespace {

using tiles::TileGrid;

CatalogueRecord copyOf(int id, double x, double y, int pixels) {
    CatalogueRecord r;
    r.star = id;
    r.x = x;
    r.y = y;
    r.pixels = pixels;
    r.sumLevel = static_cast<float>(100 * pixels + id % 3);
    r.maxLevel = static_cast<float>(60 + id % 5);
    return r;
}

// Random stars, half of them within a hair of a tile boundary (some at a corner). Every tile
// whose outer square holds a star whole gets a copy of it, its centroid off by up to 3e-5 px
// as its own single-precision sums make it; a tile that holds it cut gets a smaller piece.
// Each star must come out exactly once, a whole copy, from the tile that owns it unless the
// star lies within a hair of a boundary.
TEST(MergeTiles, KeepsEveryStarOnceHoweverItsCopiesRound) {
    const TileGrid grid = tiles::tileGrid(100, 10, 430, 330);  // 4 x 3 tiles over 420 x 320
    ASSERT_EQ(grid.columns, 4);
    ASSERT_EQ(grid.rows, 3);
    bench::Rng rng(7);
    struct Star {
        double x, y;
        int pixels;
    };
    std::vector<Star> stars;
    for (int id = 0; id < 600; ++id) {
        Star s{rng.uniform(5, 415), rng.uniform(5, 315), 5 + id % 4};
        auto hair = [&] { return rng.uniform(-2e-5, 2e-5); };
        if (id < 36 && id % 6 == 0) {  // one star at each of the six inner corners
            s.x = 10 + 100 * (1 + id / 6 % 3) + hair();
            s.y = 10 + 100 * (1 + id / 18) + hair();
        } else if (id % 2 == 0) {
            s.x = 10 + 100 * (1 + id % 3) + hair();  // on a column boundary
        } else if (id % 3 == 0) {
            s.y = 10 + 100 * (1 + id % 2) + hair();  // on a row boundary
        }
        stars.push_back(s);
    }
    std::vector<TileResults> tileResults;
    for (int j = 0; j < grid.rows; ++j) {
        for (int i = 0; i < grid.columns; ++i) {
            TileResults t{i, j, {}};
            const tiles::PixelSquare cut = tiles::cutSquare(grid.size, grid.margin, i, j);
            for (int id = 0; id < static_cast<int>(stars.size()); ++id) {
                const double x = stars[id].x - cut.x, y = stars[id].y - cut.y;
                auto inside = [&](double edge) {
                    return x >= edge && x < cut.side - edge && y >= edge && y < cut.side - edge;
                };
                if (inside(3))
                    t.records.push_back(copyOf(id, x + rng.uniform(-3e-5, 3e-5),
                                               y + rng.uniform(-3e-5, 3e-5), stars[id].pixels));
                else if (inside(-3))  // cut by the tile's edge: a piece, moved inwards
                    t.records.push_back(copyOf(id, std::clamp(x, 1.0, cut.side - 1.0),
                                               std::clamp(y, 1.0, cut.side - 1.0), 2));
            }
            tileResults.push_back(std::move(t));
        }
    }

    MergeCounts counts;
    const auto kept = mergeTiles(grid, tileResults, &counts);
    std::map<int, int> times;
    for (const CatalogueRecord& r : kept) {
        ++times[r.star];
        const Star& s = stars[r.star];
        EXPECT_EQ(r.pixels, s.pixels) << "star " << r.star << " kept as a piece";
        EXPECT_NEAR(r.x, s.x, 1e-4) << r.star;
        EXPECT_NEAR(r.y, s.y, 1e-4) << r.star;
    }
    for (int id = 0; id < static_cast<int>(stars.size()); ++id)
        EXPECT_EQ(times[id], 1) << "star " << id << " at " << stars[id].x << ", " << stars[id].y;
    EXPECT_EQ(counts.kept, stars.size());
    EXPECT_GT(counts.decidedOnce, 20u);  // the rule copy by copy would have failed these
    size_t copies = 0;
    for (const auto& t : tileResults) copies += t.records.size();
    EXPECT_EQ(counts.read, copies);
}

TEST(MergeTiles, MovesResultsByTheirTileAndLeavesOtherStarsAlone) {
    const TileGrid grid = tiles::tileGrid(500, 50, 1200, 1000);  // 2 x 1
    std::vector<TileResults> t = {
        {0,
         0,
         {copyOf(1, 100.5, 200.5, 9),  // owned
          copyOf(2, 560.5, 300.5, 9),  // a copy in the margin
          copyOf(3, 549.99999, 400.5, 9)}},
        {
            1,
            0,
            {copyOf(2, 60.5, 300.5, 9),       // owned: 560.5
             copyOf(4, 50.00001, 400.5, 12)}  // another star beside star 3: both stay
        }};
    const auto kept = mergeTiles(grid, t);
    ASSERT_EQ(kept.size(), 4u);
    EXPECT_EQ(kept[0].star, 1);
    EXPECT_EQ(kept[1].star, 3);
    EXPECT_EQ(kept[2].star, 2);
    EXPECT_EQ(kept[2].x, 560.5);
    EXPECT_EQ(kept[2].y, 300.5);
    EXPECT_EQ(kept[3].star, 4);
    EXPECT_NEAR(kept[3].x, 550.00001, 1e-9);
}

// A record line of the result files with the centroid (x, y).
std::string resultLine(int n, const std::string& x, const std::string& y) {
    return std::to_string(n) + ",1,1,4,3,0,0,0,0,\"\"," + x + "," + y +
           ",9,900,100,\"\",1.5,2,1,0.2,2,0,0,0,0";
}

// m31.fits (1200 x 1000, S 500, M 50): two tiles in dir/m31.fits.dir with the list and layout.
struct TiledField {
    test::TempDir dir;
    std::string tiles = dir.file("m31.fits.dir");
    TiledSource source;

    TiledField() {
        EXPECT_TRUE(core::createFolder(tiles));
        source.listPath = core::joinPath(tiles, "m31.fits.txt");
        source.layout =
            tiles::TileLayout{"m31.fits", 1200, 1000, 500, 50, 2, 1, "m31.fits.txt", 2, {}, {}};
        addTile("m31.fits.000.000.bmp",
                {resultLine(1, "100.5", "200.5"), resultLine(2, "560.5", "300.5")});
        addTile("m31.fits.001.000.bmp", {resultLine(1, "60.5", "300.5")});
    }
    void addTile(const std::string& name, const std::vector<std::string>& lines, int side = 600) {
        test::writeResults(core::joinPath(tiles, name), side, side, lines);
        source.tiles.emplace_back(tiles, name);
    }
};

TEST(TiledCatalogue, AFitsBigPictureAddsItsPixelAndSkyColumns) {
    TiledField f;
    test::FitsSpec spec;
    spec.bitpix = 8;
    spec.naxes = {1200, 1000};
    spec.textKeys = {{"CTYPE1", "RA---TAN"}, {"CTYPE2", "DEC--TAN"}};
    spec.numberKeys = {{"CRPIX1", 600.5}, {"CRPIX2", 500.5},  {"CRVAL1", 10.0},
                       {"CRVAL2", 41.0},  {"CDELT1", -0.001}, {"CDELT2", 0.001}};
    const std::string picture = f.dir.file("m31.fits");
    test::writeFits(picture, spec, std::vector<double>(1200 * 1000, 1.0));

    const TiledCatalogue merged = readTiledCatalogue(f.source);
    EXPECT_TRUE(merged.problems.empty()) << merged.problems[0];
    EXPECT_EQ(merged.tilesRead, 2u);
    EXPECT_EQ(merged.counts.read, 3u);
    const Catalogue& c = merged.catalogue;
    ASSERT_EQ(c.records.size(), 2u);
    using test::cell;
    auto where = [&](size_t id) {
        return cell(c, id, "id") + " " + cell(c, id, "x") + " " + cell(c, id, "y") + " " +
               cell(c, id, "tile") + " " + cell(c, id, "star");
    };
    // Ids number the kept results; the result numbers repeat across tiles.
    EXPECT_EQ(where(1), "1 100.5 200.5 m31.fits.000.000.bmp 1");
    EXPECT_EQ(where(2), "2 560.5 300.5 m31.fits.001.000.bmp 1");
    auto sky = formats::FitsSky::read(picture);
    ASSERT_TRUE(sky);
    const auto radec = sky->toSky({561, 700});  // x + 0.5, 1000 - y + 0.5
    ASSERT_TRUE(radec);
    char expected[128];
    std::snprintf(expected, sizeof expected, "561 700 %.8f %.8f", radec->ra, radec->dec);
    EXPECT_EQ(cell(c, 2, "x_fits") + " " + cell(c, 2, "y_fits") + " " + cell(c, 2, "ra") + " " +
                  cell(c, 2, "dec"),
              expected);
    EXPECT_EQ(c.meta.tiles, 2);
    EXPECT_EQ(c.meta.picture, "m31.fits");

    // Moved elsewhere and named: the same; gone: pixel columns only, and said.
    TiledSource gone = f.source;
    gone.picturePath = f.dir.file("elsewhere/m31.fits");
    const TiledCatalogue partial = readTiledCatalogue(gone);
    EXPECT_TRUE(partial.catalogue.fitsColumns);
    EXPECT_FALSE(partial.catalogue.skyColumns);
    ASSERT_EQ(partial.problems.size(), 1u);
    EXPECT_NE(partial.problems[0].find("elsewhere/m31.fits"), std::string::npos);
}

TEST(TiledCatalogue, WhatCannotBeJoinedIsSaidAndLeftOut) {
    TiledField f;
    f.source.layout->width = 2200;  // a grid of 4 x 1, of which the list names three
    f.source.layout->columns = 4;
    f.source.tiles.emplace_back(f.tiles, "m31.fits.000.000.bmp");  // listed twice
    f.source.tiles.emplace_back(f.tiles, "m31.fits.000.001.bmp");  // below the grid, no results
    f.source.tiles.emplace_back(f.tiles, "notes.bmp");
    f.source.tiles.emplace_back(f.tiles, "m42.bmp.000.000.bmp");
    f.addTile("m31.fits.002.000.bmp", {resultLine(1, "60.5", "300.5")}, 400);
    const TiledCatalogue merged = readTiledCatalogue(f.source);
    EXPECT_EQ(merged.tilesRead, 2u);
    EXPECT_EQ(merged.catalogue.records.size(), 2u);
    // Listed twice; and the tiles' results were saved without measurements.
    ASSERT_EQ(merged.notes.size(), 2u);
    EXPECT_NE(merged.notes[1].find("2 tiles saved without measurements"), std::string::npos)
        << merged.notes[1];
    std::string said;
    for (const auto& p : merged.problems) said += p + "\n";
    ASSERT_EQ(merged.problems.size(), 6u) << said;
    for (const char* part :
         {"notes.bmp: not a tile", "m42.bmp.000.000.bmp: a tile of m42.bmp, not of m31.fits",
          "m31.fits.000.001.bmp: outside the grid of 4 x 1",
          "m31.fits.002.000.bmp: the results are of a picture of 400 x 400",
          "the list leaves out 1 tile of the 4 x 1 grid, the first (3, 0)",
          "no ra and dec: the big picture"})
        EXPECT_NE(said.find(part), std::string::npos) << part << "\n" << said;

    // Without the layout: S and M given, the grid as far as the tiles reach, the height unknown.
    TiledField bare;
    bare.source.layout.reset();
    bare.source.size = 500;
    bare.source.margin = 50;
    bare.source.tiles.emplace_back(bare.tiles, "m31.fits.000.001.bmp");  // no results
    const TiledCatalogue joined = readTiledCatalogue(bare.source);
    EXPECT_EQ(joined.catalogue.records.size(), 2u);
    EXPECT_EQ(joined.catalogue.pictureHeight, 0);
    EXPECT_FALSE(joined.catalogue.fitsColumns);
    said.clear();
    for (const auto& p : joined.problems) said += p + "\n";
    EXPECT_NE(said.find("m31.fits.000.001.bmp: no saved results"), std::string::npos) << said;
}

// Seals the pair of the picture `picture` as a save does, recording the checksum of the picture
// its results were made from.
void sealPair(const std::string& picture, std::optional<uint32_t> checksum) {
    const std::string dat = savedDataFile(picture);
    const std::string bytes = test::readFile(dat);
    ASSERT_TRUE(core::writeSummedFiles({{dat + ".ini", test::readFile(dat + ".ini")}, {dat, bytes}},
                                       dat + ".sum", std::count(bytes.begin(), bytes.end(), '\n'),
                                       checksum));
}

std::string problemsOf(const TiledCatalogue& c) {
    std::string said;
    for (const auto& p : c.problems) said += p + "\n";
    return said;
}

// With the tiles' checksums in the layout, a tile's results are taken only when their sum file
// records the same checksum; an emptied record file is refused, not taken as no results.
TEST(TiledCatalogue, ResultsOfAnotherCutOfATileAreLeftOut) {
    TiledField f;
    f.source.layout->checksums = {{{0, 0}, 0x11111111u}, {{1, 0}, 0x22222222u}};
    const std::string first = core::joinPath(f.tiles, "m31.fits.000.000.bmp");
    const std::string second = core::joinPath(f.tiles, "m31.fits.001.000.bmp");
    sealPair(first, 0x11111111u);
    const struct {
        std::optional<uint32_t> recorded;
        const char* says;  // "" when taken
    } cases[] = {
        {std::nullopt, "m31.fits.001.000.bmp: the results do not record the tile"},
        {0x33333333u,
         "m31.fits.001.000.bmp: the results were made from another cut of this tile "
         "(its checksum 33333333, the layout's 22222222)"},
        {0x22222222u, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says);
        std::filesystem::remove(savedDataFile(second) + ".sum");
        if (c.recorded || *c.says == '\0') sealPair(second, c.recorded);
        const TiledCatalogue merged = readTiledCatalogue(f.source);
        const std::string said = problemsOf(merged);
        EXPECT_EQ(merged.tilesRead, *c.says ? 1u : 2u) << said;
        if (*c.says) {
            EXPECT_NE(said.find(c.says), std::string::npos) << said;
        }
    }
    test::writeFile(savedDataFile(second), "");
    const TiledCatalogue emptied = readTiledCatalogue(f.source);
    EXPECT_EQ(emptied.tilesRead, 1u);
    EXPECT_NE(problemsOf(emptied).find("m31.fits.001.000.bmp: m31.fits.001.000.bmp.dat が"),
              std::string::npos)
        << problemsOf(emptied);
}

// The results of a tile processed alone in the window (m31.fits.001.000.dir beside the tile)
// are taken instead of the batch's when they hold hand work and were saved later; merge says
// how many it took, and when it kept the batch's newer results.
TEST(TiledCatalogue, HandEditedResultsFromTheWindowAreTakenWhenNewer) {
    namespace fs = std::filesystem;
    TiledField f;
    const std::string window = core::joinPath(f.tiles, "m31.fits.001.000");
    const std::string edited =
        "1,1,1,4,3,1,0,0,0,\"checked\",60.5,300.5,9,900,100,\"\",1.5,2,1,0.2,2,0,0,0,0";
    test::writeResults(window, 600, 600, {edited});
    const auto batchTime = fs::last_write_time(savedDataFile(window + ".bmp"));
    const struct {
        int hoursAfterBatch;
        bool handWork, taken;
    } cases[] = {{-1, true, false}, {1, true, true}, {1, false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.hoursAfterBatch) + " " + std::to_string(c.handWork));
        test::writeResults(window, 600, 600,
                           {c.handWork ? edited : resultLine(1, "60.5", "300.5")});
        fs::last_write_time(savedDataFile(window),
                            batchTime + std::chrono::hours(c.hoursAfterBatch));
        const TiledCatalogue merged = readTiledCatalogue(f.source);
        ASSERT_EQ(merged.catalogue.records.size(), 2u) << problemsOf(merged);
        EXPECT_EQ(merged.windowTiles, c.taken ? 1u : 0u);
        EXPECT_EQ(merged.catalogue.records[1].tile, "m31.fits.001.000.bmp");
        EXPECT_EQ(merged.catalogue.records[1].editAtr, c.taken ? 1 : 0);
        std::string notes;
        for (const auto& n : merged.notes) notes += n + "\n";
        EXPECT_EQ(notes.find("1 tile taken as edited in the window") != std::string::npos, c.taken)
            << notes;
        EXPECT_EQ(notes.find("the batch's results are newer") != std::string::npos,
                  c.handWork && !c.taken)
            << notes;
    }
}

}  // namespace
}  // namespace orv::catalogue
