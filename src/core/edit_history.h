#pragma once
// The history of the hand edits made on the current results, for undo and redo. Each step keeps
// what the edit touched as it stood before and after: the records of its result, the counts, the
// table's high-water mark, the ClusterMap pixel a point added by hand took, the selection, the
// screen mark and the pixels of the dot on the marked star layer. The procedures that record
// and replay steps are edit/undo.h; the history is emptied whenever the tables are made anew (a
// detection, a new picture, results read).

#include <array>
#include <cstdint>
#include <vector>

#include "core/star_records.h"

namespace orv::core {

// What an edit may change, as it stood at one moment.
struct EditSnapshot {
    ClusterRec cluster;
    StarRec star;
    StarAtrTable counts{};
    int32_t maxStarNo = 0;
    int32_t freeStarNoHint = 1;
    int32_t selStarNo = 0;
    bool panelShown = false;
    // The ClusterMap value at the pixel a point added by hand took (mapX 0: none).
    uint16_t mapValue = 0;
    // The result's screen mark: none, or one with or without the rim of a Shift-click.
    bool marked = false, rim = false;
    // The 3 x 3 pixels of the marked star layer around the result's dot (RGB), row by row,
    // and the layer's whole-drawing count they belong to.
    std::array<uint32_t, 9> dot{};
    bool hasDot = false;
    uint64_t layerGeneration = 0;
};

enum class EditKind : int8_t {
    Delete,        // 削除
    Restore,       // 復活
    NoiseRelease,  // ノイズ解除
    Renoise,       // 再ノイズ
    ShiftToggle,   // Shift-click: deleted or not, without a log line
    Add,           // Ctrl-click: a point added by hand
    Note,          // the note's text (consecutive changes of one note are one step)
};

struct EditStep {
    EditKind kind = EditKind::Delete;
    int32_t n = 0;
    int32_t mapX = 0, mapY = 0;  // the ClusterMap element an added point took (0: none)
    // Workspace::ReadMapGeneration at the edit: a map rebuilt since holds the added point's
    // block, not the one element the edit took.
    uint64_t readMapGeneration = 0;
    EditSnapshot before, after;
};

struct EditHistory {
    std::vector<EditStep> done;    // undo takes the last
    std::vector<EditStep> undone;  // redo takes the last
    void clear() {
        done.clear();
        undone.clear();
    }
};

}  // namespace orv::core
