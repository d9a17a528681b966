#include <gtest/gtest.h>

#include <windows.h>

#include "log_file.h"

TEST(LogFile, OnlyAPlainDiskFileWithOneNameIsWritten)
{
    // The reparse-point rows are what Windows reports for symbolic links,
    // junctions and mount points; Wine cannot make those.
    const struct {
        const char* what;
        DWORD fileType;
        DWORD attributes;
        DWORD links;
        bool written;
    } cases[] = {
        {"new or earlier log", FILE_TYPE_DISK, FILE_ATTRIBUTE_NORMAL, 1, true},
        {"earlier log, archived and hidden", FILE_TYPE_DISK,
         FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN, 1, true},
        {"hard link to another file", FILE_TYPE_DISK, FILE_ATTRIBUTE_ARCHIVE, 2, false},
        {"symbolic link", FILE_TYPE_DISK, FILE_ATTRIBUTE_REPARSE_POINT, 1, false},
        {"junction", FILE_TYPE_DISK, FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT, 1,
         false},
        {"directory", FILE_TYPE_DISK, FILE_ATTRIBUTE_DIRECTORY, 1, false},
        {"device", FILE_TYPE_CHAR, FILE_ATTRIBUTE_NORMAL, 1, false},
        {"pipe", FILE_TYPE_PIPE, FILE_ATTRIBUTE_NORMAL, 1, false},
        {"file being deleted", FILE_TYPE_DISK, FILE_ATTRIBUTE_NORMAL, 0, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.written, IsPlainFileOfItsOwn(c.fileType, c.attributes, c.links)) << c.what;
}
