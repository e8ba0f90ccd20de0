// db.cpp: what both kinds of database share, and the choice between them.
#include "ladder/db.h"

#include <charconv>

namespace ladder {

std::unique_ptr<Db> openSqlite(const std::string& path);       // db_sqlite.cpp
std::unique_ptr<Db> openPostgres(const std::string& address);  // db_postgres.cpp

bool isPostgres(const std::string& address) {
    return address.rfind("postgresql://", 0) == 0 || address.rfind("postgres://", 0) == 0;
}

std::unique_ptr<Db> openDb(const std::string& address) {
    if (isPostgres(address)) return openPostgres(address);
    return openSqlite(address);
}

int64_t toInt(const std::optional<std::string>& field) {
    if (!field) return 0;
    int64_t value = 0;
    std::from_chars(field->data(), field->data() + field->size(), value);
    return value;
}

int64_t Result::number(int64_t fallback) const {
    if (rows.empty() || rows[0].empty() || !rows[0][0]) return fallback;
    return toInt(rows[0][0]);
}

Transaction::~Transaction() {
    if (!open_) return;
    try {
        db_.rollback();
    } catch (const DbError&) {
        // The connection is gone; the server has rolled the transaction back itself.
    }
}

void Transaction::commit() {
    db_.commit();
    open_ = false;
}

}  // namespace ladder
