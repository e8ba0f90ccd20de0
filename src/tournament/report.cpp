// report.cpp: the HTML report of a tournament.
#include "tournament/report.h"

#include "tournament/play.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <map>

namespace tournament {

namespace {

namespace fs = std::filesystem;

std::string escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

// A path for a URL: every byte that is not plainly safe written as %XX.
std::string urlPath(const std::string& path) {
    std::string out;
    for (char c : path) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isalnum(u) || c == '/' || c == '.' || c == '-' || c == '_' || c == '~') {
            out += c;
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", u);
            out += hex;
        }
    }
    return out;
}

std::string fixed(double v, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, v == 0.0 ? 0.0 : v);
    return text;
}

const char* const STYLE = R"(<style>
body{font:14px/1.4 system-ui,sans-serif;margin:1.5em auto;max-width:72em;padding:0 1em;color:#222}
h1{font-size:1.6em;margin-bottom:.2em}h2{margin-top:1.6em;border-bottom:1px solid #ccc}
table{border-collapse:collapse;margin:.6em 0}th,td{padding:.2em .6em;text-align:right;border-bottom:1px solid #eee}
th{background:#f3f3f3}td.l,th.l{text-align:left}code{font-size:12px}
.partial{background:#fde2e2;border:1px solid #c33;padding:.6em;font-weight:bold}
.bar{position:relative;width:14em;height:.8em;background:#f0f0f0}
.bar span{position:absolute;top:0;height:100%;background:#7aa7d8}.bar i{position:absolute;top:-.15em;width:2px;height:1.1em;background:#123}
td.never{color:#aaa}td.self{background:#f6f6f6}.win{font-weight:bold}.note{color:#555}
</style>)";

std::string page(const std::string& title, const std::string& body) {
    return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>" + escaped(title) + "</title>" +
           STYLE + "</head><body>\n" + body + "</body></html>\n";
}

std::string nameOf(const std::map<std::string, std::string>& names, const std::string& path) {
    const auto it = names.find(path);
    return it == names.end() ? path : it->second;
}

std::string rankingHtml(const Standings& s, const std::map<std::string, std::string>& names) {
    double low = 1e300, high = -1e300;
    for (const TeamStanding& t : s.teams)
        if (t.rated) {
            low = std::min(low, t.low);
            high = std::max(high, t.high);
        }
    const double span = high > low ? high - low : 1.0;
    const auto at = [&](double v) { return fixed(100.0 * (v - low) / span, 1); };
    std::string out = "<table><tr><th>rank</th><th class=l>team</th><th>played</th><th>wins</th><th>avg score</th>"
                      "<th>avg place</th><th>capped</th><th>rating</th><th>95% interval</th>"
                      "<th class=l>interval, drawn</th></tr>\n";
    for (const TeamStanding& t : s.teams) {
        out += "<tr><td>" + (t.rated ? std::to_string(t.rank) : "-") + "</td><td class=l title=\"" +
               escaped(t.team) + "\">" + escaped(nameOf(names, t.team)) + "</td><td>" + std::to_string(t.played) +
               "</td><td>" + fixed(t.wins, 2) + "</td><td>" + fixed(t.average_score, 2) + "</td><td>" +
               fixed(t.average_place, 2) + "</td><td>" + std::to_string(t.capped) + "</td>";
        if (t.rated)
            out += "<td>" + fixed(t.rating, 0) + "</td><td>" + fixed(t.low, 0) + " .. " + fixed(t.high, 0) +
                   "</td><td class=l><div class=bar><span style=\"left:" + at(t.low) + "%;width:" +
                   fixed(100.0 * (t.high - t.low) / span, 1) + "%\"></span><i style=\"left:" + at(t.rating) +
                   "%\"></i></div></td>";
        else
            out += "<td>capped</td><td></td><td></td>";
        out += "</tr>\n";
    }
    return out + "</table>\n";
}

std::string headToHeadHtml(const Standings& s, const std::map<std::string, std::string>& names) {
    std::map<std::pair<std::string, std::string>, const HeadToHead*> pairs;
    for (const HeadToHead& h : s.pairs) pairs[{h.team, h.opponent}] = &h;
    std::string out = "<p class=note>Each cell: the share of meetings in which the row team scored more (ties count "
                      "half), and below it how many times the two met, seat against seat.</p>\n<table><tr><th></th>";
    for (size_t c = 0; c < s.teams.size(); ++c)
        out += "<th title=\"" + escaped(nameOf(names, s.teams[c].team)) + "\">" + std::to_string(c + 1) + "</th>";
    out += "</tr>\n";
    for (size_t r = 0; r < s.teams.size(); ++r) {
        out += "<tr><th class=l>" + std::to_string(r + 1) + " " + escaped(nameOf(names, s.teams[r].team)) + "</th>";
        for (size_t c = 0; c < s.teams.size(); ++c) {
            const auto it = pairs.find({s.teams[r].team, s.teams[c].team});
            if (r == c) {
                out += "<td class=self></td>";
            } else if (it == pairs.end()) {
                out += "<td class=never>never met</td>";
            } else {
                const HeadToHead& h = *it->second;
                const double share = (static_cast<double>(h.ahead) + 0.5 * static_cast<double>(h.tied)) /
                                     static_cast<double>(h.meetings);
                out += "<td>" + fixed(100.0 * share, 0) + "%<br><small>" + std::to_string(h.meetings) +
                       "&times;</small></td>";
            }
        }
        out += "</tr>\n";
    }
    return out + "</table>\n";
}

std::string matchRows(const std::vector<MatchLine>& matches, size_t from, size_t to, const std::string& report_path,
                      const ReportInput& input, const std::map<std::string, std::string>& names) {
    std::string out = "<table><tr><th>#</th><th class=l>map</th><th class=l>seats 1 to 4: score</th><th>ticks</th>"
                      "<th class=l>replay</th><th class=l>command</th></tr>\n";
    for (size_t i = from; i < to; ++i) {
        const MatchLine& m = matches[i];
        out += "<tr id=\"m" + m.id + "\"><td>" + std::to_string(i + 1) + "</td><td class=l>" + escaped(m.map) +
               "</td><td class=l>";
        for (size_t s = 0; s < SEATS; ++s) {
            const std::string seat = escaped(nameOf(names, m.seats[s])) + " " + std::to_string(m.scores[s]);
            out += std::string(s > 0 ? ", " : "") + (m.winners[s] ? "<span class=win>" + seat + "</span>" : seat);
        }
        out += "</td><td>" + std::to_string(m.ticks) + (m.capped ? " (cap)" : "") + "</td><td class=l>";
        if (!input.replay_dir.empty())
            out += "<a href=\"" + escaped(replayLink(report_path, input.replay_dir, input.site_dir, m.id)) + "\">" +
                   m.id + "</a>";
        else
            out += m.id;
        out += "</td><td class=l><code>" + escaped(m.command) + "</code></td></tr>\n";
    }
    return out + "</table>\n";
}

std::string pagePath(const std::string& report_path, size_t number) {
    std::string stem = report_path;
    if (stem.size() > 5 && stem.ends_with(".html")) stem.resize(stem.size() - 5);
    return stem + "-matches-" + std::to_string(number) + ".html";
}

std::string fileName(const std::string& path) { return fs::path(path).filename().string(); }

}  // namespace

std::string replayLink(const std::string& report_path, const std::string& replay_dir, const std::string& site_dir,
                       const std::string& id) {
    const fs::path base = fs::absolute(fs::path(report_path)).parent_path();
    const fs::path replay = fs::absolute(fs::path(replayPath(replay_dir, id))).lexically_normal();
    const fs::path site = site_dir.empty() ? base / "site" : fs::absolute(fs::path(site_dir)).lexically_normal();
    std::error_code ec;
    if (fs::is_regular_file(site / "index.html", ec))
        return urlPath((site / "index.html").lexically_relative(base).generic_string()) + "#src=" +
               urlPath(replay.lexically_relative(site).generic_string());
    return urlPath(replay.lexically_relative(base).generic_string());
}

std::vector<ReportPage> buildReport(const std::string& path, const ReportInput& input) {
    const Standings& s = *input.standings;
    std::vector<std::string> paths;
    for (const TeamStanding& t : s.teams) paths.push_back(t.team);
    const std::map<std::string, std::string> names = displayNames(paths);

    std::string body = "<h1>Tournament standings</h1>\n<p>" + std::to_string(s.matches) +
                       (s.matches == 1 ? " match" : " matches") + ", " + std::to_string(s.teams.size()) +
                       (s.teams.size() == 1 ? " team" : " teams");
    if (s.capped_matches > 0) body += ", " + std::to_string(s.capped_matches) + " ended by the tick cap";
    body += ".</p>\n";
    if (s.expected_matches > s.matches)
        body += "<p class=partial>Partial standings: " + std::to_string(s.expected_matches - s.matches) +
                " of the schedule's " + std::to_string(s.expected_matches) + " matches are missing.</p>\n";
    body += "<p class=note>Ratings: a Bradley-Terry model on the pairs within each match, on the Elo scale (1500 the "
            "mean; 400 points are a factor of ten in the odds of finishing ahead), with 95% intervals.</p>\n";
    body += "<h2>Standings</h2>\n" + rankingHtml(s, names);
    for (const MapStandings& m : input.presentation.by_map)
        body += "<h2>On " + escaped(m.map) + "</h2>\n" + rankingHtml(m.standings, names);
    body += "<h2>Head to head</h2>\n" + headToHeadHtml(s, names);

    std::vector<ReportPage> pages;
    body += "<h2>Matches</h2>\n<p class=note>Winners in bold. The command shows the match in the game's window; the "
            "replay plays it back (<code>fusewick-arena --replay FILE</code> checks it).</p>\n";
    const size_t count = input.matches.size();
    if (count <= MATCHES_PER_PAGE) {
        body += matchRows(input.matches, 0, count, path, input, names);
    } else {
        const size_t page_count = (count + MATCHES_PER_PAGE - 1) / MATCHES_PER_PAGE;
        body += "<ul>\n";
        for (size_t k = 0; k < page_count; ++k) {
            const size_t from = k * MATCHES_PER_PAGE;
            const size_t to = std::min(count, from + MATCHES_PER_PAGE);
            const std::string file = pagePath(path, k + 1);
            body += "<li><a href=\"" + escaped(urlPath(fileName(file))) + "\">matches " + std::to_string(from + 1) +
                    " to " + std::to_string(to) + "</a></li>\n";
            std::string nav = "<p><a href=\"" + escaped(urlPath(fileName(path))) + "\">back to the standings</a>";
            if (k > 0) nav += " &middot; <a href=\"" + escaped(urlPath(fileName(pagePath(path, k)))) + "\">previous</a>";
            if (k + 1 < page_count)
                nav += " &middot; <a href=\"" + escaped(urlPath(fileName(pagePath(path, k + 2)))) + "\">next</a>";
            nav += "</p>\n";
            pages.push_back({file, page("Matches " + std::to_string(from + 1) + " to " + std::to_string(to),
                                        "<h1>Matches " + std::to_string(from + 1) + " to " + std::to_string(to) +
                                            " of " + std::to_string(count) + "</h1>\n" + nav +
                                            matchRows(input.matches, from, to, path, input, names) + nav)});
        }
        body += "</ul>\n";
    }
    pages.insert(pages.begin(), ReportPage{path, page("Tournament standings", body)});
    return pages;
}

}  // namespace tournament
