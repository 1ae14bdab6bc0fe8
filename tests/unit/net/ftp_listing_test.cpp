// The LIST parser: UNIX and MS-DOS lines, dates, and listings it must refuse.
#include "net/ftp_listing.h"
#include "support/raises.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace vellumite {
namespace {

using ftp_listing::ParseListing;
const FtpDateTime kToday{2026, 6, 15, 12, 0, 0};

TEST(ParseListing, ReadsUnixAndMsDosLines) {
    struct Case {
        const char* line;
        const char* name;
        std::int64_t size;
        bool directory;
        int year, month, day, hour, minute; // when it was last written
    };
    const Case cases[] = {
        {"drwxr-xr-x 2 ftp ftp 4096 Jan 02  2003 images", "images", 4096, true, 2003, 1, 2, 0, 0},
        {"-rw-r--r-- 1 u g 52311 Jun 01 14:05 index.html", "index.html", 52311, false, 2026, 6, 1,
         14, 5},
        // A time that would lie ahead of today belongs to last year.
        {"-rw-r--r-- 1 u g 10 Dec 20 10:00 report.txt", "report.txt", 10, false, 2025, 12, 20, 10,
         0},
        {"-rw-r--r-- 1 1001 1001 3000000000 Dec 24  2019 big.tar", "big.tar", 3000000000LL, false,
         2019, 12, 24, 0, 0},
        {"-rw-r--r-- 1 u g 77 Mar 14 09:30 notes from may 2.txt", "notes from may 2.txt", 77, false,
         2026, 3, 14, 9, 30},
        // Spacings between the date's parts other than the usual ones.
        {"-rw-r--r-- 1 u g 5 Mar 14 2003 one-space-year.txt", "one-space-year.txt", 5, false, 2003,
         3, 14, 0, 0},
        {"-rw-r--r-- 1 u g 5 Mar 4 2003 single-spaces.txt", "single-spaces.txt", 5, false, 2003, 3,
         4, 0, 0},
        {"-rw-r--r-- 1 u g 5 Mar  4 09:30 padded-day.txt", "padded-day.txt", 5, false, 2026, 3, 4,
         9, 30},
        {"-rw-r--r-- 1 u g 5 Mar 4 9:30 short-time.txt", "short-time.txt", 5, false, 2026, 3, 4, 9,
         30},
        {"lrwxrwxrwx 1 u g 11 Mar 14 2003 www -> public_html", "www", 11, false, 2003, 3, 14, 0, 0},
        {"01-16-02  10:35AM       <DIR>          images", "images", 0, true, 2002, 1, 16, 10, 35},
        {"11-03-25  09:05PM                 1234 index.html", "index.html", 1234, false, 2025, 11,
         3, 21, 5},
        {"12-31-99  12:00AM                    0 old file.txt", "old file.txt", 0, false, 1999, 12,
         31, 0, 0},
    };
    for (const auto& c : cases) {
        auto files = ParseListing(std::string(c.line) + "\r\n", kToday);
        ASSERT_TRUE(files && files->Count() == 1) << c.line;
        const auto f = files->Item(1);
        EXPECT_EQ(f->FileName, c.name) << c.line;
        EXPECT_EQ(f->FileSize, c.size) << c.line;
        EXPECT_EQ(f->IsDirectory, c.directory) << c.line;
        EXPECT_EQ(f->LastWriteTime, (FtpDateTime{c.year, c.month, c.day, c.hour, c.minute, 0}))
            << c.line;
    }
}

TEST(ParseListing, TotalLineIsSkippedAndEntriesKeepTheirOrderCaseAndLinkTarget) {
    auto files = ParseListing("total 12\r\n"
                              "-rw-r--r-- 1 u g 1 Mar 14 09:30 readme\n"
                              "lrwxrwxrwx 1 owner group 11 Mar 14 09:30 www -> public_html\r\n"
                              "-rw-r--r-- 1 u g 3 Mar 14 09:30 README\n",
                              kToday);
    ASSERT_TRUE(files);
    std::vector<std::string> names;
    for (const auto& entry : *files)
        names.push_back(entry.item->FileName);
    EXPECT_EQ(names, (std::vector<std::string>{"readme", "www", "README"}));
    auto link = files->Item(std::string("www"));
    EXPECT_EQ(link->FilePath, "public_html");
    EXPECT_EQ(link->Permissions + " " + link->Owner + " " + link->Group, "lrwxrwxrwx owner group");
    EXPECT_EQ(link->FileSize, 11);
    EXPECT_FALSE(link->IsDirectory);
    for (const char* text : {"", "total 0\r\n", "total 0"}) {
        auto empty = ParseListing(text, kToday);
        ASSERT_TRUE(empty) << text;
        EXPECT_EQ(empty->Count(), 0);
    }
}

TEST(ParseListing, UnknownFormatsGiveNothing) {
    const char* cases[] = {
        "hello world\r\n",
        "-rw-r--r-- 1 u g abc Mar 14 09:30 x\r\n", // size not a number
        "-rw-r--r-- 1 u g 10 Feb 30 09:30 x\r\n",  // no such day
        "-rw-r--r-- 1 u g 1 Mar 14 09:30 a\r\n-rw-r--r-- 1 u g 1 Mar 14 09:30 a\r\n", // twice
        "+i8388621.29609,m824255902,/,\tdev\r\n", // another machine format
    };
    for (const char* text : cases)
        EXPECT_FALSE(ParseListing(text, kToday)) << text;
}

TEST(CFtpFiles, KeyedCollectionRaisesForMissingAndDuplicateKeys) {
    CFtpFiles files;
    files.Add(std::make_shared<CFtpFile>(), "a");
    files.Add(std::make_shared<CFtpFile>(), "b");
    using testing_support::raised;
    EXPECT_THAT(raised([&] { files.Add(std::make_shared<CFtpFile>(), "a"); }),
                ::testing::StartsWith("457 "));
    EXPECT_THAT(raised([&] { files.Item(std::string("c")); }), ::testing::StartsWith("5 "));
    EXPECT_THAT(raised([&] { files.Item(3); }), ::testing::StartsWith("9 "));
    files.Remove(std::string("a"));
    EXPECT_EQ(files.Item(1), files.Item(std::string("b")));
    files.Add(std::make_shared<CFtpFile>(), "a"); // the key is free again
    EXPECT_EQ(files.Count(), 2);
}

} // namespace
} // namespace vellumite
