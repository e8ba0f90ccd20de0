// The report's pages: the match list of a large tournament in pages of its own, linked both ways; replay links to
// the file or, with the viewer's site at hand, through it; text from the files escaped.
#include "tournament/report.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

using namespace tournament;

namespace {

MatchLine line(size_t n, const std::string& team) {
    MatchLine m;
    m.id = std::to_string(1000000 + n);
    m.map = "m.map";
    m.seats = {team, "b.fpl", "c.fpl", "d.fpl"};
    m.scores = {static_cast<int>(n % 5), 1, 0, 2};
    for (size_t s = 0; s < SEATS; ++s) m.winners[s] = m.scores[s] == std::max(m.scores[0], 2);
    m.ticks = 100;
    m.command = windowCommand(m.map, m.seats);
    return m;
}

TEST(Report, LargeMatchListsGoIntoLinkedPages) {
    std::vector<MatchLine> lines;
    for (size_t n = 0; n < 2 * MATCHES_PER_PAGE + 1; ++n) lines.push_back(line(n, "a<b>.fpl"));
    const Standings standings = computeStandings(lines);
    const std::vector<ReportPage> pages = buildReport("out/report.html", ReportInput{&standings, {}, lines, "", ""});
    ASSERT_EQ(pages.size(), 4u);
    EXPECT_EQ(pages[1].path, "out/report-matches-1.html");
    EXPECT_EQ(pages[3].path, "out/report-matches-3.html");
    EXPECT_NE(pages[0].html.find("<a href=\"report-matches-3.html\">matches 2001 to 2001</a>"), std::string::npos);
    EXPECT_LT(pages[0].html.size(), 20000u) << "the report itself stays light";
    EXPECT_NE(pages[2].html.find("<a href=\"report-matches-1.html\">previous</a>"), std::string::npos);
    EXPECT_NE(pages[2].html.find("<a href=\"report-matches-3.html\">next</a>"), std::string::npos);
    EXPECT_NE(pages[2].html.find("<a href=\"report.html\">back to the standings</a>"), std::string::npos);
    // A team file's name is text, never markup.
    EXPECT_EQ(pages[0].html.find("a<b>"), std::string::npos);
    EXPECT_NE(pages[0].html.find("a&lt;b&gt;"), std::string::npos);
}

TEST(Report, ReplayLinksGoThroughTheViewersSiteWhenItIsThere) {
    fwtest::TempDir dir;
    const std::string report = dir.file("pub/report.html");
    EXPECT_EQ(replayLink(report, dir.file("pub/replays"), "", "abc"), "replays/abc.replay");
    EXPECT_EQ(replayLink(report, dir.file("replays dir"), "", "abc"), "../replays%20dir/abc.replay");
    dir.write("pub/site/index.html", "");
    EXPECT_EQ(replayLink(report, dir.file("pub/replays"), "", "abc"), "site/index.html#src=../replays/abc.replay");
    dir.write("web/index.html", "");
    EXPECT_EQ(replayLink(report, dir.file("pub/replays"), dir.file("web"), "abc"),
              "../web/index.html#src=../pub/replays/abc.replay");
}

}  // namespace
