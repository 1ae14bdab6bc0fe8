// Form values reach the logic with CR LF line breaks, whatever breaks the page reported.
#include "support/fake_host.h"

#include <gtest/gtest.h>

namespace {

TEST(HostFormValues, LineBreaksAreCrLf) {
    vellumite::testing::FakeHost host({"webContent"});
    auto& doc = host.doc("webContent");
    doc.form("f", {{"body", ""}});
    platform::Document document = host.pane("webContent").document();
    const std::pair<std::string, std::string> cases[] = {
        {"one\ntwo", "one\r\ntwo"}, {"one\r\ntwo", "one\r\ntwo"}, {"one\rtwo", "one\r\ntwo"},
        {"\n\n", "\r\n\r\n"},       {"\r\n\n\r", "\r\n\r\n\r\n"}, {"no breaks", "no breaks"},
    };
    for (const auto& [shown, read] : cases) {
        doc.field("f", "body").value = shown;
        EXPECT_EQ(document.fieldValue(std::string("f"), "body"), read);
        EXPECT_EQ(document.formElements(std::string("f")).at(0).value, read);
    }
}

} // namespace
