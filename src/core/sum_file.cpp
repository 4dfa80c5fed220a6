#include "core/sum_file.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>

#include "core/anew_file.h"
#include "core/checksum.h"
#include "core/folder_lock.h"
#include "core/ini.h"
#include "core/paths.h"
#include "core/text.h"

namespace orv::core {

namespace {

constexpr const char* kSection = "SUM";
constexpr size_t kMaxFiles = 16;

std::optional<uint64_t> wholeNumber(const std::string& text) {
    if (text.empty() || text.size() > 19 || text.find_first_not_of("0123456789") != text.npos)
        return std::nullopt;
    return std::stoull(text);
}

Error badKey(const std::string& key, const std::string& value) {
    return Error{"検査ファイルの " + key + " が正しくありません: \"" + value + "\""};
}

// Why the bytes of a file differ from its record, or "" when they match.
std::string difference(const SummedFile& record, const std::optional<std::string>& bytes) {
    if (!bytes) return "ありません";
    if (bytes->size() != record.bytes)
        return "大きさが " + std::to_string(bytes->size()) + " バイトです (記録は " +
               std::to_string(record.bytes) + " バイト)";
    if (crc32c(*bytes) != record.crc) return "内容が記録と違います";
    return "";
}

std::optional<std::string> readBytes(const std::string& path) {
    if (!fileExists(path)) return std::nullopt;
    auto bytes = readFileBytes(path);
    if (!bytes) return std::nullopt;
    return std::move(bytes.value());
}

struct Look {
    Result<SumFile> sum = Error{};
    std::vector<std::optional<std::string>> bytes;
    size_t firstDifferent = 0;  // == files.size() when all match
    std::string why;
};

// Reads the sum file and every file it names; a spare file that differs does not count.
Look look(const std::string& sumPath, const SpareFile& spare) {
    Look l;
    auto text = readFileBytes(sumPath);
    if (!text) {
        l.sum = Error{text.error()};
        return l;
    }
    l.sum = parseSumFile(text.value());
    if (!l.sum) {
        l.sum = Error{l.sum.error() + " (" + sumPath + ")"};
        return l;
    }
    const std::string folder = GetFolderName(sumPath);
    l.firstDifferent = l.sum->files.size();
    for (size_t k = 0; k < l.sum->files.size(); ++k) {
        l.bytes.push_back(readBytes(fileInAnyCase(folder, l.sum->files[k].name)));
        if (l.firstDifferent < l.sum->files.size() || (spare && spare(l.sum->files[k].name)))
            continue;
        l.why = difference(l.sum->files[k], l.bytes.back());
        if (!l.why.empty()) l.firstDifferent = k;
    }
    return l;
}

// Puts back, for every file that differs from its record, a kept old copy of an interrupted
// save that matches it ("<file>.old<pid>_<n>"). True when every differing file had one.
bool restoreOldCopies(const std::string& folder, const Look& l, const SpareFile& spare) {
    namespace fs = std::filesystem;
    std::vector<std::pair<std::string, std::string>> renames;  // copy -> file
    for (size_t k = 0; k < l.sum->files.size(); ++k) {
        const SummedFile& record = l.sum->files[k];
        if (difference(record, l.bytes[k]).empty() || (spare && spare(record.name))) continue;
        std::string found;
        std::error_code ec;
        for (fs::directory_iterator it(folder.empty() ? "." : folder, ec), end;
             !ec && it != end && found.empty(); it.increment(ec)) {
            const std::string name = it->path().filename().string();
            if (!leftoverProcess(name, record.name) ||
                name.compare(record.name.size(), 4, ".old") != 0)
                continue;
            if (difference(record, readBytes(it->path().string())).empty())
                found = it->path().string();
        }
        if (found.empty()) return false;
        renames.emplace_back(found, joinPath(folder, record.name));
    }
    for (const auto& [copy, file] : renames)
        if (std::rename(copy.c_str(), file.c_str()) != 0) return false;
    return true;
}

}  // namespace

SummedFile summedFile(std::string name, std::string_view bytes) {
    return {std::move(name), bytes.size(), crc32c(bytes)};
}

std::vector<std::string> sumFileLines(const SumFile& sum) {
    std::vector<std::string> lines{std::string("[") + kSection + "]"};
    for (size_t k = 0; k < sum.files.size(); ++k) {
        const std::string n = std::to_string(k + 1);
        lines.push_back("File" + n + " = " + sum.files[k].name);
        lines.push_back("Bytes" + n + " = " + std::to_string(sum.files[k].bytes));
        lines.push_back("Checksum" + n + " = " + checksumText(sum.files[k].crc));
    }
    lines.push_back("Records = " + std::to_string(sum.records));
    if (sum.picture) lines.push_back("Picture = " + checksumText(*sum.picture));
    return lines;
}

Result<SumFile> parseSumFile(std::string_view text) {
    const IniFile ini = IniFile::fromText(text);
    SumFile sum;
    for (size_t k = 1; k <= kMaxFiles; ++k) {
        const std::string n = std::to_string(k);
        SummedFile f;
        f.name = ini.get(kSection, "File" + n);
        if (f.name.empty()) break;
        if (f.name.find_first_of("/\\") != std::string::npos || f.name == "." || f.name == "..")
            return badKey("File" + n, f.name);
        const std::string bytes = ini.get(kSection, "Bytes" + n);
        const std::string crc = ini.get(kSection, "Checksum" + n);
        const auto size = wholeNumber(bytes);
        const auto checksum = parseChecksum(crc);
        if (!size) return badKey("Bytes" + n, bytes);
        if (!checksum) return badKey("Checksum" + n, crc);
        f.bytes = *size;
        f.crc = *checksum;
        sum.files.push_back(std::move(f));
    }
    if (sum.files.empty()) return badKey("File1", "");
    const std::string records = ini.get(kSection, "Records");
    const auto count = wholeNumber(records);
    if (!count || *count > INT32_MAX) return badKey("Records", records);
    sum.records = static_cast<int64_t>(*count);
    const std::string picture = ini.get(kSection, "Picture");
    if (!picture.empty()) {
        sum.picture = parseChecksum(picture);
        if (!sum.picture) return badKey("Picture", picture);
    }
    return sum;
}

Result<void> writeSummedFiles(const std::vector<FileBytes>& files, const std::string& sumPath,
                              int64_t records, std::optional<uint32_t> picture) {
    // Files of an earlier save without a sum are sealed as they are, first.
    bool unsealed = !fileExists(sumPath) && !files.empty();
    SumFile old;
    for (const FileBytes& f : files) {
        if (!unsealed) break;
        auto bytes = readBytes(f.path);
        unsealed = bytes.has_value();
        if (unsealed) old.files.push_back(summedFile(fileNameOf(f.path), *bytes));
    }
    if (unsealed)
        if (auto sealed = writeBytesAnew(sumPath, joinLines(sumFileLines(old))); !sealed)
            return sealed;

    SumFile sum;
    sum.records = records;
    sum.picture = picture;
    std::vector<FileBytes> set = files;
    for (const FileBytes& f : files) sum.files.push_back(summedFile(fileNameOf(f.path), f.bytes));
    set.push_back({sumPath, joinLines(sumFileLines(sum))});
    return writeFileBytesAnew(set);
}

const std::string* CheckedSum::bytesOf(std::string_view name) const {
    if (!sum) return nullptr;
    for (size_t k = 0; k < sum->files.size(); ++k)
        if (equalsIgnoreCase(sum->files[k].name, name)) return &bytes[k];
    return nullptr;
}

Result<CheckedSum> checkSummedFiles(const std::string& sumPath, bool lockHeld,
                                    const SpareFile& spare) {
    CheckedSum out;
    if (!fileExists(sumPath)) return out;
    const std::string folder = GetFolderName(sumPath);
    Look l = look(sumPath, spare);
    if (!l.sum) return Error{l.sum.error()};
    if (l.firstDifferent < l.sum->files.size()) {
        // A save may be replacing the files right now: look again once it is done, and put
        // back what an interrupted one left.
        std::optional<FolderLock> lock;
        if (!lockHeld) lock.emplace(folder);
        l = look(sumPath, spare);
        if (!l.sum) return Error{l.sum.error()};
        if (l.firstDifferent < l.sum->files.size() && restoreOldCopies(folder, l, spare)) {
            l = look(sumPath, spare);
            if (!l.sum) return Error{l.sum.error()};
            out.restored = l.firstDifferent == l.sum->files.size();
        }
    }
    if (l.firstDifferent < l.sum->files.size()) {
        const std::string& name = l.sum->files[l.firstDifferent].name;
        const std::string sumName = fileNameOf(sumPath);
        return Error{name + " が " + sumName + " の記録と合いません (" + l.why +
                     ")。保存が途中で止まったか、ファイルが書き換えられたため、一緒に保存された組"
                     "ではありません。読み込みを中止しました。\n" +
                     "手で書き換えたファイルをそのまま読むには、" + joinPath(folder, sumName) +
                     " を削除してください。"};
    }
    out.sum = std::move(l.sum.value());
    std::vector<SummedFile> kept;
    for (size_t k = 0; k < out.sum->files.size(); ++k) {
        // The files that are not spare were all found the same as recorded above.
        const bool spareFile = spare && spare(out.sum->files[k].name);
        const std::string why = spareFile ? difference(out.sum->files[k], l.bytes[k]) : "";
        if (!why.empty()) {  // a spare file: left out, and said why
            out.spareLeftOut.push_back(out.sum->files[k].name + " (" + why + ")");
            continue;
        }
        kept.push_back(out.sum->files[k]);
        out.bytes.push_back(std::move(*l.bytes[k]));
    }
    out.sum->files = std::move(kept);
    return out;
}

}  // namespace orv::core
