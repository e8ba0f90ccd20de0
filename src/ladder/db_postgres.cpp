// db_postgres.cpp: the ladder's database on a PostgreSQL server through libpqxx. A statement with parameters is
// prepared on the server once per connection (its `?`s numbered as PostgreSQL numbers them) and run with the values
// sent apart from the statement: no value is ever part of SQL text, and the server plans each statement once.
#include "ladder/db.h"

#include <pqxx/pqxx>

#include <unordered_map>

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
            if (work_) return convert(execute(*work_, sql, params));
            pqxx::nontransaction once(*conn_);
            return convert(execute(once, sql, params));
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
    // A statement without parameters (the schema's, which cannot be prepared) runs as it is.
    pqxx::result execute(pqxx::transaction_base& tx, const std::string& sql, const std::vector<Value>& params) {
        if (params.empty()) return tx.exec(sql);
        const std::string& name = prepared(sql, params.size());
        // Every value goes as text, which PostgreSQL converts to the column's type: bytes in bytea's hex form.
        std::vector<std::optional<std::string>> texts;
        texts.reserve(params.size());
        for (const Value& value : params) texts.push_back(textOf(value));
        std::vector<const char*> values;
        values.reserve(texts.size());
        for (const auto& text : texts) values.push_back(text ? text->c_str() : nullptr);
        return tx.exec_prepared(name, pqxx::prepare::make_dynamic_params(values));
    }

    static std::optional<std::string> textOf(const Value& value) {
        if (const auto* n = std::get_if<int64_t>(&value)) return std::to_string(*n);
        if (const auto* s = std::get_if<std::string>(&value)) return *s;
        if (const auto* b = std::get_if<Bytes>(&value)) {
            static constexpr char HEX[] = "0123456789abcdef";
            std::string out = "\\x";
            out.reserve(2 + b->data.size() * 2);
            for (const unsigned char c : b->data) {
                out += HEX[c >> 4];
                out += HEX[c & 15];
            }
            return out;
        }
        return std::nullopt;
    }

    // The statement prepared on this connection under a name of its own, its `?`s (outside quotes) made $1, $2, ...
    const std::string& prepared(const std::string& sql, size_t count) {
        const auto found = statements_.find(sql);
        if (found != statements_.end()) return found->second;
        std::string text;
        size_t next = 0;
        bool quoted = false;
        for (const char c : sql) {
            if (c == '\'') quoted = !quoted;
            if (c == '?' && !quoted) {
                text += "$" + std::to_string(++next);
            } else {
                text += c;
            }
        }
        if (next != count) throw DbError("the statement takes " + std::to_string(next) + " parameters, not " +
                                         std::to_string(count) + ": " + sql.substr(0, 80));
        const std::string name = "s" + std::to_string(statements_.size() + 1);
        conn_->prepare(name, text);
        return statements_.emplace(sql, name).first->second;
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
    std::unordered_map<std::string, std::string> statements_;  // SQL as written here -> its prepared name
};

}  // namespace

std::unique_ptr<Db> openPostgres(const std::string& address) { return std::make_unique<PostgresDb>(address); }

}  // namespace ladder
