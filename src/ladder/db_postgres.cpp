// db_postgres.cpp: the ladder's database on a PostgreSQL server through libpqxx. Parameters are quoted by libpq
// itself (text and bytea) and written into the statement, which keeps one statement syntax for both kinds.
#include "ladder/db.h"

#include <pqxx/pqxx>

namespace ladder {

namespace {

constexpr pqxx::oid BYTEA_OID = 17;

class PostgresDb final : public Db {
public:
    explicit PostgresDb(const std::string& address) {
        try {
            conn_ = std::make_unique<pqxx::connection>(address);
        } catch (const std::exception& e) {
            throw DbError(std::string("PostgreSQL: ") + e.what());
        }
    }

    Dialect dialect() const override { return Dialect::Postgres; }

    Result run(const std::string& sql, const std::vector<Value>& params) override {
        try {
            const std::string text = withParams(sql, params);
            pqxx::result r;
            if (work_) {
                r = work_->exec(text);
            } else {
                pqxx::nontransaction once(*conn_);
                r = once.exec(text);
            }
            return convert(r);
        } catch (const DbError&) {
            throw;
        } catch (const std::exception& e) {
            throw DbError(std::string("PostgreSQL: ") + e.what());
        }
    }

    void begin() override {
        try {
            work_ = std::make_unique<pqxx::work>(*conn_);
        } catch (const std::exception& e) {
            throw DbError(std::string("PostgreSQL: ") + e.what());
        }
    }
    void commit() override {
        try {
            if (work_) work_->commit();
            work_.reset();
        } catch (const std::exception& e) {
            work_.reset();
            throw DbError(std::string("PostgreSQL: ") + e.what());
        }
    }
    void rollback() override {
        try {
            if (work_) work_->abort();
        } catch (const std::exception&) {
            // An aborted transaction on a lost connection is rolled back by the server.
        }
        work_.reset();
    }

private:
    std::string literal(const Value& value) {
        if (const auto* n = std::get_if<int64_t>(&value)) return std::to_string(*n);
        if (const auto* s = std::get_if<std::string>(&value)) return conn_->quote(*s);
        if (const auto* b = std::get_if<Bytes>(&value))
            return conn_->quote_raw(reinterpret_cast<const unsigned char*>(b->data.data()), b->data.size());
        return "NULL";
    }

    // Each `?` outside quotes takes the next parameter, as SQLite reads it.
    std::string withParams(const std::string& sql, const std::vector<Value>& params) {
        std::string out;
        size_t next = 0;
        bool quoted = false;
        for (const char c : sql) {
            if (c == '\'') quoted = !quoted;
            if (c == '?' && !quoted) {
                if (next >= params.size()) throw DbError("too few parameters for: " + sql.substr(0, 80));
                out += literal(params[next++]);
            } else {
                out += c;
            }
        }
        if (next != params.size()) throw DbError("too many parameters for: " + sql.substr(0, 80));
        return out;
    }

    static Result convert(const pqxx::result& r) {
        Result result;
        result.changed = static_cast<int64_t>(r.affected_rows());
        const auto columns = r.columns();
        for (const auto& row : r) {
            Row out;
            for (pqxx::row::size_type c = 0; c < columns; ++c) {
                const pqxx::field f = row[c];
                if (f.is_null()) {
                    out.emplace_back();
                } else if (r.column_type(c) == BYTEA_OID) {
                    out.emplace_back(pqxx::binarystring(f).str());
                } else {
                    out.emplace_back(f.c_str());
                }
            }
            result.rows.push_back(std::move(out));
        }
        return result;
    }

    std::unique_ptr<pqxx::connection> conn_;
    std::unique_ptr<pqxx::work> work_;
};

}  // namespace

std::unique_ptr<Db> openPostgres(const std::string& address) { return std::make_unique<PostgresDb>(address); }

}  // namespace ladder
