// tables.cpp: keyword look-up in the type and command tables.
#include "core/tables.h"

namespace {

// Keywords match exactly, in their capitalised or upper-case spelling only; longer words are no keywords.
template <typename Row, size_t N>
const Row* findKeyword(const std::array<Row, N>& table, std::string_view word) {
    if (word.size() > MAX_KEYWORD) return nullptr;
    for (const Row& row : table)
        if (word == row.capitalised || word == row.upper) return &row;
    return nullptr;
}

}  // namespace

const TypeInfo* findType(std::string_view word) { return findKeyword(TYPE_TABLE, word); }

const CommandInfo* findCommand(std::string_view word) { return findKeyword(COMMAND_TABLE, word); }
