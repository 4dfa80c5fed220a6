#pragma once
// The working state the program keeps for the whole run: the picture arrays, the cluster and
// star tables, the stage code, the settings and the small globals of every subsystem. One
// instance, passed by reference.
//
// Index conventions (first index = column x, second = row y, y downwards):
// - PixelLevel(x, y), x = 1..ImageWidthP, y = 1..ImageHeightP, is picture pixel (x-1, y-1);
//   column 0, row 0, column W+1 and row H+1 are a border of zeros.
// - BackLevel(x-1, y-1) is the background of PixelLevel(x, y) (0-based).
// - ClusterMap is indexed like PixelLevel, with the same zero border; 0 = no cluster.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/array2d.h"
#include "core/edit_history.h"
#include "core/measure_records.h"
#include "core/paths.h"
#include "core/psf_records.h"
#include "core/star_records.h"

namespace orv::core {

inline constexpr const char* kProgramVersion = "2015/09/27";
// Layout units (twips) per screen pixel on an ordinary screen.
inline constexpr int kTwipsPerPixel = 15;

// Processing stages (ProcStage).
enum Stage : int16_t {
    kStageIdle = 0,
    kStageBatch = 1,  // while it is 1, the steps leave ProcStage alone
    kStageLoading = 2,
    kStageLoaded = 3,
    kStagePipeline = 4,
    kStageBackground = 5,
    kStageBackgroundReady = 6,
    kStageClustering = 7,
    kStageClustersReady = 8,
    kStageAnalysing = 9,
    kStageAnalysed = 10,
    kStageSaving = 11,
    kStageSaved = 12,
    kStageReading = 13,
    kStageRead = 14,
};

// Channels (optChannel index).
enum Channel : int { kChannelR = 0, kChannelG = 1, kChannelB = 2, kChannelY = 3 };

// The picture: R, G, B and Y planes (0..255 each) with the zero border; Level is the plane of
// the channel chosen when the picture was loaded. A picture loaded with `levelOnly` keeps the
// Level plane alone (the others stay empty): a batch that draws nothing and saves no tile's
// checksum reads no other plane.
class PixelPlanes {
public:
    void create(int width, int height, int channel, bool levelOnly = false);
    void release();
    bool empty() const { return planes_[channel_].empty(); }
    // Whether the plane of `channel` is held.
    bool holds(int channel) const { return !planes_[channel].empty(); }

    int R(int x, int y) const { return planes_[kChannelR](x, y); }
    int G(int x, int y) const { return planes_[kChannelG](x, y); }
    int B(int x, int y) const { return planes_[kChannelB](x, y); }
    int Y(int x, int y) const { return planes_[kChannelY](x, y); }
    int Level(int x, int y) const { return planes_[channel_](x, y); }

    Array2D<uint8_t>& plane(int channel) { return planes_[channel]; }
    const Array2D<uint8_t>& plane(int channel) const { return planes_[channel]; }
    const Array2D<uint8_t>& levelPlane() const { return planes_[channel_]; }
    int channel() const { return channel_; }
    size_t bytes() const;

private:
    std::array<Array2D<uint8_t>, 4> planes_;
    int channel_ = kChannelB;
};

// The stretch of pictures deeper than 8 bits when nothing else is set (formats/stretch.h).
inline constexpr const char* kStandardStretch = "percentile:0.1,99.9";

// Detection and PSF settings (the start-up settings file).
struct Settings {
    int32_t HeikinWidth = 0;  // half-width n of the (2n+1)^2 background window
    float Siki = 0;           // threshold above background
    float SikiTop = 0;        // upper threshold: brighter pixels always count
    float NumPixel = 0;       // below: noise
    float NumPixel2 = 0;      // below: area object without outline test
    float Sinendo = 0;        // roundness limit of a star
    float SinendoMax = 0;     // roundness from which a cluster is elongated
    float Margin = 0;         // margin width in pixels
    std::string WorkPath;     // initial folder of the open dialogs
    float PSFFactorRSD = 0, PSFAnnulus = 0, PSFDAnnulus = 0;
    // How pictures deeper than 8 bits are stretched to 8-bit levels ("minmax",
    // "percentile:LO,HI", "range:A,B"; "" is the standard 0.1 to 99.9 percentile).
    std::string Stretch;
    // The detection filter: sigma in pixels of the Gaussian that smooths Level - BackLevel
    // before the bright-pixel test (input/detect_filter.h); 0 = off, else 0.5..5.
    float FilterSigma = 0;
    // Results read back are found by the pointer anywhere inside their stored outline (the
    // outline filled into ClusterMap), not only in the 3 x 3 pixels around their centroid.
    bool ReadOutlineClick = false;
};

// The division window's state, shared with the main window (its tile is a picture source).
struct TileState {
    std::string BigPicName;  // file title of the big picture, "clipboard" for the clipboard
    int32_t BigPicWidthTw = 0, BigPicHeightTw = 0;
    int32_t BigPicWidthP = 0, BigPicHeightP = 0;
    float DivSize = 500;         // tile step S in pixels
    float DivMargin = 50;        // tile margin M in pixels
    int16_t DivX = 0, DivY = 0;  // current tile, from 0
    int16_t DivPicReady = 0;     // -1 once a tile has been cut
    // The tile the division window shows was cut for these indices (they differ from DivX,
    // DivY after all tiles were saved, which leaves DivX, DivY one past the grid).
    int16_t DivPicX = 0, DivPicY = 0;
    std::string DivDir;       // output folder of the tiles, "" before the first save
    std::string DivFileName;  // file name of the last tile saved singly
    // The stretch that brought a deep big picture to the 8-bit levels of every tile ("" for a
    // picture that had 8-bit levels) and its black and white points.
    std::string BigPicStretch;
    double BigPicStretchBlack = 0, BigPicStretchWhite = 0;
};

// What the window would lose without asking: the results and the hand work made since the
// result pair was last saved or read (the unsaved-work guard of control/user_actions.h asks
// before the user's own actions discard them).
struct UnsavedWork {
    bool results = false;   // an analysis made results that are not saved
    bool handWork = false;  // an edit, a note, a point added by hand or a noise release since
    bool any() const { return results || handWork; }
    // Saved or read: nothing to lose.
    void clear() { results = handWork = false; }
};

struct Workspace {
    std::string ProgramVersion = kProgramVersion;
    ProgramFolders folders;
    bool fallbackAnnounced = false;

    Settings settings;

    std::string DoFilePath;  // folder of the current picture, no trailing separator
    std::string DoFileName;  // its file name; both "clipboard" for a clipboard picture
    // Off for a run that leaves no file beside the picture (the Python module): no processing
    // log is written.
    bool logEnabled = true;
    int32_t ImageWidthP = 0, ImageHeightP = 0;
    int32_t ImageWidthTw = 0, ImageHeightTw = 0;
    float MaxLevelY = 0;
    // The stretch that brought the current picture to 8-bit levels ("" for a picture that had
    // 8-bit levels) and the black and white points it used.
    std::string StretchUsed;
    double StretchBlack = 0, StretchWhite = 0;
    // Counts the pictures loaded; a layer marked with it holds that picture's grey image.
    uint64_t PictureGeneration = 0;

    PixelPlanes PixelLevel;
    Array2D<float> BackLevel;
    // Sky noise sigma measured by the last background step of this picture; < 0 before.
    double NoiseSigma = -1.0;
    // The threshold it suggests (input/noise.h); 0 before. A whole number without the
    // detection filter, two decimals with it.
    float SuggestedSiki = 0;
    // > 0: every background step sets Siki to this many sigma (the command line's
    // --threshold-sigma); 0: Siki stays as set.
    double SikiSigmaFactor = 0.0;
    // With the detection filter on: Level - BackLevel smoothed by it, 0-based like BackLevel,
    // and the sigma it was smoothed with (0: none made for the current background).
    Array2D<float> SmoothedResidual;
    float SmoothedSigma = 0;
    // The filter sigma the current clusters were extracted with (0: on the raw Level); the
    // gourd split steps through the smoothed residual when it is not 0, rising FilterSplitStep
    // per step (levels of the smoothed residual; the quality bench varies it).
    float ClusterFilterSigma = 0;
    double FilterSplitStep = 0.2;
    // The bright pixels of the picture, found by a background step where nothing is drawn while
    // its rows were at hand (one bit a pixel, bit x - 1 of row y's words for pixel x), for the
    // cluster scan to take once if the picture, its channel and the thresholds are still those.
    struct BrightPixelBits {
        std::vector<uint64_t> bits;  // empty: none
        int words = 0;               // per row
        float siki = 0, sikiTop = 0;
        int channel = -1;
        uint64_t pictureGeneration = 0;
    } BrightPixels;
    // Cluster numbers are 0..50000, so 16 bits hold them.
    Array2D<uint16_t> ClusterMap;

    std::vector<ClusterRec> Clusters;
    std::vector<StarRec> Stars;
    int32_t MaxStarNo = 0;
    // Every number below this one is in use (see the extraction's OV_GetNewStarNo).
    int32_t FreeStarNoHint = 1;
    StarAtrTable StarAtrNo{};
    // What the last extraction and analysis could not do for a full table.
    TableFull tableFull;
    // The result pair the tables were read from or last saved to: the checksum and size of its
    // record file then (results/pair_sum.h); "" for results of no pair.
    std::string ResultsFrom;

    int16_t ProcStage = kStageIdle;
    int16_t CancelRequested = 0;
    int32_t SelStarNo = 0;
    UnsavedWork Unsaved;

    // Star extraction globals.
    float SizeLimit = 0;
    int16_t HyotanDepth = 0;
    int32_t FillDepthMax = 0;
    int32_t FillDepthLimit = 0;

    // Batch run.
    std::string BatchFolder, BatchFileName;

    int16_t ZoomLevel = 0;
    // Below scale 1, reached only by the wheel, the key F and 全体 (the zoom buttons keep
    // ZoomLevel 0..3): while ZoomLevel is 0 the layers are shown at this scale, 1/2, 1/4, 1/8
    // or the scale that fits the whole picture into the viewport (ZoomFit). 1: not zoomed out.
    double ZoomOut = 1.0;
    bool ZoomFit = false;
    // -1 while the hand tool is on: dragging moves the picture layers.
    int16_t HandMode = 0;
    // A hand-tool drag under way: where the pointer was at the press in the viewport and the
    // layers' position then, in layout units.
    bool HandDragging = false;
    float HandStartX = 0, HandStartY = 0, HandStartLeft = 0, HandStartTop = 0;
    // The class the review keys step through: 0 every shown result, 1..5 one Atr.
    int16_t ReviewClass = 0;
    // The hand edits since the tables were made, for undo and redo (edit/undo.h).
    EditHistory edits;
    // ClusterMap holds what reading results back rebuilt (blocks around the centroids, or the
    // filled outlines), not the clusters of a detection.
    bool ClusterMapFromRead = false;
    uint64_t ReadMapGeneration = 0;  // grows each time that map is rebuilt

    TileState tile;
    // The PSF mode: the last profile and the adopted entries.
    PsfState psf;

    // Why the last picture failed to load ("" after a success).
    std::string lastLoadError;

    // Measurements of the results on the picture's own samples (catalogue/measure), and
    // whether a save measures them (the command line's --no-measure turns it off).
    MeasureTable measures;
    bool MeasureOnSave = true;
    // Where the pictures' ".dir" folders go: "" beside each picture, else this folder (the
    // command line's --out-dir).
    std::string ResultRoot;
    // The folder the export dialog last wrote to.
    std::string ExportFolder;

    // Threads one picture's work may use (core/parallel.h): 0 the number of cores. The results
    // are the same for any number.
    int PictureWorkers = 0;

    // Bytes held by the picture arrays and the tables.
    size_t workingBytes() const;
};

}  // namespace orv::core
