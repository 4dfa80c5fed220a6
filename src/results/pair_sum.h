#pragma once
// What keeps a result pair whole and nothing saved lost: the sum file written last beside the
// pair ("NAME.dat.sum", core/sum_file.h), the folder lock that makes two saves of the same
// picture's results queue, and the kept generation "NAME.dat.ini.bak" / "NAME.dat.bak" of a
// pair holding hand work that the results replacing it do not come from. (The ".old<pid>_<n>"
// copies of a save are transient and removed once the save is done; the ".bak" pair is kept
// until a later save replaces it with another pair holding hand work.)

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/result.h"
#include "core/sum_file.h"
#include "core/text_file.h"
#include "core/workspace.h"
#include "results/data_files.h"

namespace orv::results {

// The sum file of the record file `dataFile`: "<dataFile>.sum".
std::string sumFileOf(const std::string& dataFile);
// The checksum of the loaded picture's pixels (R, G, B of PixelLevel, core/checksum.h); nothing
// when no picture is loaded or its R, G, B planes are not held.
std::optional<uint32_t> pictureChecksum(const core::Workspace& ws);

// The origin mark of results read from or saved to a record file holding `bytes`
// (Workspace::ResultsFrom): its checksum and size, so that the same pair reached by another
// path is the same origin.
std::string pairOrigin(std::string_view bytes);

// The records of a record file that hold hand work: an edit state (deleted, added by hand), a
// note, or released noise. Lines that cannot be read as records are not counted.
int handWorkRecords(std::string_view dataBytes);
int handWorkRecords(const std::vector<ResultRecord>& records);
// Whether saving to `paths` replaces a pair holding hand work that the results in memory do
// not come from (they were neither read from it nor saved to it since).
bool replacesHandWork(const core::Workspace& ws, const ResultPaths& paths);

// Writes the pair's files (`files`: the settings file, the record file, and any file saved with
// them) and its sum file, holding the folder's lock: an interrupted earlier save's pair is put
// back first, a pair holding hand work not in memory is kept as the ".bak" generation, and
// the results in memory are marked as coming from the pair written. The sum file of a tile's
// results (a picture named as a tile, with or without ".bmp") records pictureChecksum. True
// when the replaced pair was kept as ".bak".
core::Result<bool> saveSummedPair(core::Workspace& ws, const ResultPaths& paths,
                                  const std::vector<core::FileBytes>& files, int64_t records);

// The bytes of both files of a pair, read once: checked against its sum file (the pair of an
// interrupted save put back first), with the further files it names, or as they are when it
// has none. Fails with a message when
// a file cannot be read or does not match the sum file.
struct PairBytes {
    std::string ini, data;
    // The further files the sum file names (path: the name without folder), as checked.
    std::vector<core::FileBytes> others;
    std::optional<core::SumFile> sum;
    bool restored = false;
};
core::Result<PairBytes> readPairBytes(const std::string& iniFile, const std::string& dataFile);

// The structure a pair without a sum file must have beyond each record's own fields: numbers
// rising (none twice), none above MaxStarNo, MaxStarNo within the table, and a record file
// neither cut inside a line nor emptied while the settings file says numbers were issued. (The
// class counts StarAtrNo describe what was marked, not the records: they are not checked.)
// Each step gives the reason the pair is refused, or nothing.
class PairStructure {
public:
    PairStructure(const ResultFiles& p, std::string_view data) : p_(p), data_(data) {}
    std::optional<std::string> atStart() const;
    // Record `r` of line `lineNo`, in the order of the file.
    std::optional<std::string> record(const ResultRecord& r, int lineNo);
    std::optional<std::string> atEnd(size_t records) const;

private:
    const ResultFiles& p_;
    std::string_view data_;
    int32_t previous_ = 0;
};

// The ".bak" names of a pair's files.
std::string backupOf(const std::string& file);

}  // namespace orv::results
