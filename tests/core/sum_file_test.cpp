// Sum files, the folder lock and checksums: what proves a set of files whole and keeps two
// writers apart.

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "core/checksum.h"
#include "core/folder_lock.h"
#include "core/sum_file.h"
#include "core/text_file.h"
#include "support/interrupted.h"
#include "support/test_app.h"

namespace orv::core {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;
using test::writeFile;

// CRC-32C as its definition says, one bit at a time.
uint32_t literalCrc32c(const std::string& bytes) {
    uint32_t c = 0xFFFFFFFFu;
    for (unsigned char b : bytes) {
        c ^= b;
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0x82F63B78u & (0u - (c & 1)));
    }
    return ~c;
}

TEST(Checksums, Crc32cIsTheBitwiseDefinitionInPiecesAndInPlanes) {
    EXPECT_EQ(crc32c("123456789"), 0xE3069283u);  // the standard check value
    std::mt19937 rnd(7);
    for (size_t n = 0; n < 70; ++n) {
        std::string bytes(n, '\0');
        for (char& ch : bytes) ch = static_cast<char>(rnd());
        const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
        ASSERT_EQ(crc32c(bytes), literalCrc32c(bytes)) << n;
        ASSERT_EQ(detail::crc32cByTables(data, n, 0), literalCrc32c(bytes)) << n;
        const size_t cut = n / 3;
        EXPECT_EQ(crc32c(bytes.substr(cut), crc32c(bytes.substr(0, cut))), literalCrc32c(bytes));
    }
    // Planes R, G, B give the checksum of the interleaved bytes, across the chunks.
    const size_t w = 2500;
    std::vector<uint8_t> r(w), g(w), b(w);
    std::string rgb;
    for (size_t x = 0; x < w; ++x) {
        r[x] = static_cast<uint8_t>(rnd()), g[x] = static_cast<uint8_t>(rnd());
        b[x] = static_cast<uint8_t>(rnd());
        rgb += {static_cast<char>(r[x]), static_cast<char>(g[x]), static_cast<char>(b[x])};
    }
    EXPECT_EQ(crc32cRgbRow(r.data(), g.data(), b.data(), w, 5), crc32c(rgb, 5));

    EXPECT_EQ(checksumText(0x0A1B2C3Du), "0a1b2c3d");
    EXPECT_EQ(parseChecksum("0A1b2C3d"), 0x0A1B2C3Du);
    for (const char* bad : {"", "0a1b2c3", "0a1b2c3d0", "0a1b2c3g", " a1b2c3d"})
        EXPECT_FALSE(parseChecksum(bad)) << bad;
}

struct SumFolder {
    TempDir dir;
    std::string a = dir.file("x.dat.ini"), b = dir.file("x.dat"), sum = dir.file("x.dat.sum");
    Result<void> save(const std::string& ini, const std::string& dat, int64_t records = 1) {
        return writeSummedFiles({{a, ini}, {b, dat}}, sum, records, 0x5E6F7A8Bu);
    }
    std::vector<std::string> leftovers() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir.path())) {
            const std::string n = e.path().filename().string();
            if (n.find(".old") != n.npos || n.find(".tmp") != n.npos) names.push_back(n);
        }
        return names;
    }
};

TEST(SumFiles, ASavedSetIsCheckedAndReadFromOneLook) {
    SumFolder f;
    ASSERT_TRUE(f.save("[SYSTEM]\r\n", "1,2\r\n"));
    EXPECT_EQ(readFile(f.sum), "[SUM]\r\nFile1 = x.dat.ini\r\nBytes1 = 10\r\nChecksum1 = " +
                                   checksumText(crc32c("[SYSTEM]\r\n")) +
                                   "\r\nFile2 = x.dat\r\nBytes2 = 5\r\nChecksum2 = " +
                                   checksumText(crc32c("1,2\r\n")) +
                                   "\r\nRecords = 1\r\nPicture = 5e6f7a8b\r\n");
    const std::string first = readFile(f.sum);
    ASSERT_TRUE(f.save("[SYSTEM]\r\n", "1,2\r\n"));
    EXPECT_EQ(readFile(f.sum), first);  // nothing of the time or chance in it

    auto checked = checkSummedFiles(f.sum);
    ASSERT_TRUE(checked) << checked.error();
    ASSERT_TRUE(checked->sum);
    EXPECT_EQ(*checked->bytesOf("x.dat"), "1,2\r\n");
    EXPECT_EQ(checked->sum->records, 1);
    EXPECT_EQ(checked->sum->picture, 0x5E6F7A8Bu);
    EXPECT_FALSE(checked->restored);

    // Changed by hand, cut, gone: refused, naming the file and what differs.
    const struct {
        std::string dat, says;
    } damaged[] = {{"1,3\r\n", "内容が記録と違います"}, {"1,2", "大きさが 3 バイト"}};
    for (const auto& d : damaged) {
        writeFile(f.b, d.dat);
        auto refused = checkSummedFiles(f.sum);
        ASSERT_FALSE(refused);
        EXPECT_NE(refused.error().find("x.dat が x.dat.sum の記録と合いません"), std::string::npos)
            << refused.error();
        EXPECT_NE(refused.error().find(d.says), std::string::npos) << refused.error();
    }
    fs::remove(f.b);
    EXPECT_FALSE(checkSummedFiles(f.sum));
    writeFile(f.sum, "[SUM]\r\nFile1 = ../x.dat\r\n");
    EXPECT_NE(checkSummedFiles(f.sum).error().find("File1"), std::string::npos);
    fs::remove(f.sum);
    auto none = checkSummedFiles(f.sum);
    ASSERT_TRUE(none);
    EXPECT_FALSE(none->sum);  // no sum file: read as it is
}

// A spare file (derived from the others) that is gone or changed is left out and named; the
// others still read. Without the spare rule the same set is refused.
TEST(SumFiles, ASpareFileThatDiffersIsLeftOutNotFatal) {
    SumFolder f;
    const std::string meas = f.dir.file("x.dat.meas");
    ASSERT_TRUE(writeSummedFiles({{f.a, "i"}, {f.b, "d"}, {meas, "m"}}, f.sum, 1, std::nullopt));
    auto spare = [](std::string_view name) { return name == "x.dat.meas"; };
    for (const char* m : {"changed", ""}) {
        if (*m)
            writeFile(meas, m);
        else
            fs::remove(meas);
        EXPECT_FALSE(checkSummedFiles(f.sum));
        auto checked = checkSummedFiles(f.sum, false, spare);
        ASSERT_TRUE(checked) << checked.error();
        EXPECT_EQ(*checked->bytesOf("x.dat"), "d");
        EXPECT_EQ(checked->bytesOf("x.dat.meas"), nullptr);
        ASSERT_EQ(checked->spareLeftOut.size(), 1u);
        EXPECT_TRUE(checked->spareLeftOut[0].starts_with("x.dat.meas (")) << m;
    }
    writeFile(f.b, "D");  // a file that is not spare still fails the set
    EXPECT_FALSE(checkSummedFiles(f.sum, false, spare));
}

// A save killed after its first or second rename leaves a mixed set; the reader puts back the
// old set from the copies the save kept, whether the old set had a sum file or not (a set
// without one is sealed before it is replaced).
TEST(SumFiles, ASaveKilledBetweenItsRenamesIsPutBack) {
    for (bool oldSummed : {true, false})
        for (size_t killedAt : {0u, 1u}) {
            SCOPED_TRACE(std::to_string(oldSummed) + " " + std::to_string(killedAt));
            SumFolder f;
            if (oldSummed)
                ASSERT_TRUE(f.save("old ini\r\n", "old dat\r\n"));
            else
                ASSERT_TRUE(writeFilesAnew({{f.a, {"old ini"}}, {f.b, {"old dat"}}}));
            ASSERT_TRUE(test::killedAfterReplace(
                killedAt, [&] { (void)f.save("new ini\r\n", "new dat\r\n"); }));
            EXPECT_EQ(readFile(f.a), "new ini\r\n");  // mixed or unsealed
            EXPECT_EQ(readFile(f.b), killedAt == 0 ? "old dat\r\n" : "new dat\r\n");

            auto checked = checkSummedFiles(f.sum);
            ASSERT_TRUE(checked) << checked.error();
            EXPECT_TRUE(checked->restored);
            EXPECT_EQ(*checked->bytesOf("x.dat.ini"), "old ini\r\n");
            EXPECT_EQ(readFile(f.a), "old ini\r\n");
            EXPECT_EQ(readFile(f.b), "old dat\r\n");
            // The next save removes what the killed one left.
            ASSERT_TRUE(f.save("next ini\r\n", "next dat\r\n"));
            EXPECT_TRUE(f.leftovers().empty()) << f.leftovers()[0];
            EXPECT_FALSE(checkSummedFiles(f.sum)->restored);
        }
    // Without the kept copies the mixed set is refused.
    SumFolder f;
    ASSERT_TRUE(f.save("old ini\r\n", "old dat\r\n"));
    ASSERT_TRUE(test::killedAfterReplace(0, [&] { (void)f.save("new ini\r\n", "new dat\r\n"); }));
    for (const std::string& name : f.leftovers()) fs::remove(f.dir.file(name));
    EXPECT_FALSE(checkSummedFiles(f.sum));
}

TEST(FolderLocks, ASecondHolderWaitsForTheFirst) {
    TempDir dir;
    {
        FolderLock first(dir.path());
        ASSERT_TRUE(first.held());
        EXPECT_FALSE(FolderLock(dir.path(), FolderLock::Wait::No).held());
    }
    EXPECT_TRUE(FolderLock(dir.path(), FolderLock::Wait::No).held());
    EXPECT_FALSE(FolderLock(dir.file("none")).held());  // no folder: nothing to hold
}

}  // namespace
}  // namespace orv::core
