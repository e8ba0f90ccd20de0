// trace.cpp: the per-tick trace, as text or JSON Lines.
#include "match/trace.h"

#include "core/geometry.h"
#include "core/tables.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cmath>
#include <sstream>
#include <vector>

namespace {

// [SECTION] Formatting helpers

// The shortest text that reads back as the same float, for JSON: 2, 0.1, 2.8000002.
std::string number(float v) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, v).ptr;
    return std::string(text, end);
}

// For people: at most three decimals, without trailing zeros, so that the float steps of a walk read 2.8, not
// 2.8000002. Eighths (2.875) and sixteenths rounded (2.9375 reads 2.938) keep their meaning.
std::string shortNumber(float v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", static_cast<double>(v));
    std::string s = text;
    s.erase(s.find_last_not_of('0') + 1);
    if (s.back() == '.') s.pop_back();
    return s == "-0" ? "0" : s;
}

std::string jsonString(std::string_view s) {
    std::string out = "\"";
    for (const char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", u);
            out += esc;
        } else {
            out += c;  // bytes beyond ASCII are passed on; team files are plain text
        }
    }
    return out + "\"";
}

std::string who(int team, int player) { return std::to_string(team + 1) + "." + std::to_string(player + 1); }

std::string cell(float x, float y) { return "(" + shortNumber(x) + ", " + shortNumber(y) + ")"; }

// The part of a command line that the game reads, as the team file's reader scans it: the player and command, and a
// count when one follows. Whatever stands after that is ignored by the game, and is not shown as the command.
std::string commandAsRead(const std::string& line) {
    int number = 0;
    int count = 0;
    int word_end = -1;
    int count_end = -1;
    std::vector<char> word(line.size() + 1);
    std::sscanf(line.c_str(), "P%i.%s%n %i%n", &number, word.data(), &word_end, &count, &count_end);
    const int end = count_end >= 0 ? count_end : word_end;
    return end > 0 ? line.substr(0, static_cast<size_t>(end)) : line;
}

const Player& playerAt(int team, int player) {
    return game.teams[static_cast<size_t>(team)].players[static_cast<size_t>(player)];
}

const Bomb& bombAt(int team, int player, int slot) {
    return playerAt(team, player).bombs[static_cast<size_t>(slot)];
}

}  // namespace

// [SECTION] Player filter

TracePlayers TracePlayers::all() {
    TracePlayers p;
    for (auto& team : p.shown) team.fill(true);
    return p;
}

std::optional<TracePlayers> TracePlayers::parse(std::string_view list) {
    TracePlayers p;
    if (list.empty()) return std::nullopt;
    size_t at = 0;
    while (at <= list.size()) {
        const size_t comma = std::min(list.find(',', at), list.size());
        const std::string_view item = list.substr(at, comma - at);
        if (item.empty() || item[0] < '1' || item[0] > '4') return std::nullopt;
        auto& team = p.shown[static_cast<size_t>(item[0] - '1')];
        if (item.size() == 1)
            team.fill(true);
        else if (item.size() == 3 && item[1] == '.' && item[2] >= '1' && item[2] <= '4')
            team[static_cast<size_t>(item[2] - '1')] = true;
        else
            return std::nullopt;
        at = comma + 1;
    }
    return p;
}

// [SECTION] Watching

TraceWriter::TraceWriter(std::FILE* out, TraceFormat format, TracePlayers players, bool changes_only)
    : out_(out), format_(format), players_(players), changes_only_(changes_only) {}

void TraceWriter::matchStarted(const LoadedMatch& match) {
    match_ = &match;
    lines_ = teamFileLines(match);
}

void TraceWriter::tickStarting(uint64_t /*tick*/) {
    events_.clear();
    drops_.clear();
    before_ = playersBefore();
    for (size_t t = 0; t < TEAM_COUNT; ++t) running_score_[t] = game.score[t];
}

void TraceWriter::bombDropped(int t, int p, int s) {
    events_.push_back({Event::Drop, t, p, s, -1, -1, -1, true, 0});
    drops_.push_back({t, p, s});
}
void TraceWriter::bombSetOff(int t, int p, int s, int bt, int bp, int bs) {
    events_.push_back({Event::SetOff, t, p, s, bt, bp, bs, true, 0});
}
void TraceWriter::bombDetonated(int t, int p, int s) { events_.push_back({Event::Detonate, t, p, s, -1, -1, -1, true, 0}); }
void TraceWriter::playerHit(int bt, int bp, int bs, int t, int p, bool counted) {
    // The engine adds a tick's score changes at its end, saturating at the limits of the 8-bit scores; the score
    // after each hit is counted here the same way, so the last hit of the tick shows the score the tick leaves.
    int& score = running_score_[static_cast<size_t>(bt)];
    if (counted) score = std::clamp(score + (t == bt ? -1 : 1), static_cast<int>(INT8_MIN), static_cast<int>(INT8_MAX));
    events_.push_back({Event::Hit, t, p, -1, bt, bp, bs, counted, score});
}
void TraceWriter::playerDied(int t, int p) { events_.push_back({Event::Death, t, p, -1, -1, -1, -1, true, 0}); }
void TraceWriter::bombReturned(int t, int p, int s) { events_.push_back({Event::Return, t, p, s, -1, -1, -1, true, 0}); }

void TraceWriter::tickDone(uint64_t tick) {
    for (const Event& e : events_)
        if (involves(e)) writeEvent(tick, e);
    for (int t = 0; t < TEAM_COUNT; ++t)
        for (int p = 0; p < PLAYER_COUNT; ++p)
            if (players_.has(t, p)) writePlayer(tick, t, p);
}

bool TraceWriter::involves(const Event& e) const {
    return players_.has(e.team, e.player) || (e.by_team >= 0 && players_.has(e.by_team, e.by_player));
}

// [SECTION] Player lines

bool TraceWriter::changed(int t, int p, const PlayerState& state) {
    // Walking on, waiting on or standing dead are no news; a new command, a blocker met or gone, a program that
    // finishes and a player dying are.
    const std::string_view word = state.word;
    const bool telling = word == "blocked" || word == "program finished" || word == "dying" || word == "dead" ||
                         word == "waiting for a bomb in hand";
    const std::string what = telling ? std::string(word) + " " + state.detail : "";
    Shown& last = shown_[static_cast<size_t>(t)][static_cast<size_t>(p)];
    if (last.command == state.command && last.state == what) return false;
    last = {state.command, what};
    return true;
}

std::string TraceWriter::commandText(int t, int p, int command) const {
    if (match_ == nullptr || command < 0) return "";
    const auto& program = match_->teams[static_cast<size_t>(t)].players[static_cast<size_t>(p)];
    const int line = program.lines[static_cast<size_t>(command)];
    const auto& lines = lines_[static_cast<size_t>(t)];
    if (line >= 1 && static_cast<size_t>(line) <= lines.size()) return commandAsRead(lines[static_cast<size_t>(line - 1)]);
    return commandName(program.commands[static_cast<size_t>(command)].opcode);
}

void TraceWriter::writePlayer(uint64_t tick, int t, int p) {
    const Player& player = playerAt(t, p);
    const PlayerState state = playerStateAfterTick(t, p, before_[static_cast<size_t>(t)][static_cast<size_t>(p)], drops_);
    if (changes_only_ && !changed(t, p, state)) return;
    const char* facing = isWalkingPose(player.pose) ? facingName(facingOf(player.pose)) : "none";
    const std::string& file = match_ != nullptr ? match_->sources.teams[static_cast<size_t>(t)].path : "";
    int line = 0;
    std::string text;
    std::string left;
    if (state.command >= 0) {
        const auto& program = match_->teams[static_cast<size_t>(t)].players[static_cast<size_t>(p)];
        line = program.lines[static_cast<size_t>(state.command)];
        text = commandText(t, p, state.command);
        const Command& c = player.commands[static_cast<size_t>(state.command)];
        if (c.opcode == MOVE || c.opcode == WAIT) left = format_ == TraceFormat::Text ? shortNumber(c.count) : number(c.count);
    }

    buffer_.clear();
    if (format_ == TraceFormat::Text) {
        char head[160];
        std::snprintf(head, sizeof head, "%6llu  %s %-9s %-14s %-5s health %d  bombs %d  ",
                      static_cast<unsigned long long>(tick), who(t, p).c_str(), typeName(player.type),
                      cell(player.x, player.y).c_str(), facing, player.health, player.cur_bombs);
        buffer_ += head;
        if (state.command >= 0) {
            buffer_ += file + ":" + std::to_string(line) + " " + text;
            if (!left.empty()) buffer_ += " (" + left + " left)";
            buffer_ += "  ";
        }
        buffer_ += state.word;
        if (!state.detail.empty()) buffer_ += (state.word[0] == 't' ? ", " : " ") + state.detail;
        buffer_ += '\n';
    } else {
        buffer_ += "{\"tick\":" + std::to_string(tick) + ",\"team\":" + std::to_string(t + 1) +
                   ",\"player\":" + std::to_string(p + 1) + ",\"type\":\"" + typeName(player.type) +
                   "\",\"x\":" + number(player.x) + ",\"y\":" + number(player.y) + ",\"facing\":\"" + facing +
                   "\",\"health\":" + std::to_string(player.health) + ",\"status\":\"" +
                   (player.status == PLAYER_ALIVE ? "alive" : "dead") + "\",\"bombs\":" +
                   std::to_string(player.cur_bombs) + ",\"file\":" + jsonString(file) + ",\"line\":" +
                   (state.command >= 0 ? std::to_string(line) : "null") + ",\"command\":" +
                   (state.command >= 0 ? jsonString(text) : "null") +
                   ",\"count_left\":" + (left.empty() ? "null" : left) + ",\"state\":\"" + state.word + "\"";
        if (std::string_view(state.word) == "blocked") {
            buffer_ += ",\"blocked_by\":{\"kind\":\"" + std::string(state.blocker) + "\",\"x\":" +
                       std::to_string(state.cell_x) + ",\"y\":" + std::to_string(state.cell_y);
            if (state.blocker_team >= 0)
                buffer_ += ",\"team\":" + std::to_string(state.blocker_team + 1) +
                           ",\"player\":" + std::to_string(state.blocker_player + 1);
            buffer_ += "}";
        }
        buffer_ += "}\n";
    }
    std::fwrite(buffer_.data(), 1, buffer_.size(), out_);
}

// [SECTION] Event lines

void TraceWriter::writeEvent(uint64_t tick, const Event& e) {
    const bool text = format_ == TraceFormat::Text;
    const std::string head = text ? [&] {
        char h[16];
        std::snprintf(h, sizeof h, "%6llu  ", static_cast<unsigned long long>(tick));
        return std::string(h);
    }()
                                  : "{\"tick\":" + std::to_string(tick) + ",\"event\":";
    std::string line;
    switch (e.kind) {
    case Event::Drop: {
        const Bomb& b = bombAt(e.team, e.player, e.slot);
        line = text ? who(e.team, e.player) + " dropped a bomb at " + cell(b.x, b.y)
                    : "\"drop\",\"team\":" + std::to_string(e.team + 1) + ",\"player\":" +
                          std::to_string(e.player + 1) + ",\"slot\":" + std::to_string(e.slot + 1) +
                          ",\"x\":" + number(b.x) + ",\"y\":" + number(b.y);
        break;
    }
    case Event::SetOff: {
        const Bomb& b = bombAt(e.team, e.player, e.slot);
        const Bomb& by = bombAt(e.by_team, e.by_player, e.by_slot);
        line = text ? "chain: bomb of " + who(e.team, e.player) + " at " + cell(b.x, b.y) +
                          " set off by the bomb of " + who(e.by_team, e.by_player) + " at " + cell(by.x, by.y)
                    : "\"chain\",\"team\":" + std::to_string(e.team + 1) + ",\"player\":" +
                          std::to_string(e.player + 1) + ",\"slot\":" + std::to_string(e.slot + 1) +
                          ",\"x\":" + number(b.x) + ",\"y\":" + number(b.y) + ",\"by_team\":" +
                          std::to_string(e.by_team + 1) + ",\"by_player\":" + std::to_string(e.by_player + 1) +
                          ",\"by_x\":" + number(by.x) + ",\"by_y\":" + number(by.y);
        break;
    }
    case Event::Detonate: {
        const Bomb& b = bombAt(e.team, e.player, e.slot);
        const BlastCross cross = measureBlast(b);
        line = text ? "bomb of " + who(e.team, e.player) + " exploded at " + cell(b.x, b.y) + ", reaching x " +
                          shortNumber(cross.left) + ".." + shortNumber(cross.right) + " and y " +
                          shortNumber(cross.top) + ".." + shortNumber(cross.bottom)
                    : "\"explode\",\"team\":" + std::to_string(e.team + 1) + ",\"player\":" +
                          std::to_string(e.player + 1) + ",\"slot\":" + std::to_string(e.slot + 1) +
                          ",\"x\":" + number(b.x) + ",\"y\":" + number(b.y) + ",\"reach\":{\"left\":" +
                          number(cross.left) + ",\"right\":" + number(cross.right) + ",\"top\":" +
                          number(cross.top) + ",\"bottom\":" + number(cross.bottom) + "}";
        break;
    }
    case Event::Hit: {
        const Bomb& b = bombAt(e.by_team, e.by_player, e.by_slot);
        const Player& victim = playerAt(e.team, e.player);
        const int change = e.counted ? (e.team == e.by_team ? -1 : 1) : 0;
        const int score = e.score;
        char change_text[8];
        std::snprintf(change_text, sizeof change_text, "%+d", change);
        line = text ? who(e.team, e.player) + " hit by the bomb of " + who(e.by_team, e.by_player) + " from " +
                          cell(b.x, b.y) +
                          (e.counted ? ": health " + std::to_string(victim.health) + " left, team " +
                                           std::to_string(e.by_team + 1) + " " + change_text + " (score " +
                                           std::to_string(score) + ")"
                                     : ": spared, a SAFETY is unharmed by its own team's bombs")
                    : "\"hit\",\"team\":" + std::to_string(e.team + 1) + ",\"player\":" +
                          std::to_string(e.player + 1) + ",\"by_team\":" + std::to_string(e.by_team + 1) +
                          ",\"by_player\":" + std::to_string(e.by_player + 1) + ",\"bomb_x\":" + number(b.x) +
                          ",\"bomb_y\":" + number(b.y) + ",\"counted\":" + (e.counted ? "true" : "false") +
                          ",\"health\":" + std::to_string(victim.health) + ",\"score_team\":" +
                          std::to_string(e.by_team + 1) + ",\"score_change\":" + std::to_string(change) +
                          ",\"score\":" + std::to_string(score);
        break;
    }
    case Event::Death:
        line = text ? who(e.team, e.player) + " died"
                    : "\"death\",\"team\":" + std::to_string(e.team + 1) + ",\"player\":" +
                          std::to_string(e.player + 1);
        break;
    case Event::Return:
        line = text ? who(e.team, e.player) + " has its bomb back"
                    : "\"bomb_back\",\"team\":" + std::to_string(e.team + 1) + ",\"player\":" +
                          std::to_string(e.player + 1) + ",\"slot\":" + std::to_string(e.slot + 1);
        break;
    }
    line = head + line + (text ? "\n" : "}\n");
    std::fwrite(line.data(), 1, line.size(), out_);
}

void TraceWriter::matchEnded(const MatchResult& result) {
    std::string line;
    if (format_ == TraceFormat::Text) {
        char head[16];
        std::snprintf(head, sizeof head, "%6llu  ", static_cast<unsigned long long>(result.ticks));
        line = std::string(head) + (result.capped ? "end of the match (ended at the tick cap):" : "end of the match:");
        std::string winners;
        for (const TeamResult& team : result.teams) {
            line += " " + std::to_string(team.seat) + " " + team.name + " " + std::to_string(team.score) + ";";
            if (team.winner) winners += (winners.empty() ? "" : ", ") + std::to_string(team.seat);
        }
        line += winners.empty() ? " no winner\n" : " winners " + winners + "\n";
    } else {
        std::string names, scores, winners;
        for (const TeamResult& team : result.teams) {
            names += (names.empty() ? "" : ",") + jsonString(team.name);
            scores += (scores.empty() ? "" : ",") + std::to_string(team.score);
            winners += (winners.empty() ? "" : ",") + std::string(team.winner ? "true" : "false");
        }
        line = "{\"tick\":" + std::to_string(result.ticks) + ",\"event\":\"end\",\"capped\":" +
               (result.capped ? "true" : "false") + ",\"names\":[" + names + "],\"scores\":[" + scores +
               "],\"winners\":[" + winners + "]}\n";
    }
    std::fwrite(line.data(), 1, line.size(), out_);
}
