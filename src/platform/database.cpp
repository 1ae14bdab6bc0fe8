// SQLite under the Database / Recordset interface: opening rules, binding, dynaset rows.
#include "platform/database.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <sqlite3.h>
#include <strings.h>
#include <unistd.h>

namespace platform {

// ---------------------------------------------------------------------------------------------
// Value

std::string Value::toText() const {
    if (auto* s = text())
        return *s;
    if (auto* i = integer())
        return std::to_string(*i);
    if (auto* d = real()) {
        if (std::isfinite(*d) && *d == std::trunc(*d) && std::fabs(*d) < 1e15)
            return std::to_string(static_cast<long long>(*d));
        char buf[64];
        auto r = std::to_chars(buf, buf + sizeof buf, *d);
        return std::string(buf, r.ptr);
    }
    return {};
}

std::optional<double> Value::toNumber() const {
    if (auto* i = integer())
        return static_cast<double>(*i);
    if (auto* d = real())
        return *d;
    if (auto* s = text()) {
        std::string_view v(*s);
        while (!v.empty() && (v.front() == ' ' || v.front() == '\t'))
            v.remove_prefix(1);
        while (!v.empty() && (v.back() == ' ' || v.back() == '\t'))
            v.remove_suffix(1);
        if (!v.empty() && v.front() == '+')
            v.remove_prefix(1);
        double out = 0;
        auto r = std::from_chars(v.data(), v.data() + v.size(), out);
        if (!v.empty() && r.ec == std::errc() && r.ptr == v.data() + v.size())
            return out;
    }
    return std::nullopt;
}

bool Value::toBool() const {
    if (auto n = toNumber())
        return *n != 0;
    if (auto* s = text())
        return strcasecmp(s->c_str(), "true") == 0 || strcasecmp(s->c_str(), "yes") == 0 ||
               strcasecmp(s->c_str(), "on") == 0;
    return false;
}

// ---------------------------------------------------------------------------------------------
// Connection and statements

struct Connection {
    sqlite3* db = nullptr;
    std::string path;
    std::uint64_t savepoints = 0;

    ~Connection() { close(); }
    void close() {
        if (db)
            sqlite3_close_v2(db);
        db = nullptr;
    }
};

namespace {

DbError engineError(sqlite3* db, int rc, std::string_view context = {}) {
    int primary = rc & 0xff;
    std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    if (!context.empty())
        message = std::string(context) + ": " + message;
    switch (primary) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return DbError(dberr::Locked, "Could not update; currently locked. (" + message + ")");
    case SQLITE_READONLY:
        return DbError(dberr::ReadOnly, "Cannot update. Database or object is read-only.");
    default:
        return DbError(dberr::Generic, message);
    }
}

Connection& live(const std::shared_ptr<Connection>& conn) {
    if (!conn || !conn->db)
        throw DbError(dberr::ObjectClosed, "Object invalid or no longer set.");
    return *conn;
}

// A prepared statement that finalizes itself.
class Statement {
public:
    Statement(sqlite3* db, std::string_view sql) : m_db(db) {
        const char* tail = nullptr;
        int rc = sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &m_stmt, &tail);
        if (rc != SQLITE_OK)
            throw engineError(db, rc);
        if (!m_stmt)
            throw DbError(dberr::Generic, "empty statement");
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void bind(const Params& params) {
        int expected = sqlite3_bind_parameter_count(m_stmt);
        if (expected != static_cast<int>(params.size()))
            throw DbError(dberr::Generic, "statement expects " + std::to_string(expected) +
                                              " values, was given " +
                                              std::to_string(params.size()));
        for (int i = 0; i < expected; ++i) {
            const Value& v = params[static_cast<std::size_t>(i)];
            int rc;
            if (auto* s = v.text())
                rc = sqlite3_bind_text(m_stmt, i + 1, s->data(), static_cast<int>(s->size()),
                                       SQLITE_TRANSIENT);
            else if (auto* n = v.integer())
                rc = sqlite3_bind_int64(m_stmt, i + 1, *n);
            else if (auto* d = v.real())
                rc = sqlite3_bind_double(m_stmt, i + 1, *d);
            else
                rc = sqlite3_bind_null(m_stmt, i + 1);
            if (rc != SQLITE_OK)
                throw engineError(m_db, rc);
        }
    }

    // True while a row is available.
    bool step() {
        int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW)
            return true;
        if (rc == SQLITE_DONE)
            return false;
        throw engineError(m_db, rc);
    }

    int columns() const { return sqlite3_column_count(m_stmt); }
    std::string columnName(int i) const { return sqlite3_column_name(m_stmt, i); }

    Value column(int i) const {
        switch (sqlite3_column_type(m_stmt, i)) {
        case SQLITE_INTEGER:
            return Value(static_cast<long long>(sqlite3_column_int64(m_stmt, i)));
        case SQLITE_FLOAT:
            return Value(sqlite3_column_double(m_stmt, i));
        case SQLITE_NULL:
            return Value();
        default: {
            auto* p = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, i));
            return Value(
                std::string(p ? p : "", static_cast<std::size_t>(sqlite3_column_bytes(m_stmt, i))));
        }
        }
    }

private:
    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
};

void execPlain(sqlite3* db, const std::string& sql) {
    char* err = nullptr;
    int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err);
    if (rc != SQLITE_OK) {
        std::string message = err ? err : sqlite3_errstr(rc);
        sqlite3_free(err);
        throw engineError(nullptr, rc, message);
    }
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && strncasecmp(s.data(), prefix.data(), prefix.size()) == 0;
}

bool isIdentChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// For "SELECT * FROM <table> ..." returns the table, which makes the record set updatable.
std::optional<std::string> updatableTable(std::string_view sql, std::size_t& afterStar) {
    std::size_t i = 0;
    auto skipSpace = [&] {
        while (i < sql.size() && std::isspace(static_cast<unsigned char>(sql[i])))
            ++i;
    };
    auto keyword = [&](std::string_view word) {
        skipSpace();
        if (!startsWithNoCase(sql.substr(i), word))
            return false;
        i += word.size();
        return true;
    };
    if (!keyword("select") || !keyword("*"))
        return std::nullopt;
    afterStar = i;
    if (!keyword("from"))
        return std::nullopt;
    skipSpace();
    std::size_t start = i;
    while (i < sql.size() && isIdentChar(sql[i]))
        ++i;
    if (i == start)
        return std::nullopt;
    std::string table(sql.substr(start, i - start));
    skipSpace();
    // A join or a second table makes the rows not map to one table row each.
    if (i < sql.size() &&
        (sql[i] == ',' || startsWithNoCase(sql.substr(i), "join") ||
         startsWithNoCase(sql.substr(i), "inner") || startsWithNoCase(sql.substr(i), "left")))
        return std::nullopt;
    return table;
}

bool fileReadable(const std::string& path) {
    return ::access(path.c_str(), R_OK) == 0;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Database

Database Database::open(const std::string& path, DatabaseOptions options) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec) || std::filesystem::is_directory(path, ec))
        throw DbError(dberr::FileNotFound, "Could not find file '" + path + "'.");
    if (!fileReadable(path))
        throw DbError(dberr::CannotOpen, "Cannot open the file '" + path + "': permission denied.");

    auto conn = std::make_shared<Connection>();
    conn->path = path;
    int rc = sqlite3_open_v2(path.c_str(), &conn->db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                             nullptr);
    if (rc != SQLITE_OK)
        throw DbError(dberr::CannotOpen,
                      "Cannot open the file '" + path + "'. (" +
                          (conn->db ? sqlite3_errmsg(conn->db) : sqlite3_errstr(rc)) + ")");
    if (sqlite3_db_readonly(conn->db, "main") == 1)
        throw DbError(dberr::CannotOpen,
                      "Cannot open the file '" + path + "' for writing: permission denied.");
    sqlite3_extended_result_codes(conn->db, 1);
    sqlite3_busy_timeout(conn->db, options.busyTimeoutMs);

    // The first statement that reads the file tells a database from anything else and waits
    // for another process's exclusive lock at most the busy time-out.
    try {
        execPlain(conn->db, "PRAGMA journal_mode=WAL");
        execPlain(conn->db, "PRAGMA synchronous=NORMAL");
        Statement probe(conn->db, "SELECT count(*) FROM sqlite_master");
        probe.step();
    } catch (const DbError&) {
        int code = sqlite3_errcode(conn->db) & 0xff;
        if (code == SQLITE_NOTADB || code == SQLITE_CORRUPT)
            throw DbError(dberr::NotADatabase, "Unrecognized database format '" + path + "'.");
        if (code == SQLITE_BUSY || code == SQLITE_LOCKED)
            throw DbError(dberr::FileInUse, "Could not use '" + path + "'; file already in use.");
        throw DbError(dberr::CannotOpen,
                      "Cannot open the file '" + path + "'. (" + sqlite3_errmsg(conn->db) + ")");
    }
    return Database(std::move(conn));
}

Database Database::create(const std::string& path, std::string_view script) {
    auto conn = std::make_shared<Connection>();
    conn->path = path;
    int rc =
        sqlite3_open_v2(path.c_str(), &conn->db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK)
        throw DbError(dberr::CannotOpen,
                      "Cannot create the file '" + path + "'. (" + sqlite3_errstr(rc) + ")");
    sqlite3_extended_result_codes(conn->db, 1);
    execPlain(conn->db, "PRAGMA journal_mode=WAL");
    Database db(std::move(conn));
    db.executeScript(script);
    return db;
}

bool Database::isOpen() const {
    return m_conn && m_conn->db;
}

void Database::close() {
    if (m_conn)
        m_conn->close();
}

const std::string& Database::path() const {
    static const std::string none;
    return m_conn ? m_conn->path : none;
}

void Database::executeScript(std::string_view script) {
    execPlain(live(m_conn).db, std::string(script));
}

long Database::execute(std::string_view sql, const Params& params) {
    Connection& c = live(m_conn);
    Statement st(c.db, sql);
    st.bind(params);
    while (st.step()) {
    }
    return sqlite3_changes(c.db);
}

Value Database::scalar(std::string_view sql, const Params& params) {
    Connection& c = live(m_conn);
    Statement st(c.db, sql);
    st.bind(params);
    if (!st.step() || st.columns() == 0)
        return Value();
    return st.column(0);
}

// ---------------------------------------------------------------------------------------------
// Recordset

struct Recordset::Rows {
    std::shared_ptr<Connection> conn;
    std::optional<std::string> table; // set when updatable
    std::vector<std::string> names;   // visible columns
    // Each row: the row key first (when updatable), then the visible columns.
    std::vector<std::vector<Value>> data;
    std::size_t keyColumns() const { return table ? 1 : 0; }
};

Recordset Database::openRecordset(std::string_view sql, const Params& params) {
    Connection& c = live(m_conn);
    auto rows = std::make_shared<Recordset::Rows>();
    rows->conn = m_conn;

    std::size_t afterStar = 0;
    std::string text(sql);
    if (auto table = updatableTable(sql, afterStar)) {
        rows->table = *table;
        // "SELECT *" becomes "SELECT _rowid_, *" so each row keeps its key.
        text = "SELECT _rowid_, *" + std::string(sql.substr(afterStar));
    }
    Statement st(c.db, text);
    st.bind(params);
    for (int i = static_cast<int>(rows->keyColumns()); i < st.columns(); ++i)
        rows->names.push_back(st.columnName(i));
    while (st.step()) {
        std::vector<Value> row;
        row.reserve(static_cast<std::size_t>(st.columns()));
        for (int i = 0; i < st.columns(); ++i)
            row.push_back(st.column(i));
        rows->data.push_back(std::move(row));
    }

    Recordset rs;
    rs.m_rows = std::move(rows);
    rs.m_pos = 0;
    rs.touch();
    return rs;
}

Recordset& Recordset::operator=(Recordset&& other) noexcept {
    if (this != &other) {
        abandonPending();
        m_rows = std::move(other.m_rows);
        m_pos = other.m_pos;
        m_visited = other.m_visited;
        m_mode = other.m_mode;
        m_buffer = std::move(other.m_buffer);
        m_dirty = std::move(other.m_dirty);
        m_savepoint = std::move(other.m_savepoint);
        other.m_mode = Mode::None;
    }
    return *this;
}

Recordset::~Recordset() {
    abandonPending();
}

const Recordset::Rows& Recordset::rows() const {
    if (!m_rows)
        throw DbError(dberr::ObjectClosed, "Object invalid or no longer set.");
    return *m_rows;
}

void Recordset::touch() {
    long n = static_cast<long>(m_rows->data.size());
    if (m_pos >= 0 && m_pos < n)
        m_visited = std::max(m_visited, m_pos);
}

bool Recordset::eof() const {
    const Rows& r = rows();
    return r.data.empty() || m_pos >= static_cast<long>(r.data.size());
}

bool Recordset::bof() const {
    const Rows& r = rows();
    return r.data.empty() || m_pos < 0;
}

void Recordset::requireCurrent() const {
    if (eof() || bof())
        throw DbError(dberr::NoCurrentRecord, "No current record.");
}

void Recordset::moveNext() {
    rows();
    abandonPending();
    if (eof())
        throw DbError(dberr::NoCurrentRecord, "No current record.");
    ++m_pos;
    touch();
}

void Recordset::movePrevious() {
    rows();
    abandonPending();
    if (bof())
        throw DbError(dberr::NoCurrentRecord, "No current record.");
    --m_pos;
    touch();
}

void Recordset::moveFirst() {
    rows();
    abandonPending();
    m_pos = 0;
    touch();
}

void Recordset::moveLast() {
    const Rows& r = rows();
    abandonPending();
    m_pos = r.data.empty() ? 0 : static_cast<long>(r.data.size()) - 1;
    touch();
}

void Recordset::move(long n) {
    const Rows& r = rows();
    abandonPending();
    if (n != 0)
        requireCurrent();
    long size = static_cast<long>(r.data.size());
    long target = m_pos + n;
    m_pos = std::clamp(target, -1L, size);
    touch();
}

long Recordset::recordCount() const {
    rows();
    return m_visited + 1;
}

Recordset Recordset::clone() const {
    Recordset copy;
    copy.m_rows = m_rows;
    rows();
    copy.m_pos = 0;
    copy.touch();
    return copy;
}

const std::vector<std::string>& Recordset::fieldNames() const {
    return rows().names;
}

std::size_t Recordset::columnIndex(std::string_view name) const {
    const Rows& r = rows();
    for (std::size_t i = 0; i < r.names.size(); ++i)
        if (r.names[i].size() == name.size() &&
            strncasecmp(r.names[i].data(), name.data(), name.size()) == 0)
            return i + r.keyColumns();
    throw DbError(dberr::ItemNotFound,
                  "Item not found in this collection. (" + std::string(name) + ")");
}

bool Recordset::hasField(std::string_view name) const {
    try {
        columnIndex(name);
        return true;
    } catch (const DbError&) {
        return false;
    }
}

Value Recordset::field(std::string_view name) const {
    std::size_t i = columnIndex(name);
    if (m_mode != Mode::None)
        return m_buffer[i];
    requireCurrent();
    return m_rows->data[static_cast<std::size_t>(m_pos)][i];
}

namespace {

std::vector<Value> readRow(sqlite3* db, const std::string& table, std::int64_t key) {
    Statement st(db, "SELECT _rowid_, * FROM \"" + table + "\" WHERE _rowid_=?");
    st.bind({Value(static_cast<long long>(key))});
    if (!st.step())
        throw DbError(dberr::NoCurrentRecord, "No current record.");
    std::vector<Value> row;
    for (int i = 0; i < st.columns(); ++i)
        row.push_back(st.column(i));
    return row;
}

} // namespace

void Recordset::addNew() {
    const Rows& r = rows();
    if (!r.table)
        throw DbError(dberr::ReadOnly, "Cannot update. Database or object is read-only.");
    abandonPending();
    Connection& c = live(r.conn);
    m_savepoint = "rs_new_" + std::to_string(++c.savepoints);
    execPlain(c.db, "SAVEPOINT " + m_savepoint);
    try {
        execPlain(c.db, "INSERT INTO \"" + *r.table + "\" DEFAULT VALUES");
        // The row read back holds the AutoNumber key and the columns' default values.
        m_buffer = readRow(c.db, *r.table, sqlite3_last_insert_rowid(c.db));
    } catch (...) {
        execPlain(c.db, "ROLLBACK TO " + m_savepoint + "; RELEASE " + m_savepoint);
        m_savepoint.clear();
        throw;
    }
    m_dirty.assign(m_buffer.size(), false);
    m_mode = Mode::AddNew;
}

void Recordset::edit() {
    const Rows& r = rows();
    if (!r.table)
        throw DbError(dberr::ReadOnly, "Cannot update. Database or object is read-only.");
    abandonPending();
    requireCurrent();
    m_buffer = r.data[static_cast<std::size_t>(m_pos)];
    m_dirty.assign(m_buffer.size(), false);
    m_mode = Mode::Edit;
}

void Recordset::setField(std::string_view name, const Value& value) {
    std::size_t i = columnIndex(name);
    if (m_mode == Mode::None)
        throw DbError(dberr::UpdateWithoutEdit, "Update or CancelUpdate without AddNew or Edit.");
    m_buffer[i] = value;
    m_dirty[i] = true;
}

void Recordset::update() {
    rows();
    Rows& r = *m_rows;
    if (m_mode == Mode::None)
        throw DbError(dberr::UpdateWithoutEdit, "Update or CancelUpdate without AddNew or Edit.");
    Connection& c = live(r.conn);

    std::string sql = "UPDATE \"" + *r.table + "\" SET ";
    Params params;
    for (std::size_t i = 1; i < m_buffer.size(); ++i) {
        if (!m_dirty[i])
            continue;
        if (!params.empty())
            sql += ", ";
        sql += "\"" + r.names[i - 1] + "\"=?";
        params.push_back(m_buffer[i]);
    }
    std::int64_t key = *m_buffer[0].integer();
    if (!params.empty()) {
        sql += " WHERE _rowid_=?";
        params.push_back(Value(static_cast<long long>(key)));
        Statement st(c.db, sql);
        st.bind(params);
        st.step(); // on failure the pending row stays pending, so the caller may retry or cancel
    }
    if (m_mode == Mode::AddNew) {
        execPlain(c.db, "RELEASE " + m_savepoint);
        m_savepoint.clear();
    }

    // Re-read so defaults and conversions the engine made show, then keep the row in the set.
    auto row = readRow(c.db, *r.table, key);
    if (m_mode == Mode::AddNew)
        r.data.push_back(std::move(row));
    else
        r.data[static_cast<std::size_t>(m_pos)] = std::move(row);
    m_mode = Mode::None;
    m_buffer.clear();
    m_dirty.clear();
}

void Recordset::cancelUpdate() {
    rows();
    if (m_mode == Mode::None)
        throw DbError(dberr::UpdateWithoutEdit, "Update or CancelUpdate without AddNew or Edit.");
    abandonPending();
}

void Recordset::abandonPending() noexcept {
    if (m_mode == Mode::AddNew && !m_savepoint.empty() && m_rows && m_rows->conn &&
        m_rows->conn->db) {
        std::string sql = "ROLLBACK TO " + m_savepoint + "; RELEASE " + m_savepoint;
        sqlite3_exec(m_rows->conn->db, sql.c_str(), nullptr, nullptr, nullptr);
    }
    m_savepoint.clear();
    m_mode = Mode::None;
    m_buffer.clear();
    m_dirty.clear();
}

void Recordset::close() {
    abandonPending();
    m_rows.reset();
}

} // namespace platform
