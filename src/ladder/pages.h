// pages.h: the ladder's pages, rendered on the server as plain HTML that works without JavaScript. Every text that
// comes from a submitter or the database goes through escapeHtml; the pages load nothing but the ladder's own style
// sheet, so the Content-Security-Policy the server sends can forbid every script. No HTTP and no database in here.
#pragma once

#include "ladder/ratings.h"
#include "ladder/store.h"
#include "check/check.h"

#include <string>
#include <string_view>
#include <vector>

namespace ladder {

std::string escapeHtml(std::string_view text);
std::string utcTime(int64_t seconds);

// The style sheet served at /style.css.
const std::string& styleSheet();

std::string standingsPage(const LadderStandings& fitted, const std::vector<Standing>& teams, const QueueCounts& queue);

struct TeamPageData {
    Team team;
    std::vector<Version> versions;
    std::optional<Rating> rating;
    std::vector<HeadToHeadRow> head_to_head;
    std::vector<Match> history;  // newest first
    int64_t older = 0;           // the cursor of the next page of history, 0 when none
};
std::string teamPage(const TeamPageData& data);

// `viewer`: the browser viewer is served, so the page links the replay into it.
std::string matchPage(const Match& match, bool viewer);

std::string submitPage();

// What a form's submission came to, as a page: a title, a message and, for a refused file, the checker's errors.
struct FormReply {
    int status = 200;
    std::string title;
    std::string message;
    std::string token;  // shown once, after a team is created
    int64_t team_id = 0;
    std::vector<check::Diagnostic> diagnostics;
};
std::string replyPage(const FormReply& reply);

std::string notFoundPage(const std::string& what);

}  // namespace ladder
