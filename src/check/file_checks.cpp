// file_checks.cpp: file-level checks shared by team files and maps.
#include "check/file_checks.h"

#include "check/words.h"
#include "core/loaders.h"
#include "core/utils.h"
#include "gl/sprite_layout.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>

namespace check {

namespace {

std::string trimmedRight(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\n')) s.pop_back();
    return s;
}

// The letters in capitals, digits kept, anything else a gap: the name as its writer reads it.
std::string asWritten(const std::string& name) {
    std::string text;
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        text += std::isalpha(u) || std::isdigit(u) ? static_cast<char>(std::toupper(u)) : ' ';
    }
    return trimmedRight(text);
}

}  // namespace

Diagnostic cannotOpen(const std::string& path, FileKind kind) {
    const bool team = kind == FileKind::Team;
    const int code = team ? EXIT_TEAM_MISSING : EXIT_MAP_MISSING;
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    std::string why;
    if (std::filesystem::is_directory(status))
        why = std::string("this is a folder, not a ") + (team ? "team file" : "map file");
    else if (!std::filesystem::exists(status))
        why = "there is no such file";
    else
        why = "the file cannot be read";
    std::string message = trimmedRight(errorMessage(code));
    message += ": " + why + " (the game ends with exit code " + std::to_string(code) + ")";
    return Diagnostic{path, 1, 1, Severity::Error, message, ""};
}

bool isCutPiece(const std::string& piece) { return piece.size() == 255 && piece.back() != '\n'; }

std::string scoreboardText(const std::string& name) {
    std::string text;
    for (char c : name.substr(0, layout::NAME_CHARS)) {
        const auto u = static_cast<unsigned char>(c);
        // Only the 26 letters of plain ASCII have a picture in the scoreboard's font.
        text += u < 0x80 && std::isalpha(u) ? static_cast<char>(std::toupper(u)) : ' ';
    }
    return text;
}

std::optional<Diagnostic> scoreboardNameWarning(const std::string& path, const std::string& name) {
    const std::string stem = std::filesystem::path(path).stem().string();
    const std::string shown = trimmedRight(scoreboardText(name));
    if (shown == asWritten(stem)) return std::nullopt;
    std::vector<std::string> hints;
    if (name.find('/') != std::string::npos)
        hints.push_back("the name keeps the folders of the path given to the game: keep the file in the folder the "
                        "game runs from, as default.fpl is");
    else if (path.size() < 4 || path.substr(path.size() - 4) != ".fpl")
        hints.push_back("the game cuts the last four characters off the file name, taken to be .fpl: name the file " +
                        stem + ".fpl");
    const std::string window = name.substr(0, layout::NAME_CHARS);
    if (std::any_of(window.begin(), window.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
        hints.push_back("digits show as gaps: the scoreboard's font has letters only");
    if (name.size() > layout::NAME_CHARS && name.find('/') == std::string::npos)
        hints.push_back("the scoreboard shows " + std::to_string(layout::NAME_CHARS) + " characters");
    std::string hint;
    for (const std::string& h : hints) hint += (hint.empty() ? "" : "; ") + h;
    // A team kept in a folder shows under the folder's name: expected, and harmless unless two teams then look
    // alike, which sharedScoreboardNames() reports.
    const Severity severity = name.find('/') != std::string::npos ? Severity::Note : Severity::Warning;
    return Diagnostic{path, 1, 1, severity,
                      "the scoreboard shows this team as " + inQuotes(shown) + ": the team's name is " + inQuotes(name) +
                          " (the file name less its last four characters), of which the scoreboard shows the first " +
                          std::to_string(layout::NAME_CHARS) + " characters, letters only",
                      hint};
}

std::vector<Diagnostic> sharedScoreboardNames(const std::vector<std::string>& paths) {
    std::map<std::string, std::vector<std::string>> by_shown;
    for (const std::string& path : paths) {
        auto& same = by_shown[trimmedRight(scoreboardText(teamName(path)))];
        if (std::find(same.begin(), same.end(), path) == same.end()) same.push_back(path);
    }
    std::vector<Diagnostic> found;
    for (const std::string& path : paths) {
        const std::string shown = trimmedRight(scoreboardText(teamName(path)));
        const std::vector<std::string>& same = by_shown[shown];
        if (same.size() < 2 || same.front() != path) continue;
        // The first file names the others (the first three, and how many more); each other names the first.
        std::string others;
        for (size_t i = 1; i < same.size() && i <= 3; ++i) others += (others.empty() ? "" : ", ") + same[i];
        if (same.size() > 4) others += " and " + std::to_string(same.size() - 4) + " more";
        for (const std::string& each : same)
            found.push_back(Diagnostic{each, 1, 1, Severity::Warning,
                                       "the scoreboard shows this team as " + inQuotes(shown) + ", as it shows " +
                                           (each == path ? others : path),
                                       "give the files names that differ in their first " +
                                           std::to_string(layout::NAME_CHARS) +
                                           " letters, or play them from the folder they are in"});
    }
    return found;
}

void sortByLine(std::vector<Diagnostic>& diagnostics) {
    // The errors of a line keep their order: the first is the game's.
    std::stable_sort(diagnostics.begin(), diagnostics.end(), [](const Diagnostic& a, const Diagnostic& b) {
        if (a.line != b.line) return a.line < b.line;
        if (a.severity != b.severity) return a.severity == Severity::Error;
        return a.severity == Severity::Warning && a.column < b.column;
    });
}

}  // namespace check
