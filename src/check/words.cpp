// words.cpp: keyword lists, suggestions and quoting for the checker's messages.
#include "check/words.h"

#include "core/tables.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <vector>

namespace check {

namespace {

char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool equalIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return lower(x) == lower(y);
           });
}

std::vector<std::string_view> keywords(KeywordKind kind) {
    std::vector<std::string_view> words;
    if (kind == KeywordKind::Type)
        for (const TypeInfo& t : TYPE_TABLE) words.emplace_back(t.upper);
    else
        for (const CommandInfo& c : COMMAND_TABLE) words.emplace_back(c.upper);
    return words;
}

}  // namespace

bool isScanBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

std::string keywordList(KeywordKind kind) {
    std::string list;
    for (std::string_view w : keywords(kind)) list += (list.empty() ? "" : ", ") + std::string(w);
    return list;
}

size_t editDistance(std::string_view a, std::string_view b) {
    // Optimal string alignment: the classic table with one more case for two swapped neighbours.
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t cost = lower(a[i - 1]) == lower(b[j - 1]) ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
            if (i > 1 && j > 1 && lower(a[i - 1]) == lower(b[j - 2]) && lower(a[i - 2]) == lower(b[j - 1]))
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[a.size()][b.size()];
}

std::optional<std::string> keywordIgnoringCase(std::string_view word, KeywordKind kind) {
    for (std::string_view k : keywords(kind))
        if (equalIgnoringCase(word, k)) return std::string(k);
    return std::nullopt;
}

std::optional<std::string> nearestKeyword(std::string_view word, KeywordKind kind) {
    if (word.size() > 2 * MAX_KEYWORD) return std::nullopt;  // far from every keyword, and the table stays small
    const size_t allowed = word.size() <= 4 ? 1 : 2;
    std::optional<std::string> best;
    size_t best_distance = allowed + 1;
    for (std::string_view k : keywords(kind)) {
        const size_t d = editDistance(word, k);
        if (d < best_distance) {
            best_distance = d;
            best = std::string(k);
        }
    }
    return best;
}

std::optional<std::string> keywordPrefix(std::string_view word, KeywordKind kind) {
    for (std::string_view k : keywords(kind)) {
        if (word.size() <= k.size() || !equalIgnoringCase(word.substr(0, k.size()), k)) continue;
        if (!std::isalpha(static_cast<unsigned char>(word[k.size()]))) return std::string(k);
    }
    return std::nullopt;
}

std::string inQuotes(std::string_view text) {
    std::string q = "\"";
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u >= 0x7f) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", u);
            q += hex;
        } else {
            q += c;
        }
    }
    return q + "\"";
}

}  // namespace check
