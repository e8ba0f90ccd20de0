// store_test.cpp: the ladder's records on a real SQLite file and, when LADDER_PG_URL names one (with_postgres.sh
// starts it), on a real PostgreSQL server: the same cases on both. Claims are the heart: a match is stored once,
// by the claim that still holds it, with its replay in the same transaction.
#include "ladder/ratings.h"
#include "ladder/store.h"
#include "ladder/worker.h"

#include "core/version.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace ladder {
namespace {

const char* TEAM_TEXT = "P1 CAPTAIN\nP2 HULK\nP3 HULK\nP4 HULK\nP1.MOVE 1\n";

class StoreTest : public testing::TestWithParam<Dialect> {
protected:
    void SetUp() override {
        if (GetParam() == Dialect::Postgres) {
            const char* url = std::getenv("LADDER_PG_URL");
            if (url == nullptr) GTEST_SKIP() << "no LADDER_PG_URL: run through tests/ladder/with_postgres.sh";
            db = openDb(url);
            db->run("DROP SCHEMA public CASCADE");
            db->run("CREATE SCHEMA public");
        } else {
            path = std::filesystem::temp_directory_path() / ("ladder_store_" + std::to_string(getpid()) + ".db");
            std::filesystem::remove(path);
            db = openDb(path.string());
        }
        migrate(*db);
        saveMaps(*db, {{0, "a.map", "map text"}, {0, "b.map", "map text"}});
    }
    void TearDown() override {
        db.reset();
        if (!path.empty())
            for (const char* end : {"", "-wal", "-shm", "-writers"}) std::filesystem::remove(path.string() + end);
    }
    int64_t team(const std::string& name) { return createTeam(*db, name, "hash", TEAM_TEXT).team.id; }
    std::array<int64_t, SEATS> fourVersions() {
        return {findTeam(*db, team("a"))->version_id, findTeam(*db, team("b"))->version_id,
                findTeam(*db, team("c"))->version_id, findTeam(*db, team("d"))->version_id};
    }

    std::filesystem::path path;
    std::unique_ptr<Db> db;
};

TEST_P(StoreTest, MigratingAgainChangesNothing) {
    const int version = schemaVersion(*db);
    migrate(*db);
    EXPECT_EQ(schemaVersion(*db), version);
    EXPECT_EQ(ladderEngine(*db), ENGINE_VERSION);
}

// Values travel apart from the statements: quotes, question marks, placeholders and every byte come back as sent.
TEST_P(StoreTest, TextsAndBytesComeBackAsTheyWent) {
    const std::string text = "P1 HULK\n# it's a \"test\" ? $1 \\x00 ?' -- ; DROP TABLE teams; \x01\n";
    const Created created = createTeam(*db, "o'brien?", "hash", text);
    EXPECT_EQ(findTeam(*db, created.team.id)->name, "o'brien?");
    EXPECT_EQ(findVersion(*db, created.team.version_id)->source, text);
    std::string bytes;
    for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
    const auto versions = fourVersions();
    const int64_t id = queueMatch(*db, activeMaps(*db)[0].id, versions);
    ASSERT_TRUE(finishMatch(*db, *claimMatch(*db, "w", 60), Outcome{}, StoredReplay{bytes, true}, "w"));
    EXPECT_EQ(replayOf(*db, id)->data, bytes);
    EXPECT_TRUE(replayOf(*db, id)->sources_by_reference);
}

// A ladder made by the first schema keeps its replays, stored whole, when a later program opens it.
TEST_P(StoreTest, AnUpgradeKeepsTheReplaysStoredWhole) {
    db->run("DROP TABLE schema_migrations");
    for (const char* table : {"seats", "replays", "matches", "workers", "versions", "teams", "maps", "settings"})
        db->run(std::string("DROP TABLE ") + table);
    migrate(*db, 1);
    saveMaps(*db, {{0, "a.map", "map text"}});
    std::vector<Value> row{activeMaps(*db)[0].id};
    const auto versions = fourVersions();
    for (const int64_t v : versions) row.emplace_back(v);
    for (const int64_t v : versions) row.emplace_back(findVersion(*db, v)->team_id);
    const int64_t id = db->run("INSERT INTO matches (map_id, v1, v2, v3, v4, t1, t2, t3, t4, created_at, state) "
                               "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, 0, 'done') RETURNING id",
                               row)
                           .number();
    db->run("INSERT INTO replays (match_id, data) VALUES (?, ?)", {id, Bytes{std::string("whole\0replay", 12)}});
    migrate(*db);
    EXPECT_EQ(playedMatches(*db, std::get<int64_t>(row[8]), 0, 10).size(), 1u) << "the team's matches, as before";
    EXPECT_EQ(replayOf(*db, id)->data, std::string("whole\0replay", 12));
    EXPECT_FALSE(replayOf(*db, id)->sources_by_reference);
    if (GetParam() == Dialect::Sqlite) {
        EXPECT_EQ(db->run("SELECT COUNT(*) FROM sqlite_master WHERE tbl_name = 'replays' AND type = 'index'").number(),
                  0)
            << "the match id is the row id: no second index to write";
    }
}

TEST_P(StoreTest, NamesAreUniqueWithoutRegardToCase) {
    team("Alpha");
    EXPECT_EQ(createTeam(*db, "aLPHA", "h", TEAM_TEXT).outcome, CreateOutcome::NameTaken);
    EXPECT_EQ(activeTeams(*db).size(), 1u);
}

TEST_P(StoreTest, AMatchIsStoredOnceByTheClaimThatHoldsIt) {
    const int64_t id = queueMatch(*db, activeMaps(*db)[0].id, fourVersions());
    const Claim first = *claimMatch(*db, "w1", 60);
    EXPECT_EQ(first.match_id, id);
    EXPECT_FALSE(claimMatch(*db, "w2", 60).has_value()) << "a held claim is not handed out twice";

    // The lease runs out: the match goes to another worker, and the first one's late result is refused.
    db->run("UPDATE matches SET lease_until = 0 WHERE id = ?", {id});
    const Claim second = *claimMatch(*db, "w2", 60);
    EXPECT_EQ(second.match_id, id);
    Outcome outcome{{3, 1, 0, 0}, {true, false, false, false}, 1200, false};
    EXPECT_FALSE(finishMatch(*db, first, outcome, StoredReplay{"replay-1"}, "w1"));
    EXPECT_TRUE(finishMatch(*db, second, outcome, StoredReplay{"replay-2"}, "w2"));
    EXPECT_FALSE(finishMatch(*db, second, outcome, StoredReplay{"replay-2"}, "w2")) << "stored twice";

    const Match m = *findMatch(*db, id);
    EXPECT_EQ(m.state, "done");
    EXPECT_EQ(m.seats[0].score, 3);
    EXPECT_TRUE(m.seats[0].winner);
    EXPECT_EQ(replayOf(*db, id)->data, "replay-2");
    EXPECT_EQ(allPlayed(*db).size(), 1u);
}

TEST_P(StoreTest, AReturnedClaimIsPlayedAgainAndAMatchThatKillsItsWorkersIsSetAside) {
    const int64_t id = queueMatch(*db, activeMaps(*db)[0].id, fourVersions());
    returnClaim(*db, *claimMatch(*db, "w", 60));
    EXPECT_EQ(claimMatch(*db, "w", 60)->match_id, id) << "a returned claim is not an attempt";
    for (int attempt = 1; attempt < MAX_ATTEMPTS; ++attempt) {
        db->run("UPDATE matches SET lease_until = 0");
        ASSERT_TRUE(claimMatch(*db, "w", 60).has_value());
    }
    db->run("UPDATE matches SET lease_until = 0");
    EXPECT_FALSE(claimMatch(*db, "w", 60).has_value());
    EXPECT_EQ(findMatch(*db, id)->state, "failed");
}

TEST_P(StoreTest, ClaimsOfWorkersThatAreGoneComeBack) {
    const auto versions = fourVersions();
    queueMatch(*db, activeMaps(*db)[0].id, versions);
    queueMatch(*db, activeMaps(*db)[0].id, versions);
    claimMatch(*db, "here:999999999", 600);                          // no such process
    claimMatch(*db, "here:" + std::to_string(getpid()), 600);        // alive
    EXPECT_EQ(returnClaimsOfDeadWorkers(*db, "elsewhere"), 0);
    EXPECT_EQ(returnClaimsOfDeadWorkers(*db, "here"), 1);
    EXPECT_EQ(queueCounts(*db).queued, 1);
}

TEST_P(StoreTest, ANewVersionOrAWithdrawalCancelsOnlyWaitingMatches) {
    const auto versions = fourVersions();
    const int64_t played = queueMatch(*db, activeMaps(*db)[0].id, versions);
    ASSERT_TRUE(finishMatch(*db, *claimMatch(*db, "w", 60), Outcome{}, StoredReplay{"r"}, "w"));
    const int64_t waiting = queueMatch(*db, activeMaps(*db)[0].id, versions);
    const int64_t team_a = findVersion(*db, versions[0])->team_id;
    const Version v2 = addVersion(*db, team_a, TEAM_TEXT);
    EXPECT_EQ(v2.number, 2);
    EXPECT_EQ(findTeam(*db, team_a)->version_id, v2.id);
    EXPECT_EQ(findMatch(*db, waiting)->state, "cancelled");
    EXPECT_EQ(findMatch(*db, played)->state, "done");
    withdrawTeam(*db, findVersion(*db, versions[1])->team_id);
    EXPECT_EQ(activeTeams(*db).size(), 3u);
    EXPECT_EQ(playedMatches(*db, team_a, 0, 10).size(), 1u);
}

TEST_P(StoreTest, TheSchedulerQueuesABatchThenWaitsAndKeepsToTheBudget) {
    fourVersions();
    Settings settings;
    settings.batch = 5;
    settings.budget = 7;
    EXPECT_EQ(scheduleMatches(*db, settings), 5);
    EXPECT_EQ(scheduleMatches(*db, settings), 0) << "a full queue";
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(finishMatch(*db, *claimMatch(*db, "w", 60), Outcome{}, StoredReplay{"r"}, "w"));
    EXPECT_EQ(scheduleMatches(*db, settings), 2) << "the budget";
    EXPECT_EQ(scheduleMatches(*db, settings), 0);
    // Maps in turn and seats rotated.
    const std::vector<Match> played = allPlayed(*db);
    EXPECT_NE(played[0].map, played[1].map);
    EXPECT_NE(played[0].seats[0].team_id, played[1].seats[0].team_id);
}

// A worker's refit reads only what finished since its last one: matches finished out of id order, and matches that
// never finish, must still end up counted exactly as a refit of everything counts them.
TEST_P(StoreTest, ARefitOfWhatIsNewCountsAsARefitOfEverything) {
    const auto versions = fourVersions();
    const auto rotated = std::array<int64_t, SEATS>{versions[1], versions[2], versions[3], versions[0]};
    const auto outcome = [](int k) { return Outcome{{k % 3, 1, 0, k % 2}, {k % 3 >= 1, false, false, true}, 900, false}; };
    PlayedSoFar so_far;
    const auto expectSameAsFull = [&](const char* when) {
        const LadderStandings part = computeLadderStandings(*db, so_far);
        const LadderStandings full = computeLadderStandings(*db);
        EXPECT_EQ(part.matches, full.matches) << when;
        ASSERT_EQ(part.fit.teams.size(), full.fit.teams.size()) << when;
        for (size_t i = 0; i < full.fit.teams.size(); ++i) {
            EXPECT_EQ(part.fit.teams[i].team, full.fit.teams[i].team) << when;
            EXPECT_EQ(part.fit.teams[i].played, full.fit.teams[i].played) << when;
            EXPECT_DOUBLE_EQ(part.fit.teams[i].rating, full.fit.teams[i].rating) << when;
        }
    };
    for (int k = 0; k < 6; ++k) queueMatch(*db, activeMaps(*db)[0].id, k % 2 ? versions : rotated);
    const Claim slow = *claimMatch(*db, "slow", 60);  // finishes after the ones behind it
    for (int k = 0; k < 2; ++k) ASSERT_TRUE(finishMatch(*db, *claimMatch(*db, "w", 60), outcome(k), StoredReplay{"r"}, "w"));
    expectSameAsFull("the first match still playing");
    const Claim lost = *claimMatch(*db, "lost", 60);  // its worker dies; the match is set aside
    ASSERT_TRUE(finishMatch(*db, slow, outcome(5), StoredReplay{"r"}, "slow"));
    returnClaim(*db, lost);
    withdrawTeam(*db, findTeam(*db, team("e"))->id);
    db->run("UPDATE matches SET state = 'failed' WHERE id = ?", {lost.match_id});
    expectSameAsFull("the first match done late, one failed");
    while (const auto claim = claimMatch(*db, "w", 60)) ASSERT_TRUE(finishMatch(*db, *claim, outcome(3), StoredReplay{"r"}, "w"));
    expectSameAsFull("all done");
    EXPECT_EQ(so_far.lines.size(), 5u);
}

TEST_P(StoreTest, PagesOfHistoryFollowTheCursor) {
    const auto versions = fourVersions();
    for (int i = 0; i < 5; ++i) {
        queueMatch(*db, activeMaps(*db)[0].id, versions);
        ASSERT_TRUE(finishMatch(*db, *claimMatch(*db, "w", 60), Outcome{}, StoredReplay{"r"}, "w"));
    }
    const auto first = playedMatches(*db, 0, 0, 3);
    ASSERT_EQ(first.size(), 3u);
    EXPECT_GT(first[0].id, first[1].id);
    const auto rest = playedMatches(*db, 0, first.back().id, 3);
    ASSERT_EQ(rest.size(), 2u);
    EXPECT_LT(rest[0].id, first.back().id);
}

INSTANTIATE_TEST_SUITE_P(Databases, StoreTest, testing::Values(Dialect::Sqlite, Dialect::Postgres),
                         [](const auto& info) { return info.param == Dialect::Sqlite ? "Sqlite" : "Postgres"; });

// [SECTION] Choosing groups, without a database

Candidate rated(int64_t version, uint64_t played, double rating, double width) {
    return {version, played, Rating{rating, rating - width / 2, rating + width / 2, played, true}};
}

TEST(ChooseGroups, ANewVersionPlaysItsPlacementFirst) {
    Settings s;
    s.placement = 2;
    const auto groups = chooseGroups(
        {rated(1, 50, 1500, 80), rated(2, 50, 1400, 300), rated(3, 40, 1600, 90), rated(4, 60, 1550, 90), {5, 0, {}}},
        s, 2);
    ASSERT_EQ(groups.size(), 2u);
    for (const auto& g : groups) EXPECT_EQ(g[0], 5);
}

TEST(ChooseGroups, TheWidestIntervalWithItsNeighboursInRating) {
    Settings s;
    const auto groups = chooseGroups({rated(1, 50, 1300, 150), rated(2, 50, 1500, 400), rated(3, 50, 1520, 150),
                                      rated(4, 50, 1750, 150), rated(5, 50, 1480, 150)},
                                     s, 1);
    ASSERT_EQ(groups.size(), 1u);
    std::array<int64_t, SEATS> expected{2, 3, 5, 1};  // 1750 is the farthest from 1500
    EXPECT_EQ(groups[0], expected);
}

TEST(ChooseGroups, NothingOnceEveryIntervalIsNarrowEnoughOrFewerThanTwoTeams) {
    Settings s;
    s.width = 100;
    EXPECT_TRUE(chooseGroups({rated(1, 50, 1500, 90), rated(2, 50, 1500, 99)}, s, 3).empty());
    EXPECT_TRUE(chooseGroups({rated(1, 50, 1500, 900)}, s, 3).empty());
    const auto two = chooseGroups({rated(1, 50, 1500, 300), rated(2, 50, 1500, 300)}, s, 1);
    ASSERT_EQ(two.size(), 1u);
    EXPECT_EQ(two[0][0], two[0][2]) << "two teams fill four seats in turn";
}

// A match recorded as a worker records it (its files named as the worker names them), stored, and read back.
class StoredReplayTest : public StoreTest {
protected:
    static constexpr const char* MAP_TEXT = "6, 4\n------\n------\n------\n------\n";
    static constexpr const char* BOMBER_TEXT = "P1 STRETCHER\nP2 HULK\nP3 HULK\nP4 HULK\nP1.MOVE 2\nP1.DROP\nP1.REVERSE\nP1.MOVE 2\n";

    // The replay of a match of these versions on the map "open.map", and the match's id in the database.
    std::pair<Replay, int64_t> recorded(const std::array<int64_t, SEATS>& versions) {
        saveMaps(*db, {{0, "open.map", MAP_TEXT}});
        const Match queued = *findMatch(*db, queueMatch(*db, activeMaps(*db)[0].id, versions));
        MatchSources sources;
        sources.map = SourceFile{"open.map", std::string(MAP_TEXT)};
        for (size_t s = 0; s < SEATS; ++s)
            sources.teams[s] = SourceFile{queued.seats[s].team + ".fpl", findVersion(*db, versions[s])->source};
        const LoadedMatch loaded = loadMatchFrom(sources, defaultConfig());
        ReplayRecorder recorder(loaded, 2000);
        const MatchResult result = runMatch(loaded, 2000, &recorder);
        return {recorder.finish(result), queued.id};
    }
};

TEST_P(StoredReplayTest, ReadBackByteForByteInEitherForm) {
    const int64_t a = createTeam(*db, "a", "h", TEAM_TEXT).team.version_id;
    const int64_t bomber = createTeam(*db, "bomber", "h", BOMBER_TEXT).team.version_id;
    const int64_t c = createTeam(*db, "c", "h", TEAM_TEXT).team.version_id;
    // Four teams; and two, each in two seats, whose files a replay keeps once.
    for (const std::array<int64_t, SEATS> versions : {std::array{a, bomber, c, bomber}, std::array{bomber, a, bomber, a}}) {
        const auto [replay, id] = recorded(versions);
        ASSERT_TRUE(finishMatch(*db, *claimMatch(*db, "w", 60), Outcome{}, storedReplay(replay), "w"));
        EXPECT_EQ(replayFile(*db, id), replayText(replay));
        EXPECT_LT(replayOf(*db, id)->data.size(), compressReplay(replayText(replay)).size());
    }
    // A replay stored whole, as the first ladders stored them, is given as it is.
    const auto [whole, id] = recorded({c, a, c, a});
    ASSERT_TRUE(finishMatch(*db, *claimMatch(*db, "w", 60), Outcome{},
                            StoredReplay{compressReplay(replayText(whole)), false}, "w"));
    EXPECT_EQ(replayFile(*db, id), replayText(whole));
    EXPECT_EQ(replayFile(*db, id + 1), std::nullopt) << "no such match";
}

INSTANTIATE_TEST_SUITE_P(Databases, StoredReplayTest, testing::Values(Dialect::Sqlite, Dialect::Postgres),
                         [](const auto& info) { return info.param == Dialect::Sqlite ? "Sqlite" : "Postgres"; });

TEST(Replays, CompressionKeepsEveryByteAndRefusesOthers) {
    std::string text(100000, 'x');
    for (size_t i = 0; i < text.size(); i += 7) text[i] = static_cast<char>(i % 251);
    EXPECT_EQ(decompressReplay(compressReplay(text)), text);
    EXPECT_EQ(decompressReplay("not compressed"), "");
    EXPECT_EQ(decompressReplay(compressReplay(text).substr(0, 100)), "") << "cut short";
}

}  // namespace
}  // namespace ladder
