// Database and dynaset Recordset over SQLite: the record-set semantics the logic is written for.
#pragma once

#include "platform/error.h"

#include <cstdint>
#include <exception>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace platform {

// A field or parameter value: Null, integer, real or text. Booleans are integers, -1 for True
// and 0 for False, as the stored files have always held them.
class Value {
public:
    Value() = default;
    Value(std::nullptr_t) {}
    Value(int v) : m_v(std::int64_t{v}) {}
    Value(long v) : m_v(std::int64_t{v}) {}
    Value(long long v) : m_v(std::int64_t{v}) {}
    Value(unsigned v) : m_v(std::int64_t{v}) {}
    Value(double v) : m_v(v) {}
    Value(bool v) : m_v(std::int64_t{v ? -1 : 0}) {}
    Value(std::string v) : m_v(std::move(v)) {}
    Value(std::string_view v) : m_v(std::string(v)) {}
    Value(const char* v) : m_v(std::string(v)) {}

    bool isNull() const { return std::holds_alternative<std::monostate>(m_v); }
    bool isInteger() const { return std::holds_alternative<std::int64_t>(m_v); }
    bool isReal() const { return std::holds_alternative<double>(m_v); }
    bool isText() const { return std::holds_alternative<std::string>(m_v); }

    // Null reads as "", numbers in decimal (reals in their shortest exact form).
    std::string toText() const;
    // The number a value holds, if it holds one; text holding a plain number counts.
    std::optional<double> toNumber() const;
    // True for a non-zero number and for the texts "True"/"Yes"/"On" (any case).
    bool toBool() const;

    const std::string* text() const { return std::get_if<std::string>(&m_v); }
    const std::int64_t* integer() const { return std::get_if<std::int64_t>(&m_v); }
    const double* real() const { return std::get_if<double>(&m_v); }

    bool operator==(const Value&) const = default;

private:
    std::variant<std::monostate, std::int64_t, double, std::string> m_v;
};

// An engine error: the number and description the logic reports ("error [n:description]").
// Shown to the user by its description alone, as the engine's messages always were.
class DbError : public MessageError {
public:
    DbError(int number, std::string description, std::string source = "Database")
        : MessageError(number, std::move(description), std::move(source)) {}
};

// Error numbers the engine reports.
namespace dberr {
inline constexpr int Generic = 3000; // any other failure of the engine
inline constexpr int UpdateWithoutEdit = 3020;
inline constexpr int NoCurrentRecord = 3021;
inline constexpr int FileNotFound = 3024;
inline constexpr int ReadOnly = 3027;
inline constexpr int FileInUse = 3045;
inline constexpr int CannotOpen = 3051;
inline constexpr int Locked = 3260;
inline constexpr int ItemNotFound = 3265;
inline constexpr int NotADatabase = 3343;
inline constexpr int ObjectClosed = 3420;
} // namespace dberr

using Params = std::vector<Value>;

struct DatabaseOptions {
    int busyTimeoutMs = 5000; // how long to wait for another process's write lock
};

class Recordset;
struct Connection;

// One open database file. Copies share the connection; close() closes it for all of them and
// for the record sets opened on it.
class Database {
public:
    Database() = default;

    // Opens an existing file read-write. Throws DbError: 3024 missing, 3051 unreadable or not
    // writable, 3343 not a database, 3045 locked by another process.
    static Database open(const std::string& path, DatabaseOptions options = {});
    // Creates (or opens) a file and runs `script` in it; used to make the shipped databases.
    static Database create(const std::string& path, std::string_view script);

    bool isOpen() const;
    void close();
    const std::string& path() const;

    // A dynaset over the rows of `sql`, each `?` bound to the next of `params`.
    // Record sets of "SELECT * FROM <table> ..." are updatable; others are read-only.
    Recordset openRecordset(std::string_view sql, const Params& params = {});
    // A statement without rows. Returns the number of rows it changed.
    long execute(std::string_view sql, const Params& params = {});
    // The first column of the first row, Null when there is none.
    Value scalar(std::string_view sql, const Params& params = {});
    // Runs several statements without parameters (schema scripts).
    void executeScript(std::string_view script);

private:
    explicit Database(std::shared_ptr<Connection> c) : m_conn(std::move(c)) {}
    std::shared_ptr<Connection> m_conn;
};

// Dynaset record set: the rows are read in query order when it is opened, each with its row
// key, and browsed forward and backward. RecordCount counts the rows visited so far, as the
// callers expect: after MoveLast it is the number of rows; before, it only tells an empty set
// (0) from a non-empty one.
class Recordset {
public:
    Recordset() = default;
    Recordset(Recordset&&) noexcept = default;
    Recordset& operator=(Recordset&&) noexcept;
    ~Recordset();

    bool eof() const;
    bool bof() const;
    void moveNext();
    void movePrevious();
    void moveFirst();
    void moveLast();
    void move(long rows); // relative to the current row; beyond either end gives EOF / BOF
    long recordCount() const;
    // Browses the same rows with a position of its own, starting at the first row.
    Recordset clone() const;

    bool hasField(std::string_view name) const;
    // Null when the field is empty. Throws 3265 for an unknown name, 3021 without a current row.
    Value field(std::string_view name) const;
    Value operator[](std::string_view name) const { return field(name); }
    const std::vector<std::string>& fieldNames() const;

    // Starts a new row: the row is inserted at once inside a savepoint, so its AutoNumber key
    // can be read before update(); abandoning it (cancelUpdate, a move, close) leaves no row.
    void addNew();
    void edit();
    void setField(std::string_view name, const Value& value);
    // Stores the new or edited row. A new row joins the end of the set; the current row
    // stays what it was before addNew().
    void update();
    void cancelUpdate();
    bool isEditing() const { return m_mode != Mode::None; }
    void close();
    bool isOpen() const { return m_rows != nullptr; }

private:
    friend class Database;
    struct Rows;
    enum class Mode { None, AddNew, Edit };

    const Rows& rows() const;
    std::size_t columnIndex(std::string_view name) const;
    void touch();
    void abandonPending() noexcept;
    void requireCurrent() const;

    std::shared_ptr<Rows> m_rows;
    long m_pos = 0;      // 0..n-1 a row, -1 BOF, n EOF
    long m_visited = -1; // highest row index reached
    Mode m_mode = Mode::None;
    std::vector<Value> m_buffer; // the row being added or edited
    std::vector<bool> m_dirty;
    std::string m_savepoint;
};

} // namespace platform
