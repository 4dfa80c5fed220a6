#pragma once
// The PSF mode's working state: the results of the last profile, the table of adopted entries
// (PSFEntries, indices 1..PSFDataNo; index 0 never holds an entry) and their mean and spread.

#include <cstdint>
#include <string>
#include <vector>

namespace orv::core {

// Highest index of the entry table: at most 100 entries.
inline constexpr int kMaxEntries = 100;

struct PSFEntryRec {
    std::string DoFilePath;  // folder of the picture the star belongs to
    std::string DoFileName;  // its file name
    int32_t StarNo = 0;
    float CenterX = 0, CenterY = 0;
    float PSFAnnulus = 0, PSFDAnnulus = 0;  // the settings in force at adoption
    float PSFSpare1 = 0;                    // never set by the program; kept in the file
    float Sigma = 0;                        // fitted sigma in pixels
    float Peak = 0;                         // fitted peak above the sky
    float Mark = 0;                         // 1 for every adopted entry; kept in the file
    int16_t PSFSpare2 = 0;                  // never set by the program; kept in the file
    float PSFSpare3 = 0;                    // never set by the program; kept in the file
};

struct PsfState {
    // The result whose profile was computed last (0: none yet), and its fit. PSFSigma, PSFPeak
    // and PSFSky belong to PSFStarNo only while ProfileOwn is set: a profile that could not be
    // computed or fitted leaves the previous star's values, which must not be adopted for it.
    int32_t PSFStarNo = 0;
    float PSFSigma = 0, PSFPeak = 0, PSFSky = 0;
    bool ProfileOwn = false;
    // Counts the profile computations, so that one that yields to the event queue can tell
    // that a newer one has started meanwhile.
    uint64_t ProfileRuns = 0;

    // PSFEntries(0..100): the table, entries at 1..PSFDataNo. After a read whose count did not
    // match, the table keeps only index 0 until "新規" makes it anew.
    std::vector<PSFEntryRec> PSFEntries = std::vector<PSFEntryRec>(kMaxEntries + 1);
    int16_t PSFDataNo = 0;
    float PSFsd = 0;   // mean of the entries' Sigma
    float PSFsdd = 0;  // population standard deviation of the entries' Sigma
};

// The picture or the tables are about to change: the profile shown is no longer one of their
// stars (it cannot be adopted), and a computation still drawing it stops.
inline void forgetProfile(PsfState& state) {
    state.ProfileOwn = false;
    ++state.ProfileRuns;
}

}  // namespace orv::core
