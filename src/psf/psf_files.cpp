#include "psf/psf_files.h"

#include <cctype>
#include <cmath>
#include <filesystem>
#include <optional>

#include "core/ini.h"
#include "core/numeric.h"
#include "core/paths.h"
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

std::string lowerCase(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// folder / name, or the first file of the folder whose name differs only in letter case.
std::string fileInAnyCase(const std::string& folder, const std::string& name) {
    const std::string exact = core::joinPath(folder, name);
    if (core::fileExists(exact)) return exact;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec))
        if (lowerCase(it->path().filename().string()) == lowerCase(name) && it->is_regular_file(ec))
            return it->path().string();
    return exact;
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
    return core::writeFilesAnew({{core::joinPath(folder, kPsfDataFile), psfDataLines(state)},
                                 {core::joinPath(folder, kPsfIniFile), psfIniLines(state, now)}});
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
    const std::string dataFile = fileInAnyCase(folder, kPsfDataFile);
    if (!core::fileExists(dataFile))
        return core::Error{"PSFプロファイルのデータファイルがありません: " + dataFile};
    auto bytes = core::readFileBytes(dataFile);
    if (!bytes) return core::Error{bytes.error()};
    auto entries = parsePsfData(core::decodeText(bytes.value()));
    if (!entries) return core::Error{entries.error() + "\n" + dataFile};

    PsfFiles files;
    files.entries = std::move(entries.value());
    const core::IniFile ini = core::IniFile::load(core::joinPath(folder, iniName));
    files.dataNo = core::ValInt(ini.get("PSF", "DataNo"));
    files.sd = core::ValSng(ini.get("PSF", "PSFsd"));
    files.sdd = core::ValSng(ini.get("PSF", "PSFsdd"));
    return files;
}

}  // namespace orv::psf
