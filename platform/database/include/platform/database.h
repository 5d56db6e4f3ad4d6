// Database layer of the platform: the one connection of the program and its one table object.
//
// The connection string names the database file in its "Data Source" part (DataBase.mdb, an
// SQLite 3 file, relative to the working directory). The table object is opened by name;
// opening a table closes the one that was open. Rows are addressed by position in the
// table's natural order (rowid order, which is insertion order), 0-based. Fields are read
// and written by column name, without regard to case; an empty cell (NULL) reads as 0 or as
// empty text.
//
// Table object states:
//   closed  -> open(name)             -> browse (positioned on row 0, or at the end when empty)
//   browse  -> moveTo(n) / moveLast() -> browse on row n
//   browse  -> append()               -> inserting (a new row, nothing stored yet)
//   browse  -> edit()                 -> editing the current row
//   inserting / editing -> set...()   -> the same state, values pending
//   inserting / editing -> post()     -> browse, the row stored whole in one transaction
//   inserting / editing -> cancel()   -> browse, nothing stored
// A failed post, and a rejected value (such as a non-finite number), stores nothing and
// returns the table object to browse.
//
// Every file is opened in WAL mode with synchronous=FULL, so a posted row survives a power
// failure. Positional reads use a cached position-to-rowid map per table, kept while the
// connection stays connected and no other connection changes the file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace veltron::db {

// Every failure of the layer: a file that cannot be opened, a missing table or column, a
// locked file, a value that cannot be stored or converted. The text names the table and
// the column concerned.
class DatabaseError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The "Data Source" value of a connection string ("Provider=...;Data Source=DataBase.mdb;...").
// Throws DatabaseError when there is none.
std::string dataSourceOf(std::string_view connectionString);

// Quotes a table or column name for SQL ("Vpd+" -> "\"Vpd+\"").
std::string quoteName(std::string_view name);

// Creates the file when missing and runs the SQL script on it (schema set-up of tests,
// benchmarks and tools). Throws DatabaseError.
void executeScript(const std::filesystem::path& file, const std::string& sql);

class Connection;

class Table {
public:
    using Value = std::variant<std::monostate, std::int64_t, double, std::string>;

    explicit Table(Connection& connection) : connection_(connection) {}
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;
    ~Table();

    // Closes the open table (if any) and opens the named one. Throws when it does not exist.
    void open(const std::string& name);
    void close();
    bool active() const { return !name_.empty(); }
    const std::string& name() const { return name_; }

    std::int64_t recordCount() const;
    // Moves to row n (0-based, natural order). Throws when n is outside 0..count-1.
    void moveTo(std::int64_t n);
    void moveLast();
    // Position of the current row, or -1 when there is none (empty table).
    std::int64_t position() const { return position_; }
    bool eof() const { return position_ < 0; }

    // Field reads of the current row (browse) or of the pending values (inserting, editing).
    std::string text(std::string_view column) const;
    double number(std::string_view column) const;
    // Integers: a stored real is rounded half to even, as the original provider converted.
    std::int64_t integer(std::string_view column) const;
    double dateTime(std::string_view column) const { return number(column); }
    bool isNull(std::string_view column) const;
    bool hasColumn(std::string_view column) const;
    const std::vector<std::string>& columns() const { return columnNames_; }

    void append();
    void edit();
    void setText(std::string_view column, std::string_view value);
    // A non-finite value is refused: the pending row is cancelled and DatabaseError raised.
    void setNumber(std::string_view column, double value);
    void setInteger(std::string_view column, std::int64_t value);
    void setDateTime(std::string_view column, double days) { setNumber(column, days); }
    void setNull(std::string_view column);
    void post();
    void cancel();

private:
    enum class Mode { Browse, Inserting, Editing };

    std::size_t columnIndex(std::string_view column) const;
    const Value& field(std::string_view column) const;
    void setValue(std::string_view column, Value value);
    void loadCurrent();
    void requirePending(const char* operation) const;
    void finalize();
    [[noreturn]] void fail(const std::string& what) const;

    Connection& connection_;
    std::string name_;
    std::vector<std::string> columnNames_;
    std::map<std::string, std::size_t> columnIndex_; // folded name -> index
    sqlite3_stmt* readRow_ = nullptr;
    std::shared_ptr<std::vector<std::int64_t>> rowids_;
    std::int64_t position_ = -1;
    Mode mode_ = Mode::Browse;
    std::vector<Value> row_;     // current row, or the pending values
    std::vector<bool> assigned_; // pending values set since append/edit
};

class Connection {
public:
    // base: folder the data source is relative to (the working directory by default).
    explicit Connection(std::filesystem::path base = ".");
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection();

    void setConnectionString(std::string s) { connectionString_ = std::move(s); }
    const std::string& connectionString() const { return connectionString_; }

    // Opens the data source for reading and writing; a missing or invalid file is an error.
    void connect();
    // Closes the table object and the file.
    void disconnect();
    bool connected() const { return db_ != nullptr; }
    const std::filesystem::path& file() const { return file_; }

    // The one table object of the connection.
    Table& table() { return table_; }

    // Runs SQL statements that return no rows (schema, batch transactions). Closes the table
    // object, since the statements may change any table.
    void execute(const std::string& sql);
    bool tableExists(const std::string& name);

    sqlite3* handle() const;

private:
    friend class Table;
    void run(const std::string& sql);
    // The cached position-to-rowid map of a table; rebuilt when another connection has
    // changed the file since it was made.
    std::shared_ptr<std::vector<std::int64_t>> rowidsOf(const std::string& table);

    std::filesystem::path base_;
    std::string connectionString_;
    std::filesystem::path file_;
    sqlite3* db_ = nullptr;
    std::int64_t dataVersion_ = -1;
    std::map<std::string, std::shared_ptr<std::vector<std::int64_t>>> rowidCache_;
    Table table_{*this};
};

} // namespace veltron::db
