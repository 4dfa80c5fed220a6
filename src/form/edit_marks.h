#pragma once
// Marks the window draws on the screen over the marked star layer picHSC(4), never into its
// drawing: the results deleted or added by hand since the layer was last drawn whole, so that
// an edit shows at once at every scale. The layer itself stays as the redisplay and the edits
// draw it (a deleted result keeps its class-coloured outline there, and a point added by hand
// appears only at the next 再描画).
//
//   deleted      its outline, picture pixel by picture pixel, in the deleted colour; when the
//                deletion was a Shift-click, the light-blue rim of its dot as well, drawn
//                where a picture pixel spans at least 2 screen pixels
//   added        a dot in the added colour at its centroid

#include <cstdint>
#include <map>
#include <vector>

namespace orv::form {

struct EditMark {
    bool deleted = false;
    bool rim = false;  // deleted by a Shift-click
    bool added = false;
    float x = 0, y = 0;  // the centroid, picture coordinates
    // The outline's picture pixels (0-based) as x, y pairs; empty for a result without one.
    std::vector<int32_t> outline;
};

struct EditMarks {
    std::map<int32_t, EditMark> byResult;  // by result number
    // Grows with every change; the window repaints the layer when it changed.
    uint64_t revision = 0;
    // Counts the times the marked layer was drawn whole (every clear()).
    uint64_t generation = 0;

    void set(int32_t n, EditMark mark) {
        byResult[n] = std::move(mark);
        ++revision;
    }
    void erase(int32_t n) {
        if (byResult.erase(n) > 0) ++revision;
    }
    void clear() {
        ++generation;
        if (byResult.empty()) return;
        byResult.clear();
        ++revision;
    }
};

}  // namespace orv::form
