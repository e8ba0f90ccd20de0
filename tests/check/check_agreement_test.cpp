// The checker against the game on thousands of files: the bundled teams and maps mutated line by line with a fixed
// seed, and the fuzz corpora. A file gets an error exactly when the game refuses it, the first error stands on the
// line the game names, and a map's surplus-row warnings stand on the lines the game reports. The game's side is the
// game's own compiler in a child process (its exit code and its "Error compiling" lines), and for a sample the real
// fusewick-arena executable.
#include "check/check.h"
#include "core/fusewick.h"
#include "core/utils.h"
#include "support/test_support.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <set>

#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// [SECTION] The game's verdict

struct Verdict {
    bool refused = false;
    std::optional<int> line;      // the line the game stops on, when it names one
    std::set<int> notice_lines;   // lines the game reports and accepts (a map's surplus rows)
    bool operator==(const Verdict&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Verdict& v) {
    out << (v.refused ? "refused" : "accepted") << " line " << (v.line ? std::to_string(*v.line) : "-") << " notices";
    for (int n : v.notice_lines) out << " " << n;
    return out;
}

// Reads the game's console output: "Error compiling <path>, line <n>" lines, the last one the fault's when refused.
Verdict verdictFrom(int exit_code, const std::string& path, const std::string& out) {
    Verdict v;
    v.refused = exit_code != 0;
    const std::string head = "Error compiling " + path + ", line ";
    std::vector<int> lines;
    for (size_t at = out.find(head); at != std::string::npos; at = out.find(head, at + 1))
        lines.push_back(std::stoi(out.substr(at + head.size())));
    const bool whole_file = out.find("Error compiling " + path + "\n") != std::string::npos;
    if (v.refused && !whole_file && !lines.empty()) {
        v.line = lines.back();
        lines.pop_back();
    }
    v.notice_lines.insert(lines.begin(), lines.end());
    return v;
}

// The game's compiler on `path`, as at start-up, in a child process: a team file as the file of all four teams on
// an 8 x 8 grid, or a map.
Verdict gameVerdict(const std::string& path, bool map) {
    int pipe_ends[2];
    if (pipe(pipe_ends) != 0) throw std::runtime_error("pipe failed");
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipe_ends[1], STDOUT_FILENO);
        close(pipe_ends[0]);
        if (std::freopen("/dev/null", "w", stderr) == nullptr) _exit(99);
        fwtest::resetGlobals();
        if (map) {
            config.map_file = path;
            compileMap();
        } else {
            game.width = 8;
            game.height = 8;
            initGame();
            config.team_file.fill(path);
            compileTeams();
        }
        std::exit(0);
    }
    close(pipe_ends[1]);
    std::string out;
    char buffer[4096];
    for (ssize_t n; (n = read(pipe_ends[0], buffer, sizeof buffer)) > 0;) out.append(buffer, static_cast<size_t>(n));
    close(pipe_ends[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return verdictFrom(WIFEXITED(status) ? WEXITSTATUS(status) : -1, path, out);
}

// The real fusewick-arena on `path`, as all four teams on the default map, or as the map for four default teams;
// one tick is enough to get past loading.
Verdict arenaVerdict(const std::string& path, bool map) {
    fwtest::TempDir capture;
    const std::string team = FUSEWICK_SOURCE_DIR "/default.fpl";
    std::string args = map ? "-M '" + path + "' '" + team + "' '" + team + "' '" + team + "' '" + team + "'"
                           : "-M '" FUSEWICK_SOURCE_DIR "/default.map' '" + path + "' '" + path + "' '" + path +
                                 "' '" + path + "'";
    const std::string command = "'" FUSEWICK_ARENA "' --max-ticks 1 " + args + " > '" + capture.file("out") +
                                "' 2>/dev/null < /dev/null";
    const int status = std::system(command.c_str());
    return verdictFrom(WIFEXITED(status) ? WEXITSTATUS(status) : -1, path, fwtest::readFile(capture.file("out")));
}

// The checker's verdict on the same file.
Verdict checkerVerdict(const std::string& path, bool map) {
    const SourceFile source{path, std::nullopt};
    const std::vector<check::Diagnostic> found = map ? check::checkMapFile(source) : check::checkTeamFile(source);
    Verdict v;
    for (const check::Diagnostic& d : found) {
        if (d.severity == check::Severity::Error && !v.refused) {
            v.refused = true;
            // A missing file, or a fault of the whole file (a map without its rows), has no line in the game's words.
            if (!d.message.starts_with("Only ") && !d.message.starts_with("No line ") && !d.message.starts_with("Error: "))
                v.line = d.line;
        }
        if (d.severity == check::Severity::Warning && d.message.starts_with("Expected ")) v.notice_lines.insert(d.line);
    }
    return v;
}

// [SECTION] The corpus

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

// Mutates the lines of a bundled file the ways writers get them wrong; reproducible from its seed. The random
// numbers are taken straight from the engine, whose sequence the C++ standard fixes.
class Mutator {
public:
    explicit Mutator(uint32_t seed) : rng_(seed) {}

    size_t pick(size_t n) { return n == 0 ? 0 : rng_() % n; }
    template <typename T>
    const T& oneOf(const std::vector<T>& v) { return v[pick(v.size())]; }

    std::string team(const std::string& original) {
        std::vector<std::string> lines = splitLines(original);
        std::string prefix, line_end = "\n";
        const size_t mutations = 1 + pick(3);
        for (size_t m = 0; m < mutations && !lines.empty(); ++m) {
            std::string& line = lines[pick(lines.size())];
            switch (pick(16)) {
            case 0: lines.erase(lines.begin() + static_cast<long>(pick(lines.size()))); break;
            case 1: lines.insert(lines.begin() + static_cast<long>(pick(lines.size())), line); break;
            case 2: changeCase(line); break;
            case 3: misspell(line); break;
            case 4: line = replaceCount(line); break;
            case 5: line = replacePlayer(line); break;
            case 6: lines.insert(lines.begin() + static_cast<long>(pick(lines.size())),
                                 oneOf<std::string>({"", "   ", "\t", "  # indented", "# note", "\r", "P5 HULK"}));
                    break;
            case 7: line = oneOf<std::string>({"  ", "\t", " "}) + line; break;
            case 8: prefix = "\xEF\xBB\xBF"; break;
            case 9: dot(line); break;
            case 10: line += oneOf<std::string>({" # note", " x", "\r", " 4", " three", "\tDROP", ".5"}); break;
            case 11: line = oneOf<std::string>({"#", "P1.MOVE 3", ""}) + std::string(240 + pick(40), 'x'); break;
            case 12: line = line.starts_with("#") ? line.substr(1) : "#" + line; break;
            case 13: line.insert(pick(line.size() + 1), 1, '\0'); break;
            case 14: line_end = oneOf<std::string>({"\r\n", "\r"}); break;
            default: line = replaceWord(line); break;
            }
        }
        std::string text = prefix;
        for (const std::string& l : lines) text += l + line_end;
        if (pick(8) == 0) text.resize(pick(text.size() + 1));
        return text;
    }

    std::string map(const std::string& original) {
        std::vector<std::string> lines = splitLines(original);
        size_t header = 0;
        while (header < lines.size() && (lines[header].empty() || lines[header][0] == '#')) ++header;
        unsigned w = 7, h = 5;
        if (header < lines.size()) std::sscanf(lines[header].c_str(), "%u, %u", &w, &h);
        std::string prefix, line_end = "\n";
        const size_t mutations = 1 + pick(3);
        for (size_t m = 0; m < mutations && !lines.empty(); ++m) {
            std::string& line = lines[pick(lines.size())];
            const auto size = [](unsigned a, unsigned b, const char* form) {
                char text[64];
                std::snprintf(text, sizeof text, form, a, b);
                return std::string(text);
            };
            switch (pick(12)) {
            case 0: lines.erase(lines.begin() + static_cast<long>(pick(lines.size()))); break;
            case 1: lines.insert(lines.begin() + static_cast<long>(pick(lines.size())), line); break;
            case 2:
                if (header < lines.size())
                    lines[header] = size(w + pick(3) - 1, h + pick(3) - 1,
                                         oneOf<const char*>({"%u , %u", "%ux%u", "%u %u", "%u,%u", "-%u, %u",
                                                             "%u, %u", " %u, %u # size", "0x%u, %u", "%u, -%u"}));
                break;
            case 3: line = line.substr(0, pick(line.size() + 1)); break;
            case 4: line += std::string(1 + pick(4), oneOf<char>({'-', 'X', ' '})); break;
            case 5: for (char& c : line) c = c == 'X' ? 'x' : c; break;
            case 6: lines.insert(lines.begin() + static_cast<long>(pick(lines.size())),
                                 oneOf<std::string>({"", "   ", "# c", "\r", std::string(300, '-')}));
                    break;
            case 7: prefix = "\xEF\xBB\xBF"; break;
            case 8: line_end = oneOf<std::string>({"\r\n", "\r"}); break;
            case 9: for (char& c : line) c = c == '-' ? '#' : c; break;
            case 10: if (header < lines.size()) lines[header] = size(pick(4), pick(4), "%u, %u"); break;
            default: lines.push_back(std::string(w, '-')); break;
            }
        }
        std::string text = prefix;
        for (const std::string& l : lines) text += l + line_end;
        if (pick(10) == 0) text.resize(pick(text.size() + 1));
        return text;
    }

private:
    void changeCase(std::string& line) {
        const size_t how = pick(3);
        for (char& c : line) {
            const auto u = static_cast<unsigned char>(c);
            c = static_cast<char>(how == 0 ? std::tolower(u) : how == 1 ? std::toupper(u) : pick(2) ? std::tolower(u) : c);
        }
    }

    void misspell(std::string& line) {
        if (line.size() < 4) return;
        const size_t at = 3 + pick(line.size() - 3);
        switch (pick(3)) {
        case 0: if (at + 1 < line.size()) std::swap(line[at], line[at + 1]); break;
        case 1: line.erase(at, 1); break;
        default: line.insert(at, 1, static_cast<char>('A' + pick(26))); break;
        }
    }

    std::string replaceCount(const std::string& line) {
        const std::string count = oneOf<std::string>({"0", "-3", "010", "0x10", "99999999999", "three", "3 4",
                                                      "3 # go", "09", "0x", "3000000", "+2", "2147483648"});
        const size_t blank = line.find(' ');
        return (blank == std::string::npos ? line : line.substr(0, blank)) + " " + count;
    }

    std::string replacePlayer(const std::string& line) {
        if (line.size() < 2 || line[0] != 'P') return line;
        return "P" + oneOf<std::string>({"0", "5", "-1", "01", "08", " 1", "12", "", "p"}) + line.substr(2);
    }

    void dot(std::string& line) {
        const size_t at = line.find('.');
        if (at == std::string::npos) return;
        const std::string with = oneOf<std::string>({"", " ", ",", ".."});
        line = line.substr(0, at) + with + line.substr(at + 1);
    }

    std::string replaceWord(const std::string& line) {
        const size_t at = line.find_first_of(". ");
        if (at == std::string::npos) return line;
        const std::string word = oneOf<std::string>({"CAPTIAN", "captain", "Hulk", "HULKS", "MOVE", "DORP", "drop",
                                                     "Drop", "LEFT 2", "MOVE3", "Waiting", "HULK", "DROP 3", ""});
        return line.substr(0, at + 1) + word;
    }

    std::mt19937 rng_;
};

std::vector<std::string> bundled(const std::string& pattern_ext) {
    std::vector<std::string> files;
    for (const char* dir : {"", "/teams", "/maps"})
        for (const auto& e : fs::directory_iterator(std::string(FUSEWICK_SOURCE_DIR) + dir))
            if (e.path().extension() == pattern_ext) files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::string> fuzzCorpus(const std::string& name) {
    std::vector<std::string> files;
    for (const auto& e : fs::directory_iterator(std::string(FUSEWICK_SOURCE_DIR) + "/fuzz/corpus/" + name))
        files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

// [SECTION] Tests

constexpr int TEAM_VARIANTS = 2000;
constexpr int MAP_VARIANTS = 500;

// Held by each test: a child's exit runs the destructors of static objects, which would remove a static one's files.
struct Corpus {
    fwtest::TempDir dir;
    std::vector<std::string> teams, maps;

    Corpus() {
        Mutator mutator(20240611);
        const std::vector<std::string> team_sources = bundled(".fpl");
        const std::vector<std::string> map_sources = bundled(".map");
        for (int i = 0; i < TEAM_VARIANTS; ++i)
            teams.push_back(dir.write("t" + std::to_string(i) + ".fpl",
                                      mutator.team(fwtest::readFile(team_sources[i % team_sources.size()]))));
        for (int i = 0; i < MAP_VARIANTS; ++i)
            maps.push_back(dir.write("m" + std::to_string(i) + ".map",
                                     mutator.map(fwtest::readFile(map_sources[i % map_sources.size()]))));
        for (const std::string& f : bundled(".fpl")) teams.push_back(f);
        for (const std::string& f : fuzzCorpus("team")) teams.push_back(f);
        for (const std::string& f : fuzzCorpus("check")) (f.ends_with(".map") ? maps : teams).push_back(f);
        for (const std::string& f : bundled(".map")) maps.push_back(f);
        for (const std::string& f : fuzzCorpus("map")) maps.push_back(f);
        teams.push_back(dir.file("missing.fpl"));
        teams.push_back(dir.path());  // a folder
        maps.push_back(dir.file("missing.map"));
    }
};

TEST(CheckAgreement, TeamFilesGetAnErrorExactlyWhenTheGameRefusesThemFirstOnTheGamesLine) {
    const Corpus corpus;
    int refused = 0;
    for (const std::string& file : corpus.teams) {
        const Verdict game = gameVerdict(file, false);
        EXPECT_EQ(checkerVerdict(file, false), game) << file << "\n" << fwtest::readFile(file);
        refused += game.refused ? 1 : 0;
    }
    // The corpus exercises both sides.
    EXPECT_GT(refused, TEAM_VARIANTS / 4);
    EXPECT_LT(refused, TEAM_VARIANTS * 9 / 10);
}

TEST(CheckAgreement, MapsGetAnErrorExactlyWhenTheGameRefusesThemAndWarningsWhereItDropsRows) {
    const Corpus corpus;
    int refused = 0;
    int with_notices = 0;
    for (const std::string& file : corpus.maps) {
        const Verdict game = gameVerdict(file, true);
        EXPECT_EQ(checkerVerdict(file, true), game) << file << "\n" << fwtest::readFile(file);
        refused += game.refused ? 1 : 0;
        with_notices += game.notice_lines.empty() ? 0 : 1;
    }
    EXPECT_GT(refused, MAP_VARIANTS / 5);
    EXPECT_LT(refused, MAP_VARIANTS * 9 / 10);
    EXPECT_GT(with_notices, MAP_VARIANTS / 20);
}

// The sample through the real executable: its reading of the same files on its own command line.
TEST(CheckAgreement, TheArenaExecutableAgreesOnASample) {
    const Corpus corpus;
    for (size_t i = 0; i < corpus.teams.size(); i += 50) {
        const std::string& file = corpus.teams[i];
        EXPECT_EQ(checkerVerdict(file, false), arenaVerdict(file, false)) << file;
    }
    for (size_t i = 0; i < corpus.maps.size(); i += 20) {
        const std::string& file = corpus.maps[i];
        EXPECT_EQ(checkerVerdict(file, true), arenaVerdict(file, true)) << file;
    }
}

}  // namespace
