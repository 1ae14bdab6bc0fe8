#include "store/external_body.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

using namespace vellumite;

TEST(ExternalBody, OnlyTheMarkerAloneReadsTheDocumentAndItsEdgesAreKept) {
    EXPECT_TRUE(isExternalBody(" <!External Element> "));
    EXPECT_FALSE(isExternalBody("<!External Element> and more"));
    testing_support::TempDir dir;
    EXPECT_EQ(ReadExternalBody("plain <b>body</b>", 4, dir.path(), 1), "plain <b>body</b>");
    EXPECT_EQ(externalBodyFromDocument("just text"), "\njust text");
    EXPECT_EQ(externalBodyFromDocument("<body></body>"), "");
    EXPECT_EQ(externalBodyFromDocument(
                  "<BODY x>\r\n<p class=\"MsoTitle\" align=center>T</p>\r\n</body>\r\n"),
              "\n<p align=center>T</p>");
}
