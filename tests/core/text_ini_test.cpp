#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <algorithm>
#include <filesystem>

#include <csignal>

#include "core/block_cache.h"
#include "core/ini.h"
#include "core/paths.h"
#include "core/text_file.h"
#include "support/test_app.h"

namespace orv::core {
namespace {

using test::TempDir;
using test::writeFile;

TEST(TextFiles, SplitLinesAtEveryKindOfLineEnd) {
    EXPECT_EQ(splitLines("a\r\nb\rc\nd"), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(splitLines("a\r\n\r\nb\r\n"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_TRUE(splitLines("").empty());
}

// Quoted fields (with commas and doubled quotes inside), blanks around fields, an empty last
// field; a limited split gives the first fields of the whole split. The fields viewed in place
// are the same, but for a quote written twice, which the views cannot show.
TEST(TextFiles, CommaFieldsAndTheFirstOfThem) {
    // A line, its fields, and the first field whose quote is written twice in it (its views
    // refuse from that field on).
    struct Case {
        std::string line;
        std::vector<std::string> whole;
        size_t doubledField = static_cast<size_t>(-1);
    };
    const std::vector<Case> cases = {
        {R"(1, "a,b" ,"say ""hi""",x"y,)", {"1", "a,b", R"(say "hi")", R"(x"y)", ""}, 2},
        {R"("" ,"a"b" ",", "c)", {"", R"(a"b" )", R"(, "c)"}},
        {" 7 ,\t8", {"7", "8"}},
        {"", {""}},
        {"a,,b", {"a", "", "b"}},
    };
    std::vector<std::string_view> views;
    for (const auto& [line, whole, doubledField] : cases) {
        EXPECT_EQ(core::splitCommaFields(line), whole) << line;
        for (size_t limit = 0; limit <= whole.size() + 1; ++limit) {
            const std::vector<std::string> first(
                whole.begin(),
                whole.begin() + static_cast<std::ptrdiff_t>(std::min(limit, whole.size())));
            EXPECT_EQ(core::splitCommaFields(line, limit), first) << line << " limit " << limit;
            const bool doubled = limit > doubledField;
            ASSERT_EQ(core::splitCommaFieldViews(line, limit, views), !doubled)
                << line << " limit " << limit;
            if (!doubled) {
                EXPECT_EQ(std::vector<std::string>(views.begin(), views.end()), first)
                    << line << " limit " << limit;
            }
        }
    }
}

TEST(TextFiles, DecodeUtf8AsIsAndFallBackToCp932) {
    EXPECT_EQ(decodeText("\xEF\xBB\xBF"
                         "abc"),
              "abc");
    EXPECT_EQ(decodeText("設定"), "設定");
    // "設定" in Shift_JIS.
    EXPECT_EQ(decodeText("\x90\xDD\x92\xE8"), "設定");
    // Half-width katakana "ﾊﾞｯﾁ" in CP932.
    EXPECT_EQ(decodeText("\xCA\xDE\xAF\xC1"), "ﾊﾞｯﾁ");
    // Invalid in both: decoded with replacement characters, never a crash.
    std::string junk = decodeText(std::string("\x81\xFF\x80", 3));
    EXPECT_NE(junk.find("\xEF\xBF\xBD"), std::string::npos);
    EXPECT_TRUE(isValidUtf8(junk));
    EXPECT_FALSE(isValidUtf8("\xC0\x80"));      // overlong
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));  // surrogate
}

// Windows' "Unicode" text: UTF-16 after its byte-order mark, either byte order.
TEST(TextFiles, Utf16WithItsByteOrderMarkIsDecoded) {
    // A backslash, a kanji, a quote, a comma, a character beyond 16 bits (U+1F52D), CR LF.
    const std::string le(
        "\xFF\xFE"
        "D\0:\0\\\0"
        "\x7A\x7A"
        "\"\0,\0a\0\x3D\xD8\x2D\xDD\r\0\n\0",
        24);
    EXPECT_EQ(decodeText(le), "D:\\空\",a\xF0\x9F\x94\xAD\r\n");
    std::string be = le;
    for (size_t i = 0; i + 1 < be.size(); i += 2) std::swap(be[i], be[i + 1]);
    EXPECT_EQ(decodeText(be), decodeText(le));
    // An unpaired surrogate and a last odd byte become replacement characters.
    EXPECT_EQ(decodeText(std::string("\xFF\xFE\x00\xD8x", 5)), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

// A reader never waits on a FIFO or reads a folder as empty, and a file too large for the
// memory is refused before it is read.
TEST(TextFiles, OnlyRegularFilesThatFitTheMemoryAreRead) {
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.file("fifo.txt").c_str(), 0600), 0);
    std::filesystem::create_directory(dir.file("folder.txt"));
    writeFile(dir.file("big.txt"), std::string(100000, 'x'));
    struct Case {
        const char* name;
        const char* reason;
    };
    const Case cases[] = {{"fifo.txt", "通常のファイルではありません"},
                          {"folder.txt", "フォルダーです"},
                          {"none.txt", "ファイルがありません"}};
    for (const Case& c : cases) {
        const auto read = readTextLines(dir.file(c.name));
        ASSERT_FALSE(read) << c.name;
        EXPECT_NE(read.error().find(c.reason), std::string::npos) << read.error();
    }
    ASSERT_TRUE(readFileBytes(dir.file("big.txt")));
    setMemoryCeilingForTests(200000);
    const auto big = readFileBytes(dir.file("big.txt"));
    setMemoryCeilingForTests(0);
    ASSERT_FALSE(big);
    EXPECT_NE(big.error().find("メモリーに入りません"), std::string::npos) << big.error();
}

TEST(TextFiles, WriteAnewReplacesWholeAndAppendAdds) {
    TempDir dir;
    std::string path = dir.file("a.txt");
    ASSERT_TRUE(writeLinesAnew(path, {"one", "two"}));
    ASSERT_TRUE(writeLinesAnew(path, {"three"}));
    EXPECT_EQ(test::readFile(path), "three\r\n");
    ASSERT_TRUE(appendLine(path, "four"));
    EXPECT_EQ(test::readFile(path), "three\r\nfour\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(TextFiles, AFailedWriteKeepsTheOldFile) {
    TempDir dir;
    std::string path = dir.file("a.txt");
    ASSERT_TRUE(writeLinesAnew(path, {"old"}));
    // A file size limit makes the write fail halfway, as a full disk would.
    signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 1000;
    setrlimit(RLIMIT_FSIZE, &small);
    auto written = writeLinesAnew(path, {std::string(5000, 'x')});
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_FALSE(written);
    EXPECT_EQ(test::readFile(path), "old\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

    // Two files as one unit: the second cannot be written, so neither is replaced.
    std::string second = dir.file("b.txt");
    ASSERT_TRUE(writeLinesAnew(second, {"old b"}));
    setrlimit(RLIMIT_FSIZE, &small);
    written = writeFilesAnew({{path, {"new a"}}, {second, {std::string(5000, 'x')}}});
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_FALSE(written);
    EXPECT_EQ(test::readFile(path), "old\r\n");
    EXPECT_EQ(test::readFile(second), "old b\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
}

TEST(IniReader, FollowsWindowsProfileRules) {
    TempDir dir;
    std::string f = dir.file("x.ini");
    writeFile(f,
              "; comment\r\n[System]\r\n  siki   =   4.5  \r\nWorkPath=C:\\sky dir\r\nQuoted = \"a "
              "b\"\r\n"
              "noequals\r\n[Other]\r\nSiki = 9\r\n[SYSTEM]\r\nLate = 1\r\n");
    EXPECT_EQ(GetIniString(f, "SYSTEM", "Siki"), "4.5");
    EXPECT_EQ(GetIniString(f, "system", "WORKPATH"), "C:\\sky dir");
    EXPECT_EQ(GetIniString(f, "System", "Quoted"), "a b");
    EXPECT_EQ(GetIniString(f, "Other", "siki"), "9");
    EXPECT_EQ(GetIniString(f, "System", "Missing"), "");
    EXPECT_EQ(GetIniString(f, "Nowhere", "Siki"), "");
    EXPECT_EQ(GetIniString(dir.file("none.ini"), "System", "Siki"), "");
}

TEST(IniReader, SurvivesHugeLinesOddLineEndsAndEncodings) {
    TempDir dir;
    std::string f = dir.file("x.ini");
    writeFile(f, "[A]\rK = " + std::string(1 << 20, 'x') + "\rJ = 1\r");
    EXPECT_EQ(GetIniString(f, "A", "K").size(), 4095u);
    EXPECT_EQ(GetIniString(f, "A", "J"), "1");
    // A value of multi-byte characters is cut at a character boundary.
    std::string wide;
    for (int i = 0; i < 2000; ++i) wide += "設";
    writeFile(f, "[A]\nK=" + wide + "\n");
    std::string v = GetIniString(f, "A", "K");
    EXPECT_LE(v.size(), 4095u);
    EXPECT_TRUE(isValidUtf8(v));
    // CP932 text.
    writeFile(f, "[A]\r\nWorkPath = D:\\\x90\xDD\x92\xE8\r\n");
    EXPECT_EQ(GetIniString(f, "A", "WorkPath"), "D:\\設定");
}

TEST(FolderNames, SplitAtEitherSeparator) {
    struct Case {
        const char* path;
        const char* folder;
    };
    const Case cases[] = {
        {"C:\\a\\b\\c.bmp", "C:\\a\\b"},
        {"C:\\a\\b\\", "C:\\a"},
        {"C:\\x.bmp", "C:"},
        {"x.bmp", ""},
        {"", ""},
        {"/data/sky/m42.bmp", "/data/sky"},
        {"/m42.bmp", "/"},
        {"/a/b/", "/a"},
        {"rel/dir/f.bmp", "rel/dir"},
        {"C:\\\\a\\\\b.bmp", "C:\\a"},
    };
    for (const auto& c : cases) EXPECT_EQ(GetFolderName(c.path), c.folder) << c.path;
    EXPECT_EQ(fileNameOf("/a/b/c.bmp"), "c.bmp");
    EXPECT_EQ(fileNameOf("C:\\a\\c.bmp"), "c.bmp");
    EXPECT_EQ(joinPath("/a/", "b"), "/a/b");
    EXPECT_EQ(joinPath("/a", "b"), "/a/b");
}

}  // namespace
}  // namespace orv::core
