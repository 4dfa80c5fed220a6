#pragma once
// Detection quality against known truth: the engine's results on a generated star field
// compared with the catalogue the generator drew.
//
// Matching: every (star, result) pair within the radius (1.5 px) is a candidate; the
// candidates are taken nearest first, and a star or a result that is already matched skips
// the rest of its candidates, so each star matches at most one result and each result at
// most one star. Results classed as noise (Atr 1) take no part: they count as not detected.
//
// Coordinates are picture coordinates as both the generator and the result files use them
// (pixel (0, 0) covers 0..1, y down).

#include <cstdint>
#include <string>
#include <vector>

#include "bench/starfield.h"
#include "core/workspace.h"

namespace orv::bench {

struct Point {
    double x = 0.0;
    double y = 0.0;
};

inline constexpr double kMatchRadius = 1.5;
// A single star is isolated when no other star of the catalogue lies within this distance.
inline constexpr double kIsolationRadius = 10.0;

// For every star, the index of the result it is matched with, or -1 (rule above).
std::vector<int> matchOneToOne(const std::vector<Point>& stars, const std::vector<Point>& results,
                               double radius = kMatchRadius);

// What the bench reports for one run.
struct QualityFigures {
    int stars = 0, isolated = 0, pairMembers = 0, faint = 0;
    int found = 0, foundIsolated = 0, foundPairMembers = 0, foundFaint = 0;
    int results = 0;       // results that are not noise
    int falseResults = 0;  // of those, matched to no star
    // Centroid errors (result - truth, px) of the brightest tenth of the isolated stars, over
    // those of them that were found.
    int brightFound = 0;
    double rms = 0.0, biasX = 0.0, biasY = 0.0;

    double completeness() const { return ratio(found, stars); }
    double completenessIsolated() const { return ratio(foundIsolated, isolated); }
    double completenessPairs() const { return ratio(foundPairMembers, pairMembers); }
    double completenessFaint() const { return ratio(foundFaint, faint); }
    double falseRate() const { return ratio(falseResults, results); }
    static double ratio(int a, int b) { return b > 0 ? static_cast<double>(a) / b : 0.0; }

    // Adds the counts of another run (centroid sums are weighted by the stars found).
    void add(const QualityFigures& o);
};

// Compares the results (positions of the results that are not noise) with the catalogue.
// Close pairs are the members of the generator's pairs; the faintest quartile is the quarter
// of the stars with the lowest flux (rounded down); the brightest tenth of the isolated stars
// is at least one star when any star is isolated.
QualityFigures assess(const std::vector<TrueStar>& truth, const std::vector<Point>& results);

// The positions of the results in the working state that are not noise: clusters in use,
// not being split, with Atr other than 1.
std::vector<Point> resultsOf(const core::Workspace& ws);

}  // namespace orv::bench
