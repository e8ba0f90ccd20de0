// validate_test.cpp: what a submission must be, and the escaping of every page's text.
#include "ladder/pages.h"
#include "ladder/validate.h"

#include <gtest/gtest.h>

namespace ladder {
namespace {

struct NameCase {
    std::string name;
    bool good;
};

class Names : public testing::TestWithParam<NameCase> {};

TEST_P(Names, AreLettersDigitsAndThreeMarks) { EXPECT_EQ(!nameProblem(GetParam().name), GetParam().good); }

INSTANTIATE_TEST_SUITE_P(
    Table, Names,
    testing::Values(NameCase{"a", true}, NameCase{"Team-1_v2.0", true}, NameCase{std::string(32, 'x'), true},
                    NameCase{"", false}, NameCase{std::string(33, 'x'), false}, NameCase{"..", false},
                    NameCase{"../etc", false}, NameCase{"<script>alert(1)</script>", false},
                    NameCase{"a b", false}, NameCase{"x'; DROP TABLE teams; --", false}, NameCase{"\"q\"", false},
                    NameCase{"caf\xC3\xA9", false}, NameCase{std::string("a\0b", 3), false}));

struct Utf8Case {
    std::string text;
    bool utf8;
};
class Utf8 : public testing::TestWithParam<Utf8Case> {};
TEST_P(Utf8, IsReadAsTheStandardSays) { EXPECT_EQ(isUtf8(GetParam().text), GetParam().utf8); }
INSTANTIATE_TEST_SUITE_P(Table, Utf8,
                         testing::Values(Utf8Case{"plain", true}, Utf8Case{"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x92\xA3", true},
                                         Utf8Case{"\xC3", false}, Utf8Case{"\xE2\x82", false},
                                         Utf8Case{"\xC0\xAF", false} /* overlong */,
                                         Utf8Case{"\xED\xA0\x80", false} /* surrogate */,
                                         Utf8Case{"\xF4\x90\x80\x80", false} /* past U+10FFFF */,
                                         Utf8Case{"\xFF", false}, Utf8Case{"\x80", false}));

TEST(Submissions, AreRefusedForWhatTheyAre) {
    EXPECT_EQ(checkSubmission("t", std::string(MAX_TEAM_FILE_BYTES + 1, '#')).verdict, Verdict::TooLarge);
    EXPECT_EQ(checkSubmission("t", "").verdict, Verdict::Unreadable);
    EXPECT_EQ(checkSubmission("t", " \n\r\n").verdict, Verdict::Unreadable);
    EXPECT_EQ(checkSubmission("t", std::string("P1 CAPTAIN\n\0\n", 13)).verdict, Verdict::Unreadable);
    EXPECT_EQ(checkSubmission("t", "P1 CAPTAIN\n\xFF\xFE\n").verdict, Verdict::Unreadable);
    const std::string types = "P1 CAPTAIN\nP2 HULK\nP3 HULK\nP4 HULK\n";
    EXPECT_EQ(checkSubmission("t", types + "P1.MOVE 1\n").verdict, Verdict::Accepted);
    const FileCheck refused = checkSubmission("t", types + "P9.MOVE 1\n");
    EXPECT_EQ(refused.verdict, Verdict::Refused);
    ASSERT_FALSE(refused.diagnostics.empty());
    EXPECT_EQ(refused.diagnostics[0].line, 5);
}

TEST(Pages, EscapeEveryTextTheyShow) {
    EXPECT_EQ(escapeHtml("<a href=\"x\">'&'</a>"), "&lt;a href=&quot;x&quot;&gt;&#39;&amp;&#39;&lt;/a&gt;");
    // A name that got into the database some other way is still shown as text.
    Team evil{7, "<script>alert(1)</script>", false, 1, 1, 0};
    const std::string page = teamPage(TeamPageData{evil, {}, std::nullopt, {}, {}, 0});
    EXPECT_EQ(page.find("<script>"), std::string::npos);
    EXPECT_NE(page.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
    FormReply reply{422, "Not accepted", "refused", "", 0, {{"t.fpl", 3, 1, check::Severity::Error, "<b>x</b>", ""}}};
    EXPECT_EQ(replyPage(reply).find("<b>x</b>"), std::string::npos);
}

}  // namespace
}  // namespace ladder
