#pragma once
// The cluster and star records. Cluster number n indexes both tables (0..kMaxStarNo; slot 0
// never holds a cluster, 0 in ClusterMap means "no cluster").
//
// Flags hold -1 for true and 0 for false. Who writes what:
// - cluster extraction: StartX, StartY, Siki, FillOK, Used (through OV_GetNewStarNo);
// - the analysis: the StarRec sums, centroid, outline values, and Atr;
// - the gourd split: new clusters, Divided while it replaces one, Used = 0 for the replaced;
// - manual edits: EditAtr, Atr (5 and back to 1), Note;
// - the result file: every field it stores.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace orv::core {

inline constexpr int32_t kMaxStarNo = 50000;  // highest table index

// Attribute codes (ClusterRec::Atr).
enum Atr : int16_t {
    kAtrNone = 0,           // made but not analysed
    kAtrNoise = 1,          // fewer pixels than NumPixel
    kAtrArea = 2,           // accepted by area alone
    kAtrCircular = 3,       // round enough: a star
    kAtrElongated = 4,      // too far from a circle
    kAtrNoiseReleased = 5,  // noise the user declared real
};

// Manual edit bits (ClusterRec::EditAtr).
inline constexpr int16_t kEditDeleted = 1;
inline constexpr int16_t kEditAdded = 2;

struct ClusterRec {
    float StartX = 0;  // seed column (1-based ClusterMap index), a whole number
    float StartY = 0;  // seed row
    float Siki = 0;    // threshold above background the cluster was filled with
    int16_t FillOK = 0;
    int16_t Divided = 0;
    int16_t Used = 0;
    int16_t Atr = 0;
    int16_t EditAtr = 0;
    int16_t Reserve1 = 0, Reserve2 = 0, Reserve3 = 0;
    std::string Note;
};

struct StarRec {
    // Pixel count. Kept in 32 bits so that a very large cluster cannot overflow the count.
    int32_t PixelCount = 0;
    float SumX = 0;      // sum of (x - 0.5) * Level
    float SumY = 0;      // sum of (y - 0.5) * Level
    float SumLevel = 0;  // sum of Level
    float MaxLevel = 0;
    float CenterX = 0;  // picture coordinates: pixel column x covers x - 1 .. x
    float CenterY = 0;
    std::string Outline;             // chain code "0".."7" per boundary step from the seed
    std::array<float, 36> Hankei{};  // largest boundary distance per 10-degree sector
    float HankeiAve = 0, HankeiMax = 0, HankeiMin = 0, HankeiSD = 0;
    float SinendoRatio = 0;  // HankeiMax / HankeiMin
    float Spare1 = 0, Spare2 = 0, Spare3 = 0, Spare4 = 0;
};

// What a run left undone because all cluster numbers were in use (see extract/table_full.h).
struct TableFull {
    int32_t stoppedAtRow = 0;    // cluster extraction: the first row (1-based) where a bright
                                 // pixel got no number; 0 when the table never filled
    int32_t splitsCutShort = 0;  // gourd split: clusters whose parts (some or all) got no
                                 // number and left the results
    bool any() const { return stoppedAtRow > 0 || splitsCutShort > 0; }
};

// Counts by class: StarAtrNo(0, a) clusters with Atr a (1..5), StarAtrNo(1, e) clusters with
// EditAtr e (1, 2). Every cell is stored in the result file.
using StarAtrTable = std::array<std::array<int32_t, 11>, 5>;

// The tables stand for records 0..kMaxStarNo. They hold records 0..MaxStarNo (see
// the extraction's noteTableUse); a record above that is empty by definition and is never read or
// written. Room for every record is reserved at once, so records never move in memory, and
// only the records in use cost anything to create or clear.
std::vector<ClusterRec> newClusterTable();
std::vector<StarRec> newStarTable();

}  // namespace orv::core
