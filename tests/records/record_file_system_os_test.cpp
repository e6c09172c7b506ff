#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "drivers/record_file_system_os.h"
#include "records/records_world.h"

namespace dalmora::testing {
namespace {

int errorNumberOf(OsRecordFileSystem& files, const std::string& path, std::string_view text) {
    try {
        files.appendLines(path, text);
    } catch (const Error& error) {
        return error.number();
    }
    return 0;
}

TEST(OsRecordFileSystem, appendsToAFileItCreatesAndKeepsWhatWasThere) {
    RecordFolder folder;
    OsRecordFileSystem files;
    const std::string path = folder.file("T3 7 2612111230.Csv");

    EXPECT_FALSE(files.exists(path));
    EXPECT_FALSE(files.exists(folder.file(".Csv")));
    files.appendLines(path, "Time,PV\r\n");
    files.appendLines(path, "12:30:05,1.0\r\n");
    EXPECT_TRUE(files.exists(path));
    EXPECT_EQ(readText(path), "Time,PV\r\n12:30:05,1.0\r\n");
}

TEST(OsRecordFileSystem, fileLockedElsewhereIsRefusedAtOnceAsError70) {
    RecordFolder folder;
    OsRecordFileSystem files;
    const std::string path = folder.file("held.Csv");
    files.appendLines(path, "first\r\n");

    const int other = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(errorNumberOf(files, path, "second\r\n"), 70);
    EXPECT_EQ(readText(path), "first\r\n");

    ::close(other);
    EXPECT_EQ(errorNumberOf(files, path, "third\r\n"), 0);
    EXPECT_EQ(readText(path), "first\r\nthird\r\n");
}

// The way an operator meets it: another program holds the file with its own lock.
TEST(OsRecordFileSystem, fileLockedByAnotherProcessIsError70UntilItLetsGo) {
    RecordFolder folder;
    OsRecordFileSystem files;
    const std::string path = folder.file("held by other.Csv");
    files.appendLines(path, "first\r\n");

    int locked[2];
    int release[2];
    ASSERT_EQ(::pipe(locked), 0);
    ASSERT_EQ(::pipe(release), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const int fd = ::open(path.c_str(), O_RDONLY);
        const char ready = (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0) ? 'y' : 'n';
        [[maybe_unused]] auto written = ::write(locked[1], &ready, 1);
        char go = 0;
        [[maybe_unused]] auto got = ::read(release[0], &go, 1);
        ::_exit(0);
    }
    char ready = 0;
    ASSERT_EQ(::read(locked[0], &ready, 1), 1);
    ASSERT_EQ(ready, 'y');
    EXPECT_EQ(errorNumberOf(files, path, "second\r\n"), 70);

    const char go = 'g';
    ASSERT_EQ(::write(release[1], &go, 1), 1);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    for (int fd : {locked[0], locked[1], release[0], release[1]}) ::close(fd);

    EXPECT_EQ(errorNumberOf(files, path, "third\r\n"), 0);
    EXPECT_EQ(readText(path), "first\r\nthird\r\n");
}

TEST(OsRecordFileSystem, readOnlyFileIsError70) {
    if (::geteuid() == 0) GTEST_SKIP() << "root writes to read-only files";
    RecordFolder folder;
    OsRecordFileSystem files;
    const std::string path = folder.file("readonly.Csv");
    files.appendLines(path, "first\r\n");
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    EXPECT_EQ(errorNumberOf(files, path, "second\r\n"), 70);
}

TEST(OsRecordFileSystem, otherFailuresKeepTheirOwnNumbers) {
    RecordFolder folder;
    OsRecordFileSystem files;
    std::filesystem::create_directory(folder.path() / "folder.Csv");

    EXPECT_EQ(errorNumberOf(files, folder.file("gone/T3 7 2612111230.Csv"), "x\r\n"), 76);  // Path not found
    EXPECT_EQ(errorNumberOf(files, folder.file("folder.Csv"), "x\r\n"), 75);               // Path/File access
}

// A short write (the disk filled up part-way) is undone: the file is exactly as before.
TEST(OsRecordFileSystem, writeThatStopsPartWayIsTakenBack) {
    RecordFolder folder;
    OsRecordFileSystem files;
    const std::string path = folder.file("full.Csv");
    files.appendLines(path, "Time,PV,SV\r\n12:30:05,1.0,2.0\r\n");
    const std::string before = readText(path);

    int number = 0;
    {
        FileSizeCap cap(before.size() + 7);
        number = errorNumberOf(files, path, "12:30:06,1.0,2.0\r\n");
    }
    EXPECT_EQ(number, 61);
    EXPECT_EQ(readText(path), before);
}

}  // namespace
}  // namespace dalmora::testing
