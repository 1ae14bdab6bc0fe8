// The LIST parser: UNIX and MS-DOS lines, dates, and listings it must refuse.
#include "net/ftp_listing.h"
#include "net/numbered_error.h"

#include <gtest/gtest.h>

namespace vellumite {
namespace {

using ftp_listing::ParseListing;
const FtpDateTime kToday{2026, 6, 15, 12, 0, 0};

TEST(ParseListing, UnixSymlinkLineGivesNameTargetAndOwners) {
    auto files =
        ParseListing("lrwxrwxrwx 1 owner group 11 Mar 14 09:30 www -> public_html\r\n", kToday);
    ASSERT_TRUE(files);
    ASSERT_EQ(files->Count(), 1);
    auto f = files->Item(std::string("www"));
    EXPECT_EQ(f->FileName, "www");
    EXPECT_EQ(f->FilePath, "public_html");
    EXPECT_EQ(f->Permissions, "lrwxrwxrwx");
    EXPECT_EQ(f->Owner, "owner");
    EXPECT_EQ(f->Group, "group");
    EXPECT_EQ(f->FileSize, 11);
    EXPECT_FALSE(f->IsDirectory);
    EXPECT_EQ(f->LastWriteTime, (FtpDateTime{2026, 3, 14, 9, 30, 0}));
}

TEST(ParseListing, TotalLineIsSkippedAndEntriesKeepTheirOrder) {
    const char* listing = "total 12\r\n"
                          "drwxr-xr-x    2 ftp      ftp          4096 Jan 02  2003 images\r\n"
                          "-rw-r--r--    1 ftp      ftp         52311 Jun 01 14:05 index.html\r\n"
                          "-rw-r--r--    1 1001     1001   3000000000 Dec 24  2019 big.tar\r\n";
    auto files = ParseListing(listing, kToday);
    ASSERT_TRUE(files);
    ASSERT_EQ(files->Count(), 3);
    auto dir = files->Item(1);
    EXPECT_EQ(dir->FileName, "images");
    EXPECT_TRUE(dir->IsDirectory);
    EXPECT_EQ(dir->FileSize, 4096);
    EXPECT_EQ(dir->LastWriteTime, (FtpDateTime{2003, 1, 2, 0, 0, 0})) << "a year gets 00:00";
    auto page = files->Item(2);
    EXPECT_EQ(page->FileName, "index.html");
    EXPECT_EQ(page->LastWriteTime, (FtpDateTime{2026, 6, 1, 14, 5, 0})) << "a time gets this year";
    EXPECT_EQ(page->Owner, "ftp");
    EXPECT_EQ(page->Group, "ftp");
    EXPECT_EQ(files->Item(3)->FileSize, 3000000000LL);
    std::vector<std::string> names;
    for (const auto& entry : *files)
        names.push_back(entry.item->FileName);
    EXPECT_EQ(names, (std::vector<std::string>{"images", "index.html", "big.tar"}));
}

TEST(ParseListing, TimeThatWouldLieAheadBelongsToLastYear) {
    const FtpDateTime january{2027, 1, 10, 8, 0, 0};
    auto files = ParseListing("-rw-r--r-- 1 u g 10 Dec 20 10:00 report.txt\n", january);
    ASSERT_TRUE(files);
    EXPECT_EQ(files->Item(1)->LastWriteTime, (FtpDateTime{2026, 12, 20, 10, 0, 0}));
}

TEST(ParseListing, NamesWithSpacesAndMonthWordsStayWhole) {
    auto files =
        ParseListing("-rw-r--r-- 1 u g 77 Mar 14 09:30 notes from may 2 meeting.txt\n", kToday);
    ASSERT_TRUE(files);
    EXPECT_EQ(files->Item(1)->FileName, "notes from may 2 meeting.txt");
    EXPECT_EQ(files->Item(1)->FileSize, 77);
}

TEST(ParseListing, MsDosListingWithAmPmTimes) {
    const char* listing = "01-16-02  10:35AM       <DIR>          images\r\n"
                          "11-03-25  09:05PM                 1234 index.html\r\n"
                          "12-31-99  12:00AM                    0 old file.txt\r\n";
    auto files = ParseListing(listing, kToday);
    ASSERT_TRUE(files);
    ASSERT_EQ(files->Count(), 3);
    auto images = files->Item(std::string("images"));
    EXPECT_TRUE(images->IsDirectory);
    EXPECT_EQ(images->LastWriteTime, (FtpDateTime{2002, 1, 16, 10, 35, 0}));
    auto index = files->Item(std::string("index.html"));
    EXPECT_FALSE(index->IsDirectory);
    EXPECT_EQ(index->FileSize, 1234);
    EXPECT_EQ(index->LastWriteTime, (FtpDateTime{2025, 11, 3, 21, 5, 0}));
    EXPECT_EQ(files->Item(3)->FileName, "old file.txt");
    EXPECT_EQ(files->Item(3)->LastWriteTime, (FtpDateTime{1999, 12, 31, 0, 0, 0}));
}

TEST(ParseListing, EmptyListingsGiveAnEmptyCollection) {
    for (const char* text : {"", "total 0\r\n", "total 0"}) {
        auto files = ParseListing(text, kToday);
        ASSERT_TRUE(files) << text;
        EXPECT_EQ(files->Count(), 0);
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

TEST(ParseListing, NamesDifferingInCaseAreTwoFiles) {
    auto files = ParseListing("-rw-r--r-- 1 u g 1 Mar 14 09:30 README\n"
                              "-rw-r--r-- 1 u g 2 Mar 14 09:30 readme\n",
                              kToday);
    ASSERT_TRUE(files);
    EXPECT_EQ(files->Count(), 2);
}

TEST(GetDateStartPosition, NeedsDigitsOnBothSides) {
    using ftp_listing::GetDateStartPosition;
    EXPECT_EQ(GetDateStartPosition("-rw-r--r-- 1 u g 11 Mar 14 09:30 x"), 21u);
    EXPECT_EQ(GetDateStartPosition("-rw-r--r-- 1 u g 11 Mar  4  2003 x"), 21u);
    EXPECT_EQ(GetDateStartPosition("01-16-02  10:35AM  <DIR>  images"), 0u);
    EXPECT_EQ(GetDateStartPosition("a mar b"), 0u);
}

TEST(CFtpFiles, KeyedCollectionRaisesForMissingAndDuplicateKeys) {
    CFtpFiles files;
    files.Add(std::make_shared<CFtpFile>(), "a");
    files.Add(std::make_shared<CFtpFile>(), "b");
    auto expectError = [](int number, const std::function<void()>& call) {
        try {
            call();
            ADD_FAILURE() << "no error " << number;
        } catch (const NumberedError& e) {
            EXPECT_EQ(e.number(), number);
        }
    };
    expectError(457, [&] { files.Add(std::make_shared<CFtpFile>(), "a"); });
    expectError(5, [&] { files.Item(std::string("c")); });
    expectError(9, [&] { files.Item(3); });
    files.Remove(std::string("a"));
    EXPECT_EQ(files.Count(), 1);
    EXPECT_EQ(files.Item(1), files.Item(std::string("b")));
    files.Add(std::make_shared<CFtpFile>(), "a"); // the key is free again
    EXPECT_EQ(files.Count(), 2);
}

} // namespace
} // namespace vellumite
