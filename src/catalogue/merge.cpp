#include "catalogue/merge.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <optional>
#include <tuple>

#include "catalogue/ownership.h"

namespace orv::catalogue {

namespace {

// One result of one tile, in big-picture coordinates.
struct Copy {
    size_t tile = 0, record = 0;
    double x = 0, y = 0;
    bool kept = false;
};

// Whether v lies within kPairTolerance of a boundary between two of `count` tiles along an
// axis.
bool nearBoundary(const tiles::TileGrid& grid, int64_t count, double v, bool columns) {
    const double k = std::round((v - grid.margin) / grid.size);
    for (double c : {k - 1, k, k + 1}) {
        if (!(c >= 1 && c <= static_cast<double>(count - 1))) continue;
        const auto index = static_cast<int64_t>(c);
        const double lo =
            columns ? ownedColumnRange(grid, index).lo : ownedRowRange(grid, index).lo;
        if (std::abs(v - lo) <= kPairTolerance) return true;
    }
    return false;
}

// Whether two results describe the same pixels.
bool sameMeasures(const CatalogueRecord& a, const CatalogueRecord& b) {
    return a.pixels == b.pixels && a.sumLevel == b.sumLevel && a.maxLevel == b.maxLevel;
}

struct DisjointSets {
    explicit DisjointSets(size_t n) : parent(n) { std::iota(parent.begin(), parent.end(), 0); }
    size_t find(size_t a) {
        while (parent[a] != a) a = parent[a] = parent[parent[a]];
        return a;
    }
    void unite(size_t a, size_t b) { parent[find(a)] = find(b); }
    std::vector<size_t> parent;
};

// Pairs the copies near a boundary and decides each paired star's owner once.
void decideNearBoundaries(const tiles::TileGrid& grid, const std::vector<TileResults>& tiles,
                          std::vector<Copy>& copies, MergeCounts& counts) {
    std::vector<size_t> near;
    for (size_t k = 0; k < copies.size(); ++k)
        if (nearBoundary(grid, grid.columns, copies[k].x, true) ||
            nearBoundary(grid, grid.rows, copies[k].y, false))
            near.push_back(k);
    std::sort(near.begin(), near.end(),
              [&](size_t a, size_t b) { return copies[a].x < copies[b].x; });
    auto recordOf = [&](const Copy& c) -> const CatalogueRecord& {
        return tiles[c.tile].records[c.record];
    };
    DisjointSets sets(near.size());
    for (size_t a = 0; a < near.size(); ++a) {
        const Copy& ca = copies[near[a]];
        for (size_t b = a + 1; b < near.size() && copies[near[b]].x - ca.x <= kPairTolerance; ++b) {
            const Copy& cb = copies[near[b]];
            if (cb.tile != ca.tile && std::abs(cb.y - ca.y) <= kPairTolerance &&
                sameMeasures(recordOf(ca), recordOf(cb)))
                sets.unite(a, b);
        }
    }

    std::vector<std::vector<size_t>> groups(near.size());
    for (size_t a = 0; a < near.size(); ++a) groups[sets.find(a)].push_back(near[a]);
    for (const std::vector<size_t>& group : groups) {
        if (group.size() < 2) continue;
        auto order = [&](size_t k) {
            const TileResults& t = tiles[copies[k].tile];
            return std::tuple(t.j, t.i, copies[k].record);
        };
        const size_t first = *std::min_element(
            group.begin(), group.end(), [&](size_t a, size_t b) { return order(a) < order(b); });
        // Pieces of a star cut by the same edge of two tiles pair too, and their owner holds
        // another copy of the star, which it decides on alone: then none of the group is kept.
        const auto owner = owningTile(grid, copies[first].x, copies[first].y);
        bool ownerFound = false;
        size_t keptByCopy = 0;
        for (size_t k : group) {
            const TileResults& t = tiles[copies[k].tile];
            keptByCopy += copies[k].kept;
            copies[k].kept = !ownerFound && owner && owner->i == t.i && owner->j == t.j;
            ownerFound = ownerFound || copies[k].kept;
        }
        if (keptByCopy != (ownerFound ? 1u : 0u)) ++counts.decidedOnce;
    }
}

}  // namespace

std::vector<CatalogueRecord> mergeTiles(const tiles::TileGrid& grid,
                                        const std::vector<TileResults>& tiles,
                                        MergeCounts* counts) {
    MergeCounts local;
    std::vector<Copy> copies;
    size_t total = 0;
    for (const TileResults& tile : tiles) total += tile.records.size();
    copies.reserve(total);
    for (size_t t = 0; t < tiles.size(); ++t) {
        const TileResults& tile = tiles[t];
        for (size_t r = 0; r < tile.records.size(); ++r) {
            const CatalogueRecord& rec = tile.records[r];
            const PicturePoint p = tileToPicture(grid, tile.i, tile.j, rec.x, rec.y);
            copies.push_back({t, r, p.x, p.y, ownsCentroid(grid, tile.i, tile.j, p.x, p.y)});
        }
    }
    local.read = copies.size();
    decideNearBoundaries(grid, tiles, copies, local);

    std::vector<CatalogueRecord> kept;
    kept.reserve(static_cast<size_t>(
        std::count_if(copies.begin(), copies.end(), [](const Copy& c) { return c.kept; })));
    for (const Copy& c : copies) {
        if (!c.kept) continue;
        kept.push_back(tiles[c.tile].records[c.record]);
        kept.back().x = c.x;
        kept.back().y = c.y;
    }
    local.kept = kept.size();
    if (counts) *counts = local;
    return kept;
}

}  // namespace orv::catalogue
