// pages.cpp: the HTML of the ladder's pages.
#include "ladder/pages.h"

#include "match/match.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace ladder {

namespace {

std::string fixed(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.0f", value);
    return text;
}

std::string page(const std::string& title, const std::string& body) {
    return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
           "<title>" +
           escapeHtml(title) +
           " · Fusewick ladder</title><link rel=\"stylesheet\" href=\"/style.css\"></head><body>"
           "<header><a class=\"home\" href=\"/\">Fusewick ladder</a> <nav><a href=\"/\">Standings</a> "
           "<a href=\"/submit\">Submit a team</a> <a href=\"/api/standings\">API</a></nav></header><main>"
           "<h1>" +
           escapeHtml(title) + "</h1>\n" + body + "</main></body></html>\n";
}

std::string teamLink(int64_t id, const std::string& name) {
    return "<a href=\"/teams/" + std::to_string(id) + "\">" + escapeHtml(name) + "</a>";
}

std::string ratingCells(const Rating& r) {
    if (!r.rated) return "<td class=\"num\">–</td><td class=\"num\">–</td>";
    return "<td class=\"num\">" + fixed(r.rating) + "</td><td class=\"num\">" + fixed(r.low) + " – " +
           fixed(r.high) + "</td>";
}

std::string placeName(int place) {
    static const char* names[] = {"", "1st", "2nd", "3rd", "4th"};
    return names[std::clamp(place, 1, 4)];
}

std::string historyRows(const std::vector<Match>& matches, int64_t team_id) {
    std::string rows;
    for (const Match& m : matches) {
        // The team's own seat first (the first, if it filled several), then the others as they sat.
        size_t own = 0;
        while (own + 1 < SEATS && m.seats[own].team_id != team_id) ++own;
        int place = 1;
        for (const Seat& seat : m.seats) place += seat.score > m.seats[own].score ? 1 : 0;
        rows += "<tr><td><a href=\"/matches/" + std::to_string(m.id) + "\">#" + std::to_string(m.id) +
                "</a></td><td>" + escapeHtml(utcTime(m.finished_at)) + "</td><td>" + escapeHtml(m.map) +
                "</td><td class=\"num\">" + std::to_string(m.seats[own].version) + "</td><td class=\"num\">" +
                std::to_string(m.seats[own].score) + (m.seats[own].winner ? " ★" : "") + "</td><td>" +
                placeName(place) + "</td><td>";
        bool first = true;
        for (size_t s = 0; s < SEATS; ++s) {
            if (s == own) continue;
            const Seat& seat = m.seats[s];
            rows += std::string(first ? "" : ", ") + teamLink(seat.team_id, seat.team) + " " +
                    std::to_string(seat.score) + (seat.winner ? " ★" : "");
            first = false;
        }
        rows += "</td></tr>\n";
    }
    return rows;
}

std::string tokenForm(int64_t team_id, const std::string& action, const std::string& label, bool with_file) {
    std::string form = "<form method=\"post\" action=\"/teams/" + std::to_string(team_id) + "/" + action +
                       "\"><label>Token <input name=\"token\" type=\"password\" required autocomplete=\"off\">"
                       "</label>";
    if (with_file)
        form += "<label>Team file<textarea name=\"file\" rows=\"12\" cols=\"60\" required></textarea></label>";
    return form + "<button type=\"submit\">" + escapeHtml(label) + "</button></form>";
}

}  // namespace

std::string escapeHtml(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string utcTime(int64_t seconds) {
    const auto t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M UTC", &tm);
    return text;
}

const std::string& styleSheet() {
    static const std::string css =
        "body{font-family:system-ui,sans-serif;margin:0;color:#1d2330;background:#f6f7f9}"
        "header{background:#1d2330;color:#fff;padding:.6em 1.2em;display:flex;gap:2em;align-items:baseline}"
        "header a{color:#fff;text-decoration:none;margin-right:1em}.home{font-weight:bold;font-size:1.2em}"
        "main{max-width:60em;margin:0 auto;padding:1em}table{border-collapse:collapse;width:100%;background:#fff}"
        "th,td{padding:.35em .6em;border-bottom:1px solid #dde;text-align:left}.num{text-align:right}"
        "th{background:#eef0f4}form{background:#fff;padding:1em;margin:1em 0;border:1px solid #dde}"
        "label{display:block;margin:.5em 0}textarea,input{display:block;width:100%;font-family:monospace}"
        "button{margin-top:.5em;padding:.4em 1.2em}.token{font-family:monospace;background:#fff7d6;padding:.5em;"
        "word-break:break-all}.note{color:#566}.error{color:#a01010}";
    return css;
}

std::string standingsPage(const LadderStandings& fitted, const std::vector<Standing>& teams, const QueueCounts& queue) {
    std::string body = "<p class=\"note\">" + std::to_string(fitted.matches) + " matches played, " +
                       std::to_string(queue.queued + queue.claimed) + " waiting, " + std::to_string(queue.workers) +
                       (queue.workers == 1 ? " worker." : " workers.") + " Ratings on the Elo scale with 95 % intervals; a new version plays placement "
                       "matches before it is rated.</p>";
    if (teams.empty()) {
        body += "<p>No teams yet. <a href=\"/submit\">Submit the first one</a>.</p>";
        return page("Standings", body);
    }
    body += "<table><thead><tr><th class=\"num\">#</th><th>Team</th><th class=\"num\">Rating</th>"
            "<th class=\"num\">95 % interval</th><th class=\"num\">Matches</th><th class=\"num\">Version</th>"
            "</tr></thead><tbody>\n";
    int rank = 0;
    for (const Standing& s : teams) {
        body += "<tr><td class=\"num\">" + (s.rating.rated ? std::to_string(++rank) : std::string("–")) +
                "</td><td>" + teamLink(s.team.id, s.team.name) + "</td>" + ratingCells(s.rating) +
                "<td class=\"num\">" + std::to_string(s.rating.matches) + "</td><td class=\"num\">" +
                std::to_string(s.team.version) + "</td></tr>\n";
    }
    return page("Standings", body + "</tbody></table>");
}

std::string teamPage(const TeamPageData& d) {
    std::string body;
    body += "<p>" + std::string(d.team.withdrawn ? "Withdrawn; its matches stay in the history." : "Active") +
            ", version " + std::to_string(d.team.version) + ", submitted " + escapeHtml(utcTime(d.team.created_at));
    if (d.rating && d.rating->rated)
        body += ". Rating " + fixed(d.rating->rating) + " (95 %: " + fixed(d.rating->low) + " – " +
                fixed(d.rating->high) + ") after " + std::to_string(d.rating->matches) + " matches";
    body += ".</p>\n<h2>Versions</h2><table><thead><tr><th>Version</th><th>Submitted</th></tr></thead><tbody>";
    for (const Version& v : d.versions)
        body += "<tr><td>" + std::to_string(v.number) + "</td><td>" + escapeHtml(utcTime(v.created_at)) +
                "</td></tr>";
    body += "</tbody></table>\n<h2>Head to head</h2>";
    if (d.head_to_head.empty()) {
        body += "<p class=\"note\">No meetings yet.</p>";
    } else {
        body += "<table><thead><tr><th>Opponent</th><th class=\"num\">Meetings</th><th class=\"num\">Ahead</th>"
                "<th class=\"num\">Tied</th><th class=\"num\">Behind</th></tr></thead><tbody>";
        for (const HeadToHeadRow& h : d.head_to_head)
            body += "<tr><td>" + teamLink(h.opponent, h.name) + "</td><td class=\"num\">" +
                    std::to_string(h.meetings) + "</td><td class=\"num\">" + std::to_string(h.ahead) +
                    "</td><td class=\"num\">" + std::to_string(h.tied) + "</td><td class=\"num\">" +
                    std::to_string(h.behind) + "</td></tr>";
        body += "</tbody></table>";
    }
    body += "\n<h2>History</h2>";
    if (d.history.empty()) {
        body += "<p class=\"note\">No matches played yet.</p>";
    } else {
        body += "<p class=\"note\">★ marks a winner (equal top scores all win).</p><table><thead><tr><th>Match</th>"
                "<th>Played</th><th>Map</th><th class=\"num\">Version</th><th class=\"num\">Score</th><th>Place</th>"
                "<th>Others and their scores</th></tr></thead><tbody>" +
                historyRows(d.history, d.team.id) + "</tbody></table>";
        if (d.older != 0)
            body += "<p><a href=\"/teams/" + std::to_string(d.team.id) + "?before=" + std::to_string(d.older) +
                    "\">Older matches</a></p>";
    }
    if (!d.team.withdrawn) {
        body += "\n<h2>Replace or withdraw</h2><p class=\"note\">With the token given when the team was "
                "submitted.</p>" +
                tokenForm(d.team.id, "replace", "Submit a new version", true) +
                tokenForm(d.team.id, "withdraw", "Withdraw the team", false);
    }
    return page("Team " + d.team.name, body);
}

std::string matchPage(const Match& m, bool viewer) {
    const std::string id = std::to_string(m.id);
    std::string body = "<p>Map " + escapeHtml(m.map) + ", ";
    if (m.state == "done") {
        body += std::to_string(m.ticks) + " ticks" + (m.capped ? " (ended by the tick cap)" : "") + ", played " +
                escapeHtml(utcTime(m.finished_at)) + ".</p>";
    } else {
        body += escapeHtml(m.state) + ".</p>";
    }
    body += "<table><thead><tr><th>Seat</th><th>Corner</th><th>Team</th><th class=\"num\">Version</th>"
            "<th class=\"num\">Score</th><th>Result</th></tr></thead><tbody>";
    for (size_t s = 0; s < SEATS; ++s) {
        const Seat& seat = m.seats[s];
        body += "<tr><td>" + std::to_string(s + 1) + "</td><td>" + seatCorner(static_cast<int>(s + 1)) + "</td><td>" +
                teamLink(seat.team_id, seat.team) + "</td><td class=\"num\">" + std::to_string(seat.version) +
                "</td><td class=\"num\">" + (m.state == "done" ? std::to_string(seat.score) : "") + "</td><td>" +
                (seat.winner ? "winner" : "") + "</td></tr>";
    }
    body += "</tbody></table>";
    if (m.state == "done") {
        const std::string replay = "/api/matches/" + id + "/replay";
        if (viewer) body += "<p><a href=\"/site/index.html#src=" + replay + "\">Watch the replay in the viewer</a></p>";
        body += "<p><a href=\"" + replay + "\" download=\"match-" + id +
                ".replay\">Download the replay</a>; <code>fusewick-arena --replay match-" + id +
                ".replay</code> plays it again and checks it.</p>";
    }
    return page("Match #" + id, body);
}

std::string submitPage() {
    return page("Submit a team",
                "<p>A team file as the game reads it, up to 64 KiB. The name: 1 to 32 letters, digits, '-', '_' "
                "and '.'. You get a token once: keep it to replace or withdraw the team.</p>"
                "<form method=\"post\" action=\"/submit\"><label>Team name <input name=\"name\" required "
                "maxlength=\"32\" pattern=\"[A-Za-z0-9._\\-]{1,32}\"></label><label>Team file<textarea name=\"file\" "
                "rows=\"16\" cols=\"60\" required></textarea></label><button type=\"submit\">Submit</button></form>");
}

std::string replyPage(const FormReply& r) {
    std::string body = "<p" + std::string(r.status >= 400 ? " class=\"error\"" : "") + ">" + escapeHtml(r.message) +
                       "</p>";
    if (!r.token.empty())
        body += "<p>Your token, shown only this once:</p><p class=\"token\">" + escapeHtml(r.token) + "</p>";
    if (!r.diagnostics.empty()) {
        body += "<table><thead><tr><th class=\"num\">Line</th><th class=\"num\">Column</th><th>Message</th></tr>"
                "</thead><tbody>";
        for (const check::Diagnostic& d : r.diagnostics)
            body += "<tr><td class=\"num\">" + std::to_string(d.line) + "</td><td class=\"num\">" +
                    std::to_string(d.column) + "</td><td>" + escapeHtml(d.message) + "</td></tr>";
        body += "</tbody></table>";
    }
    if (r.team_id != 0) body += "<p><a href=\"/teams/" + std::to_string(r.team_id) + "\">To the team's page</a></p>";
    return page(r.title, body);
}

std::string notFoundPage(const std::string& what) { return page("Not found", "<p>" + escapeHtml(what) + "</p>"); }

}  // namespace ladder
