// words.h: the checker's help with words: the keyword lists of the game's tables, the nearest keyword to a
// misspelt word, and words and counts quoted safely for a terminal or an editor.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace check {

enum class KeywordKind { Type, Command };

// "CAPTAIN, GHOST, ..." in table order, upper-case spelling.
std::string keywordList(KeywordKind kind);

// The distance between two words, letters compared without case: insertions, deletions, substitutions and swaps
// of two neighbouring characters cost 1 each.
size_t editDistance(std::string_view a, std::string_view b);

// The upper-case keyword of `kind` nearest to `word`, when one is near enough to be what was meant: equal but for
// case, or 1 edit away for words of up to 4 letters, 2 for longer ones.
std::optional<std::string> nearestKeyword(std::string_view word, KeywordKind kind);

// The upper-case keyword of `kind` equal to `word` but for case.
std::optional<std::string> keywordIgnoringCase(std::string_view word, KeywordKind kind);

// The upper-case keyword of `kind` that `word` starts with (case ignored) when a non-letter follows it directly,
// as in MOVE3 or Drop,: the blank between a keyword and what follows was left out.
std::optional<std::string> keywordPrefix(std::string_view word, KeywordKind kind);

// `text` in double quotes, with control characters and bytes beyond ASCII written as \xNN.
std::string inQuotes(std::string_view text);

bool isScanBlank(char c);  // white space as the C library's scanning takes it

}  // namespace check
