#include "psf/psf_files.h"

#include <cmath>
#include <optional>

#include "core/folder_lock.h"
#include "core/ini.h"
#include "core/numeric.h"
#include "core/paths.h"
#include "core/sum_file.h"
#include "core/text_file.h"
#include "psf/records.h"

namespace orv::psf {

namespace {

constexpr int kFields = 14;

std::string g(float v) {
    return core::generalForm(v);
}
std::string g(int64_t v) {
    return core::generalForm(v);
}

// One line of PSFData.txt into `e`, or why it cannot be read.
std::optional<std::string> parseLine(const std::string& line, PSFEntryRec& e) {
    const auto f = core::splitCommaFields(line);
    if (static_cast<int>(f.size()) != kFields)
        return "項目の数が " + std::to_string(f.size()) + " です (" + std::to_string(kFields) +
               " 項目が必要です)";
    std::optional<std::string> bad;
    // Field k (1-based) converted by `convert`, which raises ArithmeticFault when it does not fit.
    auto fitted = [&](int k, auto convert) -> decltype(convert(0.0)) {
        const auto v = core::parseNumber(f[k - 1]);
        if (!v) {
            if (!bad) bad = std::to_string(k) + " 番目の項目が数値ではありません: " + f[k - 1];
            return 0;
        }
        try {
            return convert(*v);
        } catch (const core::ArithmeticFault&) {
            if (!bad) bad = std::to_string(k) + " 番目の項目が範囲を超えています: " + f[k - 1];
            return 0;
        }
    };
    auto single = [&](int k) { return fitted(k, core::CSng); };
    (void)fitted(1, core::CInt);  // the entry number, read and not kept
    e.StarNo = fitted(2, core::CLng);
    e.CenterX = single(3);
    e.CenterY = single(4);
    e.PSFAnnulus = single(5);
    e.PSFDAnnulus = single(6);
    e.PSFSpare1 = single(7);
    e.Sigma = single(8);
    e.Peak = single(9);
    e.Mark = single(10);
    e.PSFSpare2 = fitted(11, core::CInt);
    e.PSFSpare3 = single(12);
    e.DoFilePath = f[12];
    e.DoFileName = f[13];
    return bad;
}

// Both files' bytes, checked against PSFData.sum when there is one (an interrupted save's
// pair put back), else as they are.
struct PsfPair {
    std::string data, ini;
    std::optional<int64_t> records;
    bool restored = false;
};

core::Result<PsfPair> readPsfPair(const std::string& folder, const std::string& dataFile,
                                  const std::string& iniName) {
    const std::string iniFile = core::joinPath(folder, iniName);
    auto checked = core::checkSummedFiles(core::joinPath(folder, kPsfSumFile));
    if (!checked) return core::Error{checked.error()};
    PsfPair pair;
    if (checked->sum) {
        const std::string* data = checked->bytesOf(core::fileNameOf(dataFile));
        const std::string* ini = checked->bytesOf(iniName);
        if (!data || !ini)
            return core::Error{std::string(kPsfSumFile) +
                               " はこの PSF ファイルの組の検査ファイル"
                               "ではありません: " +
                               folder};
        pair.data = *data;
        pair.ini = *ini;
        pair.records = checked->sum->records;
        pair.restored = checked->restored;
        return pair;
    }
    auto data = core::readFileBytes(dataFile);
    if (!data) return core::Error{data.error()};
    pair.data = std::move(data.value());
    // A settings file that cannot be read gives no values, as the reader of its keys has it.
    if (auto ini = core::readFileBytes(iniFile)) pair.ini = std::move(ini.value());
    return pair;
}

}  // namespace

std::vector<std::string> psfDataLines(const PsfState& state) {
    std::vector<std::string> lines;
    const int last = std::min<int>(state.PSFDataNo, static_cast<int>(state.PSFEntries.size()) - 1);
    for (int i = 1; i <= last; ++i) {
        const PSFEntryRec& e = state.PSFEntries[i];
        std::string line = g(int64_t{i});
        for (const std::string& field :
             {g(int64_t{e.StarNo}), g(e.CenterX), g(e.CenterY), g(e.PSFAnnulus), g(e.PSFDAnnulus),
              g(e.PSFSpare1), g(e.Sigma), g(e.Peak), g(e.Mark), g(int64_t{e.PSFSpare2}),
              g(e.PSFSpare3), core::quotedField(e.DoFilePath), core::quotedField(e.DoFileName)})
            line += "," + field;
        lines.push_back(std::move(line));
    }
    return lines;
}

std::vector<std::string> psfIniLines(const PsfState& state, const form::DateTime& now) {
    return {"[PSF]", "Date = " + form::formatDateTime(now),
            "DataNo = " + core::signPositionForm(int64_t{state.PSFDataNo}),
            "PSFsd = " + core::signPositionForm(state.PSFsd),
            "PSFsdd = " + core::signPositionForm(state.PSFsdd)};
}

core::Result<void> writePsfFiles(const std::string& folder, const PsfState& state,
                                 const form::DateTime& now) {
    const core::FolderLock lock(folder);
    const std::string sum = core::joinPath(folder, kPsfSumFile);
    (void)core::checkSummedFiles(sum, true);  // an interrupted save's pair put back first
    const std::vector<std::string> records = psfDataLines(state);
    return core::writeSummedFiles(
        {{core::joinPath(folder, kPsfDataFile), core::joinLines(records)},
         {core::joinPath(folder, kPsfIniFile), core::joinLines(psfIniLines(state, now))}},
        sum, static_cast<int64_t>(records.size()), std::nullopt);
}

core::Result<std::vector<PSFEntryRec>> parsePsfData(const std::string& text) {
    std::vector<PSFEntryRec> entries;
    int lineNo = 0;
    for (const std::string& line : core::splitLines(text)) {
        ++lineNo;
        if (line.find_first_not_of(" \t") == std::string::npos) continue;
        if (static_cast<int>(entries.size()) == kMaxEntries)
            return core::Error{std::string(kPsfDataFile) + " のデータが " +
                               std::to_string(kMaxEntries) + " 件を超えています。"};
        PSFEntryRec e;
        if (auto why = parseLine(line, e))
            return core::Error{std::string(kPsfDataFile) + " の " + std::to_string(lineNo) +
                               " 行目を読めません: " + *why};
        entries.push_back(std::move(e));
    }
    return entries;
}

core::Result<PsfFiles> readPsfFiles(const std::string& folder, const std::string& iniName) {
    const std::string dataFile = core::fileInAnyCase(folder, kPsfDataFile);
    if (!core::fileExists(dataFile))
        return core::Error{"PSFプロファイルのデータファイルがありません: " + dataFile};
    auto pair = readPsfPair(folder, dataFile, iniName);
    if (!pair) return core::Error{pair.error()};
    auto entries = parsePsfData(core::decodeText(pair->data));
    if (!entries) return core::Error{entries.error() + "\n" + dataFile};
    if (pair->records && *pair->records != static_cast<int64_t>(entries->size()))
        return core::Error{std::string(kPsfDataFile) + " のデータが " +
                           std::to_string(entries->size()) + " 件です (" + kPsfSumFile +
                           " の記録は " + std::to_string(*pair->records) + " 件)。"};

    PsfFiles files;
    files.entries = std::move(entries.value());
    files.restored = pair->restored;
    const core::IniFile ini = core::IniFile::fromText(pair->ini);
    files.dataNo = core::ValInt(ini.get("PSF", "DataNo"));
    files.sd = core::ValSng(ini.get("PSF", "PSFsd"));
    files.sdd = core::ValSng(ini.get("PSF", "PSFsdd"));
    return files;
}

}  // namespace orv::psf
