// check_main.cpp: fusewick-check, which reads team files and maps as the game does, without playing, and reports
// every problem at once in the form editors and CI read: "file:line:column: error: message" (or warning), with
// a "note:" line for the hint; a note of its own is for information and never fails a check. A thin program on the checker's library (src/check).
//
// Exit codes: 0 without errors (warnings allowed unless --werror), 1 with errors, 2 for a bad command line.
#include "check/check.h"
#include "core/version.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int EXIT_CLEAN = 0;
constexpr int EXIT_PROBLEMS = 1;
constexpr int EXIT_BAD_USAGE = 2;

bool isMapName(const std::string& path) { return path.ends_with(".map"); }

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"fusewick-check reads team files and maps as the game does, without playing, and reports every\n"
                 "problem at once as file:line:column: error|warning: message. Errors are exactly what the game\n"
                 "refuses; warnings are what it accepts but reads otherwise than it looks.\n"
                 "Exit code: 0 without errors, 1 with errors (or warnings with --werror), 2 for a bad command line.",
                 "fusewick-check"};
    app.set_version_flag("--version", std::string("fusewick-check ") + PROGRAM_VERSION);
    bool werror = false;
    bool json = false;
    std::vector<std::string> maps;
    std::vector<std::string> files;
    app.add_flag("--werror", werror, "Fail on warnings too (exit code 1); notes never fail");
    app.add_flag("--json", json, "Print the diagnostics as a JSON array of {file, line, column, severity, message, hint}");
    app.add_option("-M,--map", maps, "A map file to check (repeatable); a FILE ending in .map is a map too")
        ->expected(1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    app.add_option("FILE", files, "Team files, and maps ending in .map");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? EXIT_CLEAN : EXIT_BAD_USAGE;
    }
    if (maps.empty() && files.empty()) {
        std::fputs("fusewick-check: no file to check\nRun with --help for more information.\n", stderr);
        return EXIT_BAD_USAGE;
    }

    std::vector<check::Diagnostic> diagnostics;
    const auto add = [&diagnostics](std::vector<check::Diagnostic> found) {
        diagnostics.insert(diagnostics.end(), found.begin(), found.end());
    };
    for (const std::string& map : maps) add(check::checkMapFile(SourceFile{map, std::nullopt}));
    std::vector<std::string> teams;
    for (const std::string& file : files) {
        if (!isMapName(file)) teams.push_back(file);
        add(isMapName(file) ? check::checkMapFile(SourceFile{file, std::nullopt})
                            : check::checkTeamFile(SourceFile{file, std::nullopt}));
    }
    add(check::sharedScoreboardNames(teams));

    const std::string report = json ? check::formatJson(diagnostics) : check::formatText(diagnostics);
    std::fputs(report.c_str(), stdout);
    if (check::hasErrors(diagnostics) || (werror && check::hasWarningsOrErrors(diagnostics))) return EXIT_PROBLEMS;
    return EXIT_CLEAN;
}
