#include "results/pair_sum.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "core/anew_file.h"
#include "core/checksum.h"
#include "core/folder_lock.h"
#include "core/numeric.h"
#include "core/paths.h"
#include "core/sum_file.h"
#include "core/text.h"
#include "extract/records.h"
#include "tiles/geometry.h"

namespace orv::results {

namespace {

// Copies the files to their ".bak" names as one unit; a file that does not exist leaves no
// ".bak" either, so the kept files are one generation.
core::Result<void> keepBackups(const std::vector<std::string>& files) {
    std::vector<core::FileBytes> copies;
    for (const std::string& file : files) {
        const std::string bak = backupOf(file);
        if (!core::fileExists(file)) {
            std::remove(bak.c_str());
            continue;
        }
        auto bytes = core::readFileBytes(file);
        if (!bytes) return core::Error{bytes.error()};
        copies.push_back({bak, std::move(bytes.value())});
    }
    return core::writeFileBytesAnew(copies);
}

// The files the ".bak" generation holds: the pair, every other file saved with it or named by
// the sum file on disk (the measurements), and the sum file, so that the kept set can be put
// back whole.
std::vector<std::string> keptFiles(const ResultPaths& paths,
                                   const std::vector<core::FileBytes>& files,
                                   const std::string& sum) {
    std::vector<std::string> kept{paths.iniFile, paths.dataFile};
    auto add = [&](const std::string& file) {
        if (std::find(kept.begin(), kept.end(), file) == kept.end()) kept.push_back(file);
    };
    for (const core::FileBytes& f : files) add(f.path);
    if (auto text = core::readFileBytes(sum))
        if (auto old = core::parseSumFile(text.value()))
            for (const core::SummedFile& f : old->files)
                add(core::joinPath(core::GetFolderName(paths.dataFile), f.name));
    add(sum);
    return kept;
}

}  // namespace

std::string sumFileOf(const std::string& dataFile) {
    return dataFile + ".sum";
}

std::string backupOf(const std::string& file) {
    return file + ".bak";
}

std::optional<uint32_t> pictureChecksum(const core::Workspace& ws) {
    const auto& p = ws.PixelLevel;
    if (p.empty() || ws.ImageWidthP <= 0 || ws.ImageHeightP <= 0) return std::nullopt;
    if (!p.holds(core::kChannelR) || !p.holds(core::kChannelG) || !p.holds(core::kChannelB))
        return std::nullopt;
    uint32_t crc = 0;
    const auto w = static_cast<size_t>(ws.ImageWidthP);
    for (int y = 1; y <= ws.ImageHeightP; ++y)
        crc =
            core::crc32cRgbRow(p.plane(core::kChannelR).at(1, y), p.plane(core::kChannelG).at(1, y),
                               p.plane(core::kChannelB).at(1, y), w, crc);
    return crc;
}

std::string pairOrigin(std::string_view bytes) {
    return core::checksumText(core::crc32c(bytes)) + " " + std::to_string(bytes.size());
}

int handWorkRecords(std::string_view dataBytes) {
    int count = 0;
    std::string decoded;
    std::vector<std::string_view> f;
    core::forEachLine(core::textOf(dataBytes, decoded), [&](std::string_view line) {
        // Fields 0..9 only: the marks of hand work are in fields 4, 5 and 9. A field whose quote
        // is written twice is no number and not empty, as it stands in the line or unquoted.
        (void)core::splitCommaFieldViews(line, 10, f);
        if (f.size() < 10) return;
        const auto atr = core::parseNumber(f[4]);
        const auto editAtr = core::parseNumber(f[5]);
        count += (editAtr && *editAtr != 0) || !f[9].empty() ||
                 (atr && *atr == static_cast<double>(extract::kAtrNoiseReleased));
    });
    return count;
}

int handWorkRecords(const std::vector<ResultRecord>& records) {
    int count = 0;
    for (const ResultRecord& r : records)
        count += r.cluster.EditAtr != 0 || !r.cluster.Note.empty() ||
                 r.cluster.Atr == extract::kAtrNoiseReleased;
    return count;
}

bool replacesHandWork(const core::Workspace& ws, const ResultPaths& paths) {
    if (!core::fileExists(paths.dataFile)) return false;
    auto bytes = core::readFileBytes(paths.dataFile);
    if (!bytes || handWorkRecords(bytes.value()) == 0) return false;
    return ws.ResultsFrom != pairOrigin(bytes.value());
}

core::Result<PairBytes> readPairBytes(const std::string& iniFile, const std::string& dataFile) {
    // Files saved beside the pair (the measurements) are derived from it: one that is missing or
    // differs is left out, and the pair still reads.
    const std::string iniName = core::fileNameOf(iniFile), dataName = core::fileNameOf(dataFile);
    auto checked = core::checkSummedFiles(sumFileOf(dataFile), false, [&](std::string_view name) {
        return !core::equalsIgnoreCase(name, iniName) && !core::equalsIgnoreCase(name, dataName);
    });
    if (!checked) return core::Error{checked.error()};
    PairBytes b;
    if (checked->sum) {
        const std::string* ini = checked->bytesOf(iniName);
        const std::string* data = checked->bytesOf(dataName);
        if (!ini || !data)
            return core::Error{sumFileOf(dataFile) +
                               " はこの結果ファイルの組の検査ファイルでは"
                               "ありません。読み込みを中止しました。"};
        b.ini = *ini;
        b.data = *data;
        for (size_t k = 0; k < checked->sum->files.size(); ++k)
            if (&checked->bytes[k] != ini && &checked->bytes[k] != data)
                b.others.push_back({checked->sum->files[k].name, checked->bytes[k]});
        b.sum = std::move(checked->sum);
        b.restored = checked->restored;
        return b;
    }
    auto ini = core::readFileBytes(iniFile);
    if (!ini)
        return core::Error{"結果の設定ファイルを読めません: " + iniFile +
                           "\n読み込みを中止しました。"};
    auto data = core::readFileBytes(dataFile);
    if (!data) return core::Error{data.error() + "\n読み込みを中止しました。"};
    b.ini = std::move(ini.value());
    b.data = std::move(data.value());
    return b;
}

std::optional<std::string> PairStructure::atStart() const {
    if (p_.maxStarNo < 0 || p_.maxStarNo > extract::kMaxStarNo)
        return "MaxStarNo " + std::to_string(p_.maxStarNo) + " が 0 から 50000 の範囲にありません";
    return std::nullopt;
}

std::optional<std::string> PairStructure::record(const ResultRecord& r, int lineNo) {
    std::optional<std::string> why;
    if (r.number == previous_)
        why = "番号 " + std::to_string(r.number) + " が 2 度あります";
    else if (r.number < previous_)
        why = "番号 " + std::to_string(r.number) + " が前の番号 " + std::to_string(previous_) +
              " より小さくなっています";
    else if (r.number > p_.maxStarNo)
        why = "番号 " + std::to_string(r.number) + " が MaxStarNo (" +
              std::to_string(p_.maxStarNo) + ") を超えています";
    previous_ = r.number;
    if (why) return std::to_string(lineNo) + " 行目: " + *why;
    return std::nullopt;
}

std::optional<std::string> PairStructure::atEnd(size_t records) const {
    if (!data_.empty() && data_.back() != '\n' && data_.back() != '\r')
        return "最後の行が途中で切れています (行末がありません)";
    if (records == 0 && p_.maxStarNo > 0)
        return "記録が 1 件もありません (MaxStarNo = " + std::to_string(p_.maxStarNo) +
               ")。空にされたか、途中で切れています";
    return std::nullopt;
}

core::Result<bool> saveSummedPair(core::Workspace& ws, const ResultPaths& paths,
                                  const std::vector<core::FileBytes>& files, int64_t records) {
    const core::FolderLock lock(core::GetFolderName(paths.dataFile));
    const std::string sum = sumFileOf(paths.dataFile);
    // The pair an interrupted save left mixed is put back first, so that what is kept below is
    // whole; a set that cannot be put back is replaced all the same.
    (void)core::checkSummedFiles(sum, true);
    const bool keep = replacesHandWork(ws, paths);
    if (keep)
        if (auto kept = keepBackups(keptFiles(paths, files, sum)); !kept)
            return core::Error{"手作業の結果を .bak として残せないため、保存を中止しました: " +
                               kept.error()};
    // The picture a tile's results were made from, which merge compares with the tile's layout.
    // (Only for tiles: for a big picture it would cost a pass over all its pixels.)
    const auto picture = tiles::namedAsTile(ws.DoFileName) ? pictureChecksum(ws) : std::nullopt;
    if (auto written = core::writeSummedFiles(files, sum, records, picture); !written)
        return core::Error{written.error()};
    for (const core::FileBytes& f : files)
        if (f.path == paths.dataFile) ws.ResultsFrom = pairOrigin(f.bytes);
    return keep;
}

}  // namespace orv::results
