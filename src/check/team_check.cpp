// team_check.cpp: the checks of a team file.
//
// Every significant line goes through the game's own readTeamLine, in the game's order, so the first fault found
// is the one readTeam stops on. The checker then looks at the line with the same C scanning to say what is wrong,
// mends the line where the mistake is clear (a byte-order mark, an indentation, a misspelt keyword, a missing dot)
// or skips it, and reads on. When the file is read, each player's program is walked through in ticks to find
// commands that never end, commands after them, and DROPs that wait for a bomb.
#include "check/check.h"
#include "check/file_checks.h"
#include "check/words.h"

#include "core/loaders.h"
#include "core/tables.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>
#include <filesystem>

namespace check {

namespace {

// [SECTION] A line as the game's scanning reads it

size_t skipBlanks(const std::string& s, size_t i) {
    while (i < s.size() && isScanBlank(s[i])) ++i;
    return i;
}

size_t wordEnd(const std::string& s, size_t i) {
    while (i < s.size() && !isScanBlank(s[i])) ++i;
    return i;
}

// A number as "%i" reads it from position `from` on (white space first): its value, where its text starts and
// where the scan stopped.
struct Number {
    int value;
    size_t begin, end;
};

std::optional<Number> scanNumber(const std::string& s, size_t from) {
    int value = 0;
    int length = 0;
    if (from > s.size() || std::sscanf(s.c_str() + from, "%i%n", &value, &length) != 1) return std::nullopt;
    return Number{value, skipBlanks(s, from), from + static_cast<size_t>(length)};
}

// The text from `from` to the end of the line without the trailing white space (the line end among it).
std::string restOfLine(const std::string& s, size_t from) {
    size_t end = s.size();
    while (end > from && isScanBlank(s[end - 1])) --end;
    return s.substr(from, end - from);
}

std::string capitalised(std::string s) {
    if (!s.empty()) s[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(s[0])));
    return s;
}

std::string player(int n) { return "P" + std::to_string(n); }

std::string plural(int n, const char* one, const char* many) { return std::to_string(n) + " " + (n == 1 ? one : many); }

const char* spellingsOf(const std::string& upper) {
    for (const TypeInfo& t : TYPE_TABLE)
        if (upper == t.upper) return t.capitalised;
    for (const CommandInfo& c : COMMAND_TABLE)
        if (upper == c.upper) return c.capitalised;
    return "";
}

std::string bothSpellings(const std::string& upper) { return std::string(spellingsOf(upper)) + " or " + upper; }

// [SECTION] Counts

// What a count's text is worth when read as it looks, and in the base that "%i" reads it in: a sign, then 0x and
// hexadecimal digits, 0 and octal digits, or decimal digits. Saturates far beyond 32 bits.
struct WrittenCount {
    long double value;
    int base;
};

WrittenCount writtenCount(const std::string& text) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int base = 10;
    if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    } else if (i + 1 < text.size() && text[i] == '0') {
        base = 8;
    }
    long double value = 0;
    for (; i < text.size(); ++i) {
        const int digit = std::isdigit(static_cast<unsigned char>(text[i]))
                              ? text[i] - '0'
                              : std::tolower(static_cast<unsigned char>(text[i])) - 'a' + 10;
        if (value < 1e30L) value = value * base + digit;
    }
    return {negative ? -value : value, base};
}

// How the game reads a count that it reads otherwise than it looks, or "" when it reads as it looks.
std::string countReading(const std::string& text, int value) {
    const WrittenCount written = writtenCount(text);
    const auto as_unsigned = static_cast<uint32_t>(value);
    std::string digits = text;
    if (!digits.empty() && (digits[0] == '+' || digits[0] == '-')) digits.erase(0, 1);
    if (written.base == 16 && digits.size() == 2)
        return "the count " + text + " is read as 0 (no hexadecimal digit follows the 0x)";
    if ((written.value > INT_MAX || written.value < INT_MIN) && written.value != as_unsigned)
        return "the count " + text + " does not fit in 32 bits and is read as " + std::to_string(as_unsigned);
    if (value < 0)
        return "the count " + text + " is read as " + std::to_string(as_unsigned) + " (counts are taken as unsigned)";
    if (written.base == 8 && std::stoll(digits) != value)
        return "the count " + text + " is read as " + std::to_string(value) + " (a leading 0 makes a number octal)";
    return "";
}

// The engine counts a MOVE or WAIT down by a share of 1/step_ticks a tick and ends it once the count lies within
// this of 0 (engine.cpp): a count of 0 runs past 0 at once and never ends.
constexpr double COUNT_TOLERANCE = 1.0 / 17.0;

// Beyond this many ticks a command is as good as endless: over eight hours at the window's 33 ticks a second.
constexpr uint64_t ENDLESS_TICKS = 1000000;

// Ticks a MOVE or WAIT with stored count `count` lasts for a player of `step_ticks`, or nothing when it never
// ends: the count is 0, or so large that one tick's share is lost in the float's rounding and the count stays.
std::optional<uint64_t> commandTicks(float count, unsigned step_ticks) {
    const double share = 1.0 / step_ticks;
    float c = count;
    // The rounding can only stall the count near its start, where the count is largest: a few steps tell.
    for (uint64_t tick = 1; tick <= 8; ++tick) {
        const auto next = static_cast<float>(static_cast<double>(c) - share);
        if (next == c) return std::nullopt;
        c = next;
        if (std::fabs(static_cast<double>(c)) < COUNT_TOLERANCE) return tick;
        if (c < 0.0f) return std::nullopt;  // past 0 without ending: it only grows away from 0 from here on
    }
    return static_cast<uint64_t>(std::llround(static_cast<double>(count) * step_ticks));
}

// [SECTION] Findings on a faulty line

std::string restOfLongLine(int line) {
    return "this is the rest of line " + std::to_string(line) + ", which is longer than 255 characters: the game "
           "reads at most 255 characters at a time and takes the rest for a line of its own";
}

// Why a line is refused and what the checker does about it to read on.
struct Finding {
    size_t at = 0;  // where in the line read the problem is, from 0
    std::string why;
    std::string hint;
    enum class Then { Skip, Reread, CountAsType } then = Then::Skip;
    std::string mended;     // with Reread: the line to read instead
    long shift = 0;         // with Reread: the column in the file of a place in `mended` is that place plus this
    int fill_types_to = 0;  // with Reread: first give the players up to this one a type line (as CAPTAINs)
};

Finding reread(size_t at, std::string why, std::string hint, std::string mended, long shift = 0) {
    Finding f{at, std::move(why), std::move(hint), Finding::Then::Reread, std::move(mended), shift, 0};
    return f;
}

Finding giveUp(size_t at, std::string why, std::string hint, Finding::Then then) {
    return Finding{at, std::move(why), std::move(hint), then, "", 0, 0};
}

// The mistakes at the start of a line, the same for type lines and command lines.
std::optional<Finding> lineStartFinding(const std::string& s, const char* line_kind) {
    if (s.starts_with(BYTE_ORDER_MARK))
        return reread(0,
                      "the line starts with a byte-order mark (bytes EF BB BF), which the game reads as text before "
                      "the P",
                      "save the file as UTF-8 without a byte-order mark", s.substr(3), 3);
    const size_t lead = skipBlanks(s, 0);
    if (lead == s.size())
        return giveUp(0, "the line holds only blanks: the game skips a line only when it is empty or starts with #",
                      "delete the blanks", Finding::Then::Skip);
    if (lead > 0 && s[lead] == '#')
        return giveUp(lead, std::string("a comment starts with # in the first column: an indented # line is read as a ") +
                                line_kind,
                      "move the # to the first column", Finding::Then::Skip);
    if (lead > 0)
        return reread(0, "the line is indented: the game looks for the P in the first column only",
                      "remove the blanks before the P", s.substr(lead), static_cast<long>(lead));
    if (s[0] == 'p' && s.size() > 1 && (std::isdigit(static_cast<unsigned char>(s[1])) || isScanBlank(s[1])))
        return reread(0, "the p must be a capital P", "write P" + s.substr(1, wordEnd(s, 0) - 1), "P" + s.substr(1));
    return std::nullopt;
}

// A word that is not a keyword of `kind`: a keyword in the wrong case, a keyword of the other kind, a keyword with
// the blank after it left out, a misspelling, or nothing like a keyword.
Finding wordFinding(const std::string& s, size_t begin, size_t end, KeywordKind kind, Finding::Then fallback) {
    const std::string word = s.substr(begin, end - begin);
    const bool type = kind == KeywordKind::Type;
    const std::string what = type ? "a player type" : "a command";
    const std::string list = std::string(type ? "the types are " : "the commands are ") + keywordList(kind);
    const auto replaced = [&](const std::string& keyword) { return s.substr(0, begin) + keyword + s.substr(end); };

    if (auto keyword = keywordIgnoringCase(word, kind))
        return reread(begin,
                      inQuotes(word) + " is no keyword: keywords are written capitalised or in capitals, " +
                          bothSpellings(*keyword),
                      "write " + *keyword, replaced(*keyword));
    if (type && keywordIgnoringCase(word, KeywordKind::Command))
        return giveUp(begin, inQuotes(word) + " is a command, not a player type",
                      "the first four significant lines name the types of players 1 to 4; " + list, fallback);
    if (!type && keywordIgnoringCase(word, KeywordKind::Type))
        return giveUp(begin,
                      inQuotes(word) + " is a player type, not a command: types are named on the first four "
                                     "significant lines only",
                      list, fallback);
    if (auto keyword = keywordPrefix(word, kind))
        return reread(begin + keyword->size(),
                      "a blank must separate " + *keyword + " from what follows: the game reads the word " +
                          inQuotes(word),
                      "write " + word.substr(0, keyword->size()) + " " + word.substr(keyword->size()),
                      s.substr(0, begin + keyword->size()) + " " + s.substr(begin + keyword->size()), -1);
    if (word.size() > MAX_KEYWORD)
        return giveUp(begin, inQuotes(word) + " is not " + what + ": no keyword is longer than 15 characters", list,
                      fallback);
    if (auto keyword = nearestKeyword(word, kind))
        return reread(begin, inQuotes(word) + " is not " + what, "did you mean " + *keyword + "? " + capitalised(list),
                      replaced(*keyword), static_cast<long>(word.size()) - static_cast<long>(keyword->size()));
    return giveUp(begin, inQuotes(word) + " is not " + what, list, fallback);
}

// [SECTION] The checker

// What the checker knows of a command beyond the game's record: where it stands and how its count reads.
struct CommandNote {
    int line = 0;
    int word_column = 1;
    int count_column = 0;  // 0: no count written
    std::string count_text;  // the count as written, or ""
    std::string reading;   // how the count reads when that is not how it looks, or ""
};

class TeamChecker {
public:
    explicit TeamChecker(std::string path) : path_(std::move(path)) {}

    std::vector<Diagnostic> run(const SourceFile& source) {
        TextFile file(source);
        if (!file.is_open()) {
            out_.push_back(cannotOpen(path_, FileKind::Team));
            return std::move(out_);
        }
        team_.name = teamName(path_);
        char piece[TextFile::BUFFER_SIZE];
        bool continues = false;  // the piece goes on a line of more than 255 characters
        while (file.nextLine(piece)) {
            const std::string text = piece;
            if (!TextFile::isSkipped(piece)) significantLine(text, file.line_number(), continues);
            continues = isCutPiece(text);
        }
        fileWarnings();
        for (int p = 0; p < PLAYER_COUNT; ++p) programWarnings(p);
        nameWarning();
        sortByLine(out_);
        return std::move(out_);
    }

private:
    // [SECTION] Lines

    void significantLine(const std::string& text, int number, bool continues) {
        last_significant_ = number;
        ++significant_lines_;
        std::string line = text;
        long shift = 0;
        for (int round = 0;; ++round) {
            const bool type_line = team_.types_given < PLAYER_COUNT;
            const std::optional<LoadFault> fault = readTeamLine(team_, line.c_str(), number);
            const Finding rest_of_line = giveUp(0, restOfLongLine(number - 1), "shorten line " +
                                                std::to_string(number - 1), Finding::Then::Skip);
            if (!fault) {
                if (continues) warn(number, 1, rest_of_line.why, rest_of_line.hint);
                if (type_line) typeLineAccepted(line, shift, number);
                else commandLineAccepted(line, shift, number);
                return;
            }
            Finding f = continues ? rest_of_line : type_line ? typeFault(line) : commandFault(line);
            error(number, column(f.at, shift), *fault, f, round);
            if (round >= 4 && f.then == Finding::Then::Reread) f.then = Finding::Then::Skip;
            switch (f.then) {
            case Finding::Then::Skip: return;
            case Finding::Then::CountAsType: giveTypes(team_.types_given + 1, number); return;
            case Finding::Then::Reread:
                giveTypes(f.fill_types_to, number);
                line = f.mended;
                shift += f.shift;
                break;
            }
        }
    }

    // Gives players up to `last` the type line they lack, as the CAPTAINs they play as without one.
    void giveTypes(int last, int number) {
        for (int p = team_.types_given + 1; p <= last && p <= PLAYER_COUNT; ++p) {
            readTeamLine(team_, (player(p) + " CAPTAIN").c_str(), number);
            type_line_[static_cast<size_t>(p - 1)] = number;
        }
    }

    static int column(size_t at, long shift) {
        const long c = static_cast<long>(at) + shift + 1;
        return c < 1 ? 1 : static_cast<int>(c);
    }

    // [SECTION] Faulty type lines

    Finding typeFault(const std::string& s) const {
        const int next = team_.types_given + 1;
        const std::string example = player(next) + " CAPTAIN";
        const std::string types = "the types are " + keywordList(KeywordKind::Type);
        if (auto f = lineStartFinding(s, "type line")) return *f;
        if (s[0] != 'P') {
            const std::string word = s.substr(0, wordEnd(s, 0));
            if (findType(word) != nullptr || keywordIgnoringCase(word, KeywordKind::Type))
                return reread(0, "the player is missing: a type line reads P<n> <TYPE>", "write " + player(next) +
                              " " + word, player(next) + " " + s, -static_cast<long>(player(next).size() + 1));
            return giveUp(0, "a type line reads P<n> <TYPE>, e.g. " + example,
                          "the first four significant lines name the types of players 1 to 4; " + types,
                          Finding::Then::CountAsType);
        }
        const std::optional<Number> number = scanNumber(s, 1);
        if (!number)
            return giveUp(1, "P must be followed by the player number: a type line reads P<n> <TYPE>",
                          "write " + example, Finding::Then::CountAsType);
        const size_t after = number->end;
        if (after < s.size() && s[after] == '.') {
            Finding f = reread(0,
                               "this line is a command, but only " +
                                   plural(team_.types_given, "type line comes", "type lines come") +
                                   " before it: the type line of player " + std::to_string(next) + " is missing",
                               "the first four significant lines name the types of players 1 to 4 in order: add " +
                                   (next == PLAYER_COUNT ? "the type line " + example
                                                         : "type lines from " + example + " to P4 CAPTAIN") +
                                   " before this line",
                               s);
            f.fill_types_to = PLAYER_COUNT;
            return f;
        }
        const size_t begin = skipBlanks(s, after);
        const size_t end = wordEnd(s, begin);
        const int n = number->value;
        if (n != next) {
            if (n > next && n <= PLAYER_COUNT) {
                Finding f = reread(number->begin,
                                   "the type line of player " + std::to_string(next) +
                                       " is missing: type lines name players 1 to 4 in order, one line each, and "
                                       "this one names player " + std::to_string(n),
                                   "add " + example + " (or another type) before this line", s);
                f.fill_types_to = n - 1;
                return f;
            }
            if (n >= 1 && n < next)
                return giveUp(number->begin,
                              "player " + std::to_string(n) + " has its type line already, on line " +
                                  std::to_string(type_line_[static_cast<size_t>(n - 1)]) +
                                  ": type lines name players 1 to 4 in order, one line each",
                              "this line must name player " + std::to_string(next) + ": " + example,
                              Finding::Then::Skip);
            return reread(number->begin,
                          "players are numbered 1 to 4, and this type line must name player " + std::to_string(next),
                          "write " + player(next) + s.substr(after, end - after),
                          player(next) + s.substr(after), static_cast<long>(after) - 1 - 1);
        }
        if (begin == end)
            return giveUp(after, "the type is missing after " + player(n), "write e.g. " + example + "; " + types,
                          Finding::Then::CountAsType);
        return wordFinding(s, begin, end, KeywordKind::Type, Finding::Then::CountAsType);
    }

    // [SECTION] Faulty command lines

    Finding commandFault(const std::string& s) const {
        const std::string commands = "the commands are " + keywordList(KeywordKind::Command);
        const std::string form = "a command line reads P<n>.<COMMAND> [count], e.g. P1.MOVE 3";
        if (auto f = lineStartFinding(s, "command")) return *f;
        if (s[0] != 'P') {
            const std::string word = s.substr(0, wordEnd(s, 0));
            if (keywordIgnoringCase(word, KeywordKind::Command))
                return giveUp(0, "the player is missing: " + form, "write e.g. P1." + s.substr(0, word.size()),
                              Finding::Then::Skip);
            if (keywordIgnoringCase(word, KeywordKind::Type))
                return giveUp(0,
                              "a fifth type line: the first four significant lines name the types of players 1 to "
                              "4, and every later line is a command",
                              "", Finding::Then::Skip);
            return giveUp(0, form, "", Finding::Then::Skip);
        }
        const std::optional<Number> number = scanNumber(s, 1);
        if (!number)
            return giveUp(1, "P must be followed by the player number and a dot: " + form, "", Finding::Then::Skip);
        const size_t after = number->end;
        const std::string who = player(number->value);
        if (after >= s.size() || s[after] != '.') {
            const size_t begin = skipBlanks(s, after);
            const size_t end = wordEnd(s, begin);
            const std::string word = s.substr(begin, end - begin);
            if (after < s.size() && std::isdigit(static_cast<unsigned char>(s[after])))
                return giveUp(after,
                              "the player number ends before " + inQuotes(s.substr(after, 1)) +
                                  ": a number starting with 0 is octal, and 8 and 9 are no octal digits",
                              "write the player number without a leading 0", Finding::Then::Skip);
            if (begin == end) return giveUp(after, "the command is missing: " + form, commands, Finding::Then::Skip);
            if (begin > after && keywordIgnoringCase(word, KeywordKind::Type))
                return giveUp(number->begin,
                              number->value > PLAYER_COUNT
                                  ? "there are only four players, and their types are named on the first four "
                                    "significant lines"
                                  : "a fifth type line: the first four significant lines name the types of players "
                                    "1 to 4, and every later line is a command",
                              "", Finding::Then::Skip);
            const bool letter = std::isalpha(static_cast<unsigned char>(s[after])) != 0;
            if (letter || keywordIgnoringCase(word, KeywordKind::Command) || keywordPrefix(word, KeywordKind::Command))
                return reread(after, "the dot is missing between " + who + " and " + inQuotes(word) + ": " + form,
                              "write " + who + "." + word, s.substr(0, after) + "." + s.substr(begin),
                              static_cast<long>(begin - after) - 1);
            const size_t next_word = skipBlanks(s, after + 1);
            if (!isScanBlank(s[after]) &&
                keywordIgnoringCase(s.substr(next_word, wordEnd(s, next_word) - next_word), KeywordKind::Command))
                return reread(after, "a dot must follow the player number, not " + inQuotes(s.substr(after, 1)),
                              "write " + who + "." + s.substr(next_word, wordEnd(s, next_word) - next_word),
                              s.substr(0, after) + "." + s.substr(after + 1));
            return giveUp(after, "a dot must follow the player number: " + form, "", Finding::Then::Skip);
        }
        const size_t begin = skipBlanks(s, after + 1);
        const size_t end = wordEnd(s, begin);
        if (begin == end) return giveUp(after + 1, "the command is missing after " + who + ".", commands,
                                        Finding::Then::Skip);
        if (number->value < 1 || number->value > PLAYER_COUNT)
            return giveUp(number->begin, "players are numbered 1 to 4", "a team has four players, P1 to P4",
                          Finding::Then::Skip);
        const CommandInfo* command = findCommand(s.substr(begin, end - begin));
        if (command == nullptr) return wordFinding(s, begin, end, KeywordKind::Command, Finding::Then::Skip);
        if (const std::optional<Number> count = scanNumber(s, end); count && !command->takes_count) {
            const std::string name = command->upper;
            const std::string hint = command->opcode == DROP ? "write " + who + ".DROP; for another bomb, another "
                                                               "DROP line"
                                     : command->opcode == REVERSE ? "write " + who + ".REVERSE"
                                                                  : "write " + who + "." + name +
                                                                        "; to turn again, another " + name +
                                                                        " line (two turns the same way are a REVERSE)";
            return reread(count->begin, name + " takes no count: only MOVE and WAIT do", hint, s.substr(0, end));
        }
        return giveUp(0, "the game refuses this line", "", Finding::Then::Skip);
    }

    // [SECTION] Accepted lines

    void typeLineAccepted(const std::string& s, long shift, int number) {
        type_line_[static_cast<size_t>(team_.types_given - 1)] = number;
        const size_t begin = skipBlanks(s, scanNumber(s, 1)->end);
        ignoredText(s, skipBlanks(s, wordEnd(s, begin)), shift, number, "the type");
    }

    void commandLineAccepted(const std::string& s, long shift, int number) {
        const std::optional<Number> who = scanNumber(s, 1);
        const auto p = static_cast<size_t>(who->value - 1);
        const size_t begin = skipBlanks(s, who->end + 1);
        const size_t end = wordEnd(s, begin);
        const CommandInfo& command = *findCommand(s.substr(begin, end - begin));
        CommandNote note{number, column(begin, shift), 0, "", ""};
        const std::optional<Number> count = command.takes_count ? scanNumber(s, end) : std::nullopt;
        if (count) {
            note.count_column = column(count->begin, shift);
            note.count_text = s.substr(count->begin, count->end - count->begin);
            note.reading = countReading(s.substr(count->begin, count->end - count->begin), count->value);
            ignoredText(s, skipBlanks(s, count->end), shift, number, "the count", count->end);
        } else if (command.takes_count && skipBlanks(s, end) < s.size()) {
            const size_t at = skipBlanks(s, end);
            const std::string token = s.substr(at, wordEnd(s, at) - at);
            warn(number, column(at, shift),
                 "the count " + inQuotes(token) + " is not a number: the game reads " + command.upper +
                     " without a count, as " + command.upper + " 1, and ignores the rest of the line",
                 token.starts_with("#") ? "a # starts a comment only in the first column of a line"
                                        : "write the count in digits, e.g. " + std::string(command.upper) + " 3");
        } else {
            ignoredText(s, skipBlanks(s, end), shift, number, std::string(command.upper));
        }
        notes_[p].push_back(note);
    }

    // Text after the last thing the game reads from a line, from `at` on, which the game ignores. `scan_end`: where
    // a count's scan stopped, to explain a count cut short.
    void ignoredText(const std::string& s, size_t at, long shift, int number, const std::string& after,
                     size_t scan_end = std::string::npos) {
        if (at >= s.size()) return;
        const std::string text = restOfLine(s, at);
        std::string why = "the text after " + after + " is ignored: " + inQuotes(text);
        std::string hint;
        const std::string counted = scan_end == std::string::npos ? "" : s.substr(0, scan_end);
        if (text.find('\r') != std::string::npos) {
            why = "this line holds carriage returns that end no line (no line feed follows them): the game reads "
                  "the lines as one and ignores all after " + after;
            hint = "save the file with LF or CR LF line ends";
        } else if (text.starts_with("#")) {
            hint = "a # starts a comment only in the first column of a line";
        } else if (at == scan_end && (text[0] == '8' || text[0] == '9') && counted.ends_with("0")) {
            why += ": a count starting with 0 is octal, and 8 and 9 are no octal digits";
            hint = "write the count without its leading 0";
        } else if (at == scan_end && text[0] == '.') {
            why += ": counts are whole numbers";
        } else if (scan_end != std::string::npos) {
            hint = "a command takes one count";
        }
        warn(number, column(at, shift), why, hint);
    }

    // [SECTION] The whole file

    void fileWarnings() {
        if (has_errors_) return;
        if (significant_lines_ == 0) {
            warn(1, 1, "the file has no type lines and no commands: the team plays as four CAPTAINs that stand in "
                       "their corner all match",
                 "name the types of players 1 to 4 on the first four significant lines (e.g. P1 CAPTAIN), then "
                 "give them commands (e.g. P1.MOVE 3)");
            return;
        }
        if (team_.types_given < PLAYER_COUNT) {
            warn(last_significant_, 1,
                 "the file ends after " + plural(team_.types_given, "type line", "type lines") + ": players " +
                     std::to_string(team_.types_given + 1) + " to 4 play as CAPTAINs, and no player has commands",
                 "name the types of players 1 to 4 on the first four significant lines, then give them commands "
                 "(e.g. P1.MOVE 3)");
            return;
        }
        int with_commands = 0;
        for (const PlayerProgram& p : team_.players) with_commands += p.commands.empty() ? 0 : 1;
        if (with_commands == 0) {
            warn(last_significant_, 1, "the file has no commands: the four players stand in their corner all match",
                 "give the players commands after the type lines, e.g. P1.MOVE 3");
            return;
        }
        for (int p = 0; p < PLAYER_COUNT; ++p) {
            if (!team_.players[static_cast<size_t>(p)].commands.empty()) continue;
            warn(type_line_[static_cast<size_t>(p)], 1,
                 "player " + std::to_string(p + 1) + " has no commands: it stands in its corner all match",
                 "give it commands, e.g. " + player(p + 1) + ".MOVE 3");
        }
    }

    // Walks player `p`'s program through in ticks: commands that never end and the commands they keep from ever
    // running, counts that read otherwise than they look, and DROPs that find no bomb in hand.
    void programWarnings(int p) {
        const PlayerProgram& program = team_.players[static_cast<size_t>(p)];
        const std::vector<CommandNote>& notes = notes_[static_cast<size_t>(p)];
        const TypeInfo& type = typeInfo(program.type);
        uint64_t tick = 1;  // the tick in which the next command starts
        std::vector<std::pair<uint64_t, int>> bombs_out;  // when each bomb out is back, and the line of its DROP
        for (size_t i = 0; i < program.commands.size() && i < notes.size(); ++i) {
            const Command& command = program.commands[i];
            const CommandNote& note = notes[i];
            if (command.opcode == DROP) {
                std::erase_if(bombs_out, [tick](const auto& b) { return b.first <= tick; });
                if (bombs_out.size() >= type.max_bombs) {
                    const auto first = std::min_element(bombs_out.begin(), bombs_out.end());
                    dropWaits(note, type, first->first - tick, first->second);
                    tick = first->first;
                    bombs_out.erase(first);
                }
                bombs_out.emplace_back(tick + BOMB_AWAY_TICKS, note.line);
                ++tick;
                continue;
            }
            if (command.opcode != MOVE && command.opcode != WAIT) continue;
            const std::string name = commandName(command.opcode);
            const std::optional<uint64_t> ticks = commandTicks(command.count, type.step_ticks);
            const bool last = i + 1 == program.commands.size();
            std::string why = note.reading;
            std::string hint;
            const auto add = [&why](const std::string& part) { why += (why.empty() ? "" : ", and ") + part; };
            // A program's last WAIT keeps nothing from happening, however long it lasts.
            const bool harmless = last && command.opcode == WAIT;
            if (harmless) {
                // nothing to add to how the count reads
            } else if (!ticks && command.count == 0.0f) {
                add(name + " 0 never ends: its count runs down past 0 and never reaches it");
                hint = command.opcode == MOVE ? "MOVE 1 (or MOVE alone) walks one cell"
                                              : "WAIT 1 (or WAIT alone) stands for one cell's time";
            } else if (!ticks) {
                add((why.empty() ? "a " + name + " of " + note.count_text : "a " + name + " that long") +
                    " never ends");
                hint = "so large a count never runs down: a tick's share is lost in the rounding of the game's count";
            } else if (*ticks > ENDLESS_TICKS) {
                add((why.empty() ? "a " + name + " of " + note.count_text : "a " + name + " that long") + " lasts " +
                    std::to_string(*ticks) + " ticks, about " + std::to_string(*ticks / 33 / 3600) +
                    " hours at 33 ticks a second");
            }
            if (!ticks && command.opcode == MOVE)
                hint += std::string(hint.empty() ? "" : "; ") + "the match cannot end while a player on a never-ending "
                                                                "MOVE lives";
            if (!why.empty())
                warn(note.line, note.count_column != 0 ? note.count_column : note.word_column, why, hint);
            if (ticks) {
                tick += *ticks;
                continue;
            }
            if (!last)
                warn(notes[i + 1].line, notes[i + 1].word_column,
                     "this command is never reached: " + name + " " + note.count_text + " on line " +
                         std::to_string(note.line) + " never ends" +
                         (program.commands.size() - i == 3 ? " (nor is the command after it)"
                          : program.commands.size() - i > 3
                              ? " (nor are the " + std::to_string(program.commands.size() - i - 2) + " commands after it)"
                              : ""),
                     "");
            return;
        }
    }

    // Only for the types with a single bomb: with more bombs, a DROP that waits for one is everyday tactics.
    void dropWaits(const CommandNote& note, const TypeInfo& type, uint64_t ticks, int dropped_on) {
        if (type.max_bombs != 1) return;
        warn(note.line, note.word_column,
             "this DROP waits " + plural(static_cast<int>(ticks), "tick", "ticks") + " for a bomb: a " + type.upper +
                 " has one, and the one dropped on line " + std::to_string(dropped_on) + " is back only " +
                 std::to_string(BOMB_AWAY_TICKS) + " ticks after that DROP (sooner only when another blast sets it "
                 "off); the player stands still meanwhile",
             "put " + plural(static_cast<int>(ticks), "more tick", "more ticks") + " of MOVE or WAIT before it (a " +
                 type.upper + " takes " +
                 std::to_string(type.step_ticks) + " ticks a cell), or choose a type with more bombs");
    }

    void nameWarning() {
        if (auto d = scoreboardNameWarning(path_, team_.name)) out_.push_back(*d);
    }

    // [SECTION] Reporting

    void error(int line, int col, const LoadFault& fault, const Finding& f, int round) {
        std::string message = fault.message;
        while (!message.empty() && message.back() == '\n') message.pop_back();
        message += ": " + f.why;
        if (round > 0)
            message += " (found once the problem before it on this line is mended)";
        else if (has_errors_)
            message += " (likely: the game stops on line " + std::to_string(first_fault_line_) + " before this one)";
        else
            first_fault_line_ = line;
        has_errors_ = true;
        out_.push_back(Diagnostic{path_, line, col, Severity::Error, message, f.hint});
    }

    void warn(int line, int col, std::string message, std::string hint) {
        out_.push_back(Diagnostic{path_, line, col, Severity::Warning, std::move(message), std::move(hint)});
    }

    std::string path_;
    std::vector<Diagnostic> out_;
    TeamData team_;
    bool has_errors_ = false;
    int first_fault_line_ = 0;
    int last_significant_ = 0;
    int significant_lines_ = 0;
    std::array<int, PLAYER_COUNT> type_line_{};
    std::array<std::vector<CommandNote>, PLAYER_COUNT> notes_;
};

}  // namespace

std::vector<Diagnostic> checkTeamFile(const SourceFile& source) { return TeamChecker(source.path).run(source); }

}  // namespace check
