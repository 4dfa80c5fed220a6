// Output files a user names: written through links, directly to pipes and devices, never
// turning a special file into a plain one.

#include "core/output_file.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <thread>

#include "support/test_app.h"

namespace orv::core {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;
using test::writeFile;

// Standard output, captured in a file while `write` runs.
std::string capturedStdout(const std::string& file, const std::function<void()>& write) {
    std::fflush(stdout);
    const int saved = ::dup(STDOUT_FILENO);
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(fd, STDOUT_FILENO);
    ::close(fd);
    write();
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
    return readFile(file);
}

TEST(OutputFiles, LinksAreFollowedPipesAndDevicesWrittenOtherSpecialFilesRefused) {
    TempDir dir;
    // A regular file is replaced and keeps its permissions; a new one is made.
    writeFile(dir.file("ro.csv"), "old");
    ::chmod(dir.file("ro.csv").c_str(), 0440);
    ASSERT_TRUE(writeOutputFile(dir.file("ro.csv"), "new"));
    EXPECT_EQ(readFile(dir.file("ro.csv")), "new");
    EXPECT_EQ(fs::status(dir.file("ro.csv")).permissions(),
              fs::perms::owner_read | fs::perms::group_read);
    ASSERT_TRUE(writeOutputFile(dir.file("new.csv"), "made"));
    EXPECT_EQ(readFile(dir.file("new.csv")), "made");

    // Links: written through to the target (relative, chained, dangling); the links stay.
    fs::create_directory(dir.file("sub"));
    fs::create_symlink("sub/target.csv", dir.file("link.csv"));
    fs::create_symlink("link.csv", dir.file("chain.csv"));
    ASSERT_TRUE(writeOutputFile(dir.file("chain.csv"), "through"));
    EXPECT_TRUE(fs::is_symlink(dir.file("chain.csv")));
    EXPECT_TRUE(fs::is_symlink(dir.file("link.csv")));
    EXPECT_EQ(readFile(dir.file("sub/target.csv")), "through");
    ASSERT_TRUE(writeOutputFile(dir.file("link.csv"), "again"));
    EXPECT_EQ(readFile(dir.file("sub/target.csv")), "again");

    // A FIFO is written directly and stays a FIFO.
    ASSERT_EQ(::mkfifo(dir.file("pipe").c_str(), 0600), 0);
    std::string piped;
    std::thread reader([&] { piped = readFile(dir.file("pipe")); });
    ASSERT_TRUE(writeOutputFile(dir.file("pipe"), "to the pipe"));
    reader.join();
    EXPECT_EQ(piped, "to the pipe");
    EXPECT_TRUE(fs::is_fifo(dir.file("pipe")));

    // A character device too: a node of the null device of our own where we may make one
    // (the superuser, as CI runs), else the system's, which cannot be replaced then anyway.
    std::string device = dir.file("null");
    if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) device = "/dev/null";
    ASSERT_TRUE(writeOutputFile(device, "nothing"));
    EXPECT_TRUE(fs::is_character_file(device));

    // "-" is standard output.
    EXPECT_EQ(capturedStdout(dir.file("out"), [] { ASSERT_TRUE(writeOutputFile("-", "csv\n")); }),
              "csv\n");

    // A folder and a socket are refused and stay what they are.
    fs::create_directory(dir.file("folder.csv"));
    EXPECT_FALSE(writeOutputFile(dir.file("folder.csv"), "x"));
    EXPECT_TRUE(fs::is_directory(dir.file("folder.csv")));
    const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string socketPath = dir.file("sock");
    ASSERT_LT(socketPath.size(), sizeof addr.sun_path);
    std::copy(socketPath.begin(), socketPath.end(), addr.sun_path);
    ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    auto refused = writeOutputFile(socketPath, "x");
    ::close(s);
    EXPECT_FALSE(refused);
    EXPECT_NE(refused.error().find("sock"), std::string::npos);
    EXPECT_TRUE(fs::is_socket(socketPath));
}

}  // namespace
}  // namespace orv::core
