// db.h: the ladder's view of a database: run one statement with parameters, read rows of text, group statements in
// a transaction. Two kinds stand behind it, chosen by the address given: an SQLite file (embedded, WAL mode) and a
// PostgreSQL server (libpqxx). Statements use `?` for parameters and the SQL both understand; the few words that
// differ (an id column, a column of bytes) are written {id} and {bytes} in the schema and filled in per kind.
// Nothing here knows the game or the ladder's tables.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

namespace ladder {

enum class Dialect { Sqlite, Postgres };

// Bytes to be stored as such (a compressed replay), not as text.
struct Bytes {
    std::string data;
};

using Value = std::variant<std::nullptr_t, int64_t, std::string, Bytes>;
using Row = std::vector<std::optional<std::string>>;  // every column as text (bytes as they are); NULL as nothing

struct Result {
    std::vector<Row> rows;
    int64_t changed = 0;  // rows written by an INSERT, UPDATE or DELETE

    // The first column of the first row as a number, or `fallback` when there is none or it is NULL.
    int64_t number(int64_t fallback = 0) const;
};

// Any failure of the database: cannot open, a statement refused, a lost connection.
struct DbError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class Db {
public:
    virtual ~Db() = default;
    virtual Dialect dialect() const = 0;
    virtual Result run(const std::string& sql, const std::vector<Value>& params = {}) = 0;
    // A transaction that writes: SQLite takes its write lock at once (BEGIN IMMEDIATE), so two writers never meet
    // halfway through and deadlock.
    virtual void begin() = 0;
    virtual void commit() = 0;
    virtual void rollback() = 0;
};

// "postgresql://..." or "postgres://..." is a PostgreSQL server; anything else is the path of an SQLite file,
// created when missing.
std::unique_ptr<Db> openDb(const std::string& address);
bool isPostgres(const std::string& address);

// A transaction that is rolled back unless committed: an exception or an early return leaves nothing half-written.
class Transaction {
public:
    explicit Transaction(Db& db) : db_(db) { db_.begin(); }
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit();

private:
    Db& db_;
    bool open_ = true;
};

// The integer in a column's text; 0 for NULL or text that is not a number.
int64_t toInt(const std::optional<std::string>& field);

}  // namespace ladder
