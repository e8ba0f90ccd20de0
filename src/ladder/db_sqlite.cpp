// db_sqlite.cpp: the ladder's database in one SQLite file through SQLite's C API: WAL mode, so readers never wait
// for the one writer, and a busy timeout, so that processes sharing the file (the server and its workers) take
// turns instead of failing.
#include "ladder/db.h"

#include <sqlite3.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <unordered_map>

namespace ladder {

namespace {

constexpr int BUSY_TIMEOUT_MS = 30000;

// Waits for the write lock in steps of a fifth of a millisecond, up to the timeout. SQLite's own busy timeout
// sleeps up to 100 ms a step, longer than a whole match of the bundled teams: workers would spend their time asleep.
int waitBriefly(void*, int attempt) {
    constexpr int STEP_US = 200;
    if (attempt >= BUSY_TIMEOUT_MS * 1000 / STEP_US) return 0;
    usleep(STEP_US);
    return 1;
}

// The ladder's own writers queue on a lock file beside the database before they take SQLite's write lock. SQLite
// can only poll for that lock, and a worker that sleeps between looks on a busy machine gives its core away and
// waits its turn for it back; the kernel hands a file lock to the next waiter the moment it is freed, and frees it
// when its holder dies (kill -9 included). Other programs on the file (the sqlite3 shell) still meet the polling.
class WriterQueue {
public:
    explicit WriterQueue(const std::string& path)
        : fd_(::open((path + "-writers").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {}
    ~WriterQueue() {
        if (fd_ >= 0) ::close(fd_);
    }
    WriterQueue(const WriterQueue&) = delete;
    WriterQueue& operator=(const WriterQueue&) = delete;
    // Without the lock file (a folder that cannot be written), SQLite's polling alone decides.
    void enter() const {
        while (fd_ >= 0 && ::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    void leave() const {
        if (fd_ >= 0) ::flock(fd_, LOCK_UN);
    }

private:
    int fd_;
};

class SqliteDb final : public Db {
public:
    explicit SqliteDb(const std::string& path) : writers_(path) {
        sqlite3* handle = nullptr;
        const int rc = sqlite3_open_v2(path.c_str(), &handle,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
        db_.reset(handle);
        if (rc != SQLITE_OK) throw DbError(path + ": " + (handle ? sqlite3_errmsg(handle) : sqlite3_errstr(rc)));
        sqlite3_busy_handler(handle, &waitBriefly, nullptr);
        // A stored match changes a row or two in each of several tables and indexes, and each page it touches is
        // written whole to the log and later again to the database: with pages of 1 KiB instead of 4 a match
        // writes a third as much. Only a new database takes it; an older one keeps its pages.
        run("PRAGMA page_size=1024");
        run("PRAGMA journal_mode=WAL");
        run("PRAGMA synchronous=NORMAL");  // with WAL: a commit survives a crash of the process, as the tests ask
        run("PRAGMA foreign_keys=ON");
        // SQLite folds the log into the database after every commit once the log is long, and the log is long
        // for good once a checkpoint misses a frame (a reader still needed it): then every commit flushes the disk
        // twice. Here a checkpoint runs once the log has grown by CHECKPOINT_PAGES since the last one (see commit).
        sqlite3_wal_hook(handle, &noteLogSize, this);
    }

    Dialect dialect() const override { return Dialect::Sqlite; }

    Result run(const std::string& sql, const std::vector<Value>& params) override {
        sqlite3_stmt* raw = prepared(sql);
        // Reset on every way out, so the statement is ready for its next use and holds no read lock meanwhile.
        const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> reset(raw, [](sqlite3_stmt* s) {
            sqlite3_clear_bindings(s);
            return sqlite3_reset(s);
        });
        for (size_t i = 0; i < params.size(); ++i) bind(raw, static_cast<int>(i + 1), params[i]);
        Result result;
        for (;;) {
            const int rc = sqlite3_step(raw);
            if (rc == SQLITE_DONE) break;
            if (rc != SQLITE_ROW) fail(sql);
            Row row;
            const int columns = sqlite3_column_count(raw);
            for (int c = 0; c < columns; ++c) {
                if (sqlite3_column_type(raw, c) == SQLITE_NULL) {
                    row.emplace_back();
                    continue;
                }
                const auto* data = static_cast<const char*>(sqlite3_column_blob(raw, c));
                row.emplace_back(std::string(data ? data : "", static_cast<size_t>(sqlite3_column_bytes(raw, c))));
            }
            result.rows.push_back(std::move(row));
        }
        result.changed = sqlite3_changes(db_.get());
        return result;
    }

    void begin() override {
        writers_.enter();
        try {
            run("BEGIN IMMEDIATE");
        } catch (const DbError&) {
            writers_.leave();
            throw;
        }
    }
    // A commit that fails leaves the transaction open, and the queue held, until it is rolled back.
    void commit() override {
        run("COMMIT");
        if (log_pages_ < checkpointed_at_) checkpointed_at_ = 0;  // the log started over
        if (log_pages_ - checkpointed_at_ < CHECKPOINT_PAGES) {
            writers_.leave();
            return;
        }
        // Most of the log is copied while the others go on writing; what they wrote meanwhile is copied in the
        // writers' queue, where nobody adds to the log, so that the checkpoint reaches its end (unless a reader
        // still needs a frame) and the next writer starts the log over. Passive, as SQLite's own: it copies what
        // no reader still needs and never waits for a reader.
        writers_.leave();
        sqlite3_wal_checkpoint_v2(db_.get(), nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
        writers_.enter();
        sqlite3_wal_checkpoint_v2(db_.get(), nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
        writers_.leave();
        checkpointed_at_ = log_pages_;
    }
    void rollback() override {
        try {
            run("ROLLBACK");
        } catch (const DbError&) {
            writers_.leave();
            throw;
        }
        writers_.leave();
    }

private:
    static constexpr int CHECKPOINT_PAGES = 4000;  // 4 MiB of log at 1 KiB a page, as SQLite's own 1000 of 4 KiB

    static int noteLogSize(void* self, sqlite3*, const char*, int pages) {
        static_cast<SqliteDb*>(self)->log_pages_ = pages;
        return SQLITE_OK;
    }

    Result run(const std::string& sql) { return run(sql, {}); }

    // Statements are compiled once per connection: the ladder runs the same few over and over.
    sqlite3_stmt* prepared(const std::string& sql) {
        const auto found = statements_.find(sql);
        if (found != statements_.end()) return found->second.get();
        sqlite3_stmt* raw = nullptr;
        if (sqlite3_prepare_v3(db_.get(), sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &raw,
                               nullptr) != SQLITE_OK)
            fail(sql);
        statements_.emplace(sql, std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)>(raw, &sqlite3_finalize));
        return raw;
    }

    [[noreturn]] void fail(const std::string& sql) const {
        throw DbError(std::string("SQLite: ") + sqlite3_errmsg(db_.get()) + " in: " + sql.substr(0, 80));
    }

    static void bind(sqlite3_stmt* stmt, int index, const Value& value) {
        if (const auto* n = std::get_if<int64_t>(&value)) {
            sqlite3_bind_int64(stmt, index, *n);
        } else if (const auto* s = std::get_if<std::string>(&value)) {
            sqlite3_bind_text64(stmt, index, s->data(), s->size(), SQLITE_TRANSIENT, SQLITE_UTF8);
        } else if (const auto* b = std::get_if<Bytes>(&value)) {
            sqlite3_bind_blob64(stmt, index, b->data.data(), b->data.size(), SQLITE_TRANSIENT);
        } else {
            sqlite3_bind_null(stmt, index);
        }
    }

    WriterQueue writers_;
    int log_pages_ = 0;        // the log's size after this connection's last commit
    int checkpointed_at_ = 0;  // its size at this connection's last checkpoint
    std::unique_ptr<sqlite3, int (*)(sqlite3*)> db_{nullptr, &sqlite3_close_v2};
    // Declared after the connection, so destroyed before it.
    std::unordered_map<std::string, std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)>> statements_;
};

}  // namespace

std::unique_ptr<Db> openSqlite(const std::string& path) { return std::make_unique<SqliteDb>(path); }

// SQLite's online backup: a consistent copy of a database in use, page by page, without stopping its writers.
void backupSqlite(const std::string& from, const std::string& to) {
    sqlite3* source = nullptr;
    sqlite3* target = nullptr;
    const std::unique_ptr<sqlite3, int (*)(sqlite3*)> source_guard(
        (sqlite3_open_v2(from.c_str(), &source, SQLITE_OPEN_READONLY, nullptr), source), &sqlite3_close_v2);
    const std::unique_ptr<sqlite3, int (*)(sqlite3*)> target_guard(
        (sqlite3_open_v2(to.c_str(), &target, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr), target),
        &sqlite3_close_v2);
    if (sqlite3_errcode(source) != SQLITE_OK) throw DbError(from + ": " + sqlite3_errmsg(source));
    if (sqlite3_errcode(target) != SQLITE_OK) throw DbError(to + ": " + sqlite3_errmsg(target));
    sqlite3_busy_timeout(source, BUSY_TIMEOUT_MS);
    sqlite3_backup* backup = sqlite3_backup_init(target, "main", source, "main");
    if (backup == nullptr) throw DbError(to + ": " + sqlite3_errmsg(target));
    int rc = SQLITE_OK;
    do {
        rc = sqlite3_backup_step(backup, 256);
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) sqlite3_sleep(50);
    } while (rc == SQLITE_OK || rc == SQLITE_BUSY || rc == SQLITE_LOCKED);
    sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE) throw DbError(to + ": " + sqlite3_errmsg(target));
}

}  // namespace ladder
