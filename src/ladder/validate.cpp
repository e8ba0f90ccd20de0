// validate.cpp: the checks of names and submitted team files.
#include "ladder/validate.h"

#include <mutex>

namespace ladder {

std::optional<std::string> nameProblem(std::string_view name) {
    if (name.empty()) return "a team name is required";
    if (name.size() > MAX_NAME_LENGTH) return "a team name has at most 32 characters";
    for (const char c : name) {
        const bool good = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                          c == '_' || c == '.';
        if (!good) return "a team name has only letters, digits, '-', '_' and '.'";
    }
    if (name.find_first_not_of('.') == std::string_view::npos) return "a team name is more than dots";
    return std::nullopt;
}

bool isUtf8(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        size_t extra = 0;
        uint32_t code = 0;
        if (c < 0x80) {
            ++i;
            continue;
        }
        if ((c & 0xE0) == 0xC0) {
            extra = 1;
            code = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            code = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            code = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= text.size()) return false;
        for (size_t k = 1; k <= extra; ++k) {
            const auto d = static_cast<unsigned char>(text[i + k]);
            if ((d & 0xC0) != 0x80) return false;
            code = (code << 6) | (d & 0x3F);
        }
        // Overlong forms, surrogates and code points past Unicode's end are not UTF-8.
        static constexpr uint32_t least[] = {0, 0x80, 0x800, 0x10000};
        if (code < least[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        i += extra + 1;
    }
    return true;
}

FileCheck checkSubmission(const std::string& name, const std::string& text) {
    if (text.size() > MAX_TEAM_FILE_BYTES) return {Verdict::TooLarge, "a team file has at most 65536 bytes", {}};
    if (text.find_first_not_of(" \t\r\n") == std::string::npos)
        return {Verdict::Unreadable, "the team file is empty", {}};
    if (text.find('\0') != std::string::npos)
        return {Verdict::Unreadable, "the team file holds a NUL byte: it is not text", {}};
    if (!isUtf8(text)) return {Verdict::Unreadable, "the team file is not UTF-8 text", {}};
    // The checker reads through the game's own readers; one check at a time keeps a server's threads apart.
    static std::mutex checking;
    std::vector<check::Diagnostic> diagnostics;
    {
        const std::lock_guard<std::mutex> lock(checking);
        diagnostics = check::checkTeamFile(SourceFile{name + ".fpl", text});
    }
    FileCheck out;
    for (check::Diagnostic& d : diagnostics)
        if (d.severity == check::Severity::Error) out.diagnostics.push_back(std::move(d));
    if (!out.diagnostics.empty()) out.verdict = Verdict::Refused;
    return out;
}

}  // namespace ladder
