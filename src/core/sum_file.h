#pragma once
// A sum file: the proof that files written together belong together. A save writes its files
// anew as one unit and the sum file last; the sum file records each file's name, size in bytes
// and CRC-32C, the number of records they hold and, for a tile's results, the checksum of the
// picture's pixels they were made from. Nothing in it depends on the time or on chance, so saving
// the same results twice writes the same sum file.
//
//   [SUM]
//   File1 = m42.bmp.dat.ini
//   Bytes1 = 2345
//   Checksum1 = 0a1b2c3d
//   File2 = m42.bmp.dat
//   Bytes2 = 12345
//   Checksum2 = 89abcdef
//   Records = 12
//   Picture = 5e6f7a8b        (only where the writer gives it: a tile's results)
//
// A reader that finds a file differing from its record looks for the copy that an interrupted
// save kept beside it ("<file>.old<pid>_<n>", see core/text_file.h) and puts it back when it
// matches; otherwise it refuses the set. A set without a sum file (written before sums existed,
// or by hand) is read as it is.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/result.h"
#include "core/text_file.h"

namespace orv::core {

struct SummedFile {
    std::string name;  // without folder: the files lie in the sum file's folder
    uint64_t bytes = 0;
    uint32_t crc = 0;
};

struct SumFile {
    std::vector<SummedFile> files;
    int64_t records = 0;
    std::optional<uint32_t> picture;  // checksum of the picture's pixels (core/checksum.h)
};

SummedFile summedFile(std::string name, std::string_view bytes);
std::vector<std::string> sumFileLines(const SumFile& sum);
// Fails, naming the key, on a missing or bad value.
Result<SumFile> parseSumFile(std::string_view text);

// Writes `files` anew as one unit (core/text_file.h), then the sum file at `sumPath` recording
// them (all in one folder). When the folder holds the files without a sum file, they are
// sealed first with a sum of what they hold, so that a save killed between its renames leaves
// a set that a reader sees is mixed. Call it holding the folder's lock (core/folder_lock.h).
Result<void> writeSummedFiles(const std::vector<FileBytes>& files, const std::string& sumPath,
                              int64_t records, std::optional<uint32_t> picture);

// What a reader gets: the sum file and the bytes of the files it names, checked against it.
struct CheckedSum {
    std::optional<SumFile> sum;      // nothing: no sum file, the files are to be read as they are
    std::vector<std::string> bytes;  // the files' bytes, in the order of sum->files
    bool restored = false;           // an interrupted save's old set was put back
    // Spare files the sum names that are missing or differ, each "name (why)"; they are not in
    // sum->files and bytes.
    std::vector<std::string> spareLeftOut;
    // The bytes of the file `name` (in any letter case, as the files are also looked for when
    // a copy from a system that ignores case changed it), or nullptr when the sum does not
    // name it.
    const std::string* bytesOf(std::string_view name) const;
};

// Reads and checks the set of the sum file at `sumPath`. A file that differs from its record
// is looked at again holding the folder's lock (a save may be under way), then replaced by a
// matching old copy of an interrupted save. Fails, saying which file differs and how, when no
// copy matches, and when the sum file cannot be read. `lockHeld`: the caller holds the lock.
// A file for which `spare` holds (one derived from the others, such as measurements) does not
// make the set fail: when it is missing or differs it is left out (CheckedSum::spareLeftOut).
using SpareFile = std::function<bool(std::string_view name)>;
Result<CheckedSum> checkSummedFiles(const std::string& sumPath, bool lockHeld = false,
                                    const SpareFile& spare = nullptr);

}  // namespace orv::core
