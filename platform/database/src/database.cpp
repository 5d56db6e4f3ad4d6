#include "platform/database.h"

#include "platform/files.h"
#include "platform/text.h"

#include <sqlite3.h>

#include <cmath>

namespace veltron::db {

namespace {

// How long a write waits for another process that holds the file's write lock.
constexpr int kBusyTimeoutMs = 5000;

std::string folded(std::string_view name) {
    return text::foldCase(name);
}

std::string sqliteMessage(sqlite3* db) {
    return db != nullptr ? sqlite3_errmsg(db) : "нет соединения";
}

class Statement {
public:
    Statement(sqlite3* db, const std::string& sql) : db_(db) {
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt_, nullptr) != SQLITE_OK) {
            throw DatabaseError("Ошибка базы данных: " + sqliteMessage(db) + " (" + sql + ")");
        }
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement() { sqlite3_finalize(stmt_); }
    sqlite3_stmt* get() const { return stmt_; }
    // SQLITE_ROW or SQLITE_DONE; anything else raises.
    int step(const std::string& context) {
        const int rc = sqlite3_step(stmt_);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
            throw DatabaseError(context + ": " + sqliteMessage(db_));
        }
        return rc;
    }

private:
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

void bindValue(sqlite3_stmt* stmt, int index, const Table::Value& v) {
    if (const auto* i = std::get_if<std::int64_t>(&v)) {
        sqlite3_bind_int64(stmt, index, *i);
    } else if (const auto* d = std::get_if<double>(&v)) {
        sqlite3_bind_double(stmt, index, *d);
    } else if (const auto* s = std::get_if<std::string>(&v)) {
        sqlite3_bind_text(stmt, index, s->data(), static_cast<int>(s->size()), SQLITE_TRANSIENT);
    } else {
        sqlite3_bind_null(stmt, index);
    }
}

Table::Value columnValue(sqlite3_stmt* stmt, int i) {
    switch (sqlite3_column_type(stmt, i)) {
    case SQLITE_INTEGER:
        return static_cast<std::int64_t>(sqlite3_column_int64(stmt, i));
    case SQLITE_FLOAT:
        return sqlite3_column_double(stmt, i);
    case SQLITE_TEXT:
    case SQLITE_BLOB: {
        const auto* p = static_cast<const char*>(sqlite3_column_blob(stmt, i));
        return std::string(p != nullptr ? p : "", static_cast<std::size_t>(sqlite3_column_bytes(stmt, i)));
    }
    default:
        return std::monostate{};
    }
}

std::string trimmed(std::string_view s) {
    return std::string(text::trim(s));
}

} // namespace

std::string dataSourceOf(std::string_view connectionString) {
    std::size_t start = 0;
    while (start <= connectionString.size()) {
        std::size_t end = connectionString.find(';', start);
        if (end == std::string_view::npos) {
            end = connectionString.size();
        }
        const std::string_view part = connectionString.substr(start, end - start);
        const auto eq = part.find('=');
        if (eq != std::string_view::npos && text::equalsNoCase(text::trim(part.substr(0, eq)), "Data Source")) {
            const std::string value = trimmed(part.substr(eq + 1));
            if (!value.empty()) {
                return value;
            }
        }
        start = end + 1;
    }
    throw DatabaseError("В строке подключения нет источника данных (Data Source): " + std::string(connectionString));
}

std::string quoteName(std::string_view name) {
    std::string out = "\"";
    for (const char c : name) {
        out += c;
        if (c == '"') {
            out += '"';
        }
    }
    out += '"';
    return out;
}

void executeScript(const std::filesystem::path& file, const std::string& sql) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
        const std::string msg = sqliteMessage(db);
        sqlite3_close(db);
        throw DatabaseError("Не удалось создать базу данных " + file.string() + ": " + msg);
    }
    char* err = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        const std::string msg = err != nullptr ? err : sqliteMessage(db);
        sqlite3_free(err);
        sqlite3_close(db);
        throw DatabaseError("Ошибка в сценарии базы данных " + file.string() + ": " + msg);
    }
    sqlite3_close(db);
}

// --- Connection -----------------------------------------------------------------------

Connection::Connection(std::filesystem::path base) : base_(std::move(base)) {}

Connection::~Connection() {
    disconnect();
}

sqlite3* Connection::handle() const {
    if (db_ == nullptr) {
        throw DatabaseError("Нет подключения к базе данных");
    }
    return db_;
}

void Connection::connect() {
    if (db_ != nullptr) {
        return;
    }
    file_ = files::resolve(base_, dataSourceOf(connectionString_));
    const std::string name = file_.string();
    sqlite3* db = nullptr;
    // No SQLITE_OPEN_CREATE: a missing database is an error, as with the original provider.
    if (sqlite3_open_v2(name.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX, nullptr) != SQLITE_OK) {
        const std::string msg = sqliteMessage(db);
        sqlite3_close(db);
        throw DatabaseError("Не удалось открыть базу данных " + name + ": " + msg);
    }
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    char* err = nullptr;
    // The pragmas also read the file header, so a file that is not a database fails here.
    if (sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;", nullptr, nullptr, &err) != SQLITE_OK) {
        const std::string msg = err != nullptr ? err : sqliteMessage(db);
        sqlite3_free(err);
        sqlite3_close(db);
        throw DatabaseError("Не удалось открыть базу данных " + name + ": " + msg);
    }
    db_ = db;
    dataVersion_ = -1;
}

void Connection::disconnect() {
    table_.close();
    rowidCache_.clear();
    if (db_ != nullptr) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
}

void Connection::execute(const std::string& sql) {
    // Any statement may change or replace a table, so the position maps are made anew.
    table_.close();
    rowidCache_.clear();
    run(sql);
}

void Connection::run(const std::string& sql) {
    char* err = nullptr;
    if (sqlite3_exec(handle(), sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        const std::string msg = err != nullptr ? err : sqliteMessage(db_);
        sqlite3_free(err);
        throw DatabaseError("Ошибка базы данных: " + msg);
    }
}

bool Connection::tableExists(const std::string& name) {
    Statement st(handle(), "SELECT 1 FROM sqlite_master WHERE type IN ('table','view') AND name = ?1 COLLATE NOCASE");
    sqlite3_bind_text(st.get(), 1, name.c_str(), -1, SQLITE_TRANSIENT);
    return st.step("Поиск таблицы " + name) == SQLITE_ROW;
}

std::shared_ptr<std::vector<std::int64_t>> Connection::rowidsOf(const std::string& table) {
    // data_version changes only when another connection has committed, so the maps stay
    // valid across our own appends, which update them in place.
    Statement version(handle(), "PRAGMA data_version");
    version.step("PRAGMA data_version");
    const std::int64_t now = sqlite3_column_int64(version.get(), 0);
    if (now != dataVersion_) {
        rowidCache_.clear();
        dataVersion_ = now;
    }
    auto& entry = rowidCache_[folded(table)];
    if (!entry) {
        auto ids = std::make_shared<std::vector<std::int64_t>>();
        Statement st(handle(), "SELECT rowid FROM " + quoteName(table) + " ORDER BY rowid");
        while (st.step("Чтение таблицы " + table) == SQLITE_ROW) {
            ids->push_back(sqlite3_column_int64(st.get(), 0));
        }
        entry = std::move(ids);
    }
    return entry;
}

// --- Table ----------------------------------------------------------------------------

Table::~Table() {
    finalize();
}

void Table::finalize() {
    if (readRow_ != nullptr) {
        sqlite3_finalize(readRow_);
        readRow_ = nullptr;
    }
}

void Table::fail(const std::string& what) const {
    throw DatabaseError("Таблица " + name_ + ": " + what);
}

void Table::close() {
    finalize();
    name_.clear();
    columnNames_.clear();
    columnIndex_.clear();
    rowids_.reset();
    row_.clear();
    assigned_.clear();
    position_ = -1;
    mode_ = Mode::Browse;
}

void Table::open(const std::string& name) {
    close();
    sqlite3* db = connection_.handle();
    if (!connection_.tableExists(name)) {
        throw DatabaseError("Таблица " + name + " не найдена в базе данных " + connection_.file().string());
    }
    sqlite3_stmt* stmt = nullptr;
    const std::string sql = "SELECT * FROM " + quoteName(name) + " WHERE rowid = ?1";
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
        throw DatabaseError("Таблица " + name + " не открывается: " + sqliteMessage(db));
    }
    std::vector<std::string> names;
    std::map<std::string, std::size_t> index;
    const int n = sqlite3_column_count(stmt);
    for (int i = 0; i < n; ++i) {
        names.emplace_back(sqlite3_column_name(stmt, i));
        index.emplace(folded(names.back()), static_cast<std::size_t>(i));
    }
    std::shared_ptr<std::vector<std::int64_t>> ids;
    try {
        ids = connection_.rowidsOf(name);
    } catch (...) {
        sqlite3_finalize(stmt);
        throw;
    }
    readRow_ = stmt;
    name_ = name;
    columnNames_ = std::move(names);
    columnIndex_ = std::move(index);
    rowids_ = std::move(ids);
    if (!rowids_->empty()) {
        moveTo(0);
    }
}

std::int64_t Table::recordCount() const {
    if (!active()) {
        throw DatabaseError("Таблица не открыта");
    }
    return static_cast<std::int64_t>(rowids_->size());
}

void Table::moveTo(std::int64_t n) {
    if (!active()) {
        throw DatabaseError("Таблица не открыта");
    }
    if (mode_ != Mode::Browse) {
        cancel();
    }
    if (n < 0 || n >= recordCount()) {
        fail("строка " + std::to_string(n) + " вне таблицы (строк: " + std::to_string(recordCount()) + ")");
    }
    position_ = n;
    loadCurrent();
}

void Table::moveLast() {
    if (recordCount() > 0) {
        moveTo(recordCount() - 1);
    }
}

void Table::loadCurrent() {
    sqlite3_reset(readRow_);
    sqlite3_bind_int64(readRow_, 1, (*rowids_)[static_cast<std::size_t>(position_)]);
    const int rc = sqlite3_step(readRow_);
    if (rc != SQLITE_ROW) {
        const std::string msg =
            rc == SQLITE_DONE ? "строка удалена другим соединением" : sqliteMessage(connection_.db_);
        sqlite3_reset(readRow_);
        fail("строка " + std::to_string(position_) + " не читается: " + msg);
    }
    row_.assign(columnNames_.size(), std::monostate{});
    for (std::size_t i = 0; i < columnNames_.size(); ++i) {
        row_[i] = columnValue(readRow_, static_cast<int>(i));
    }
    sqlite3_reset(readRow_);
}

bool Table::hasColumn(std::string_view column) const {
    return columnIndex_.count(folded(column)) != 0;
}

std::size_t Table::columnIndex(std::string_view column) const {
    if (!active()) {
        throw DatabaseError("Таблица не открыта (столбец " + std::string(column) + ")");
    }
    const auto it = columnIndex_.find(folded(column));
    if (it == columnIndex_.end()) {
        fail("нет столбца " + std::string(column));
    }
    return it->second;
}

const Table::Value& Table::field(std::string_view column) const {
    const std::size_t i = columnIndex(column);
    if (mode_ == Mode::Browse && position_ < 0) {
        fail("нет текущей строки (столбец " + std::string(column) + ")");
    }
    return row_[i];
}

bool Table::isNull(std::string_view column) const {
    return std::holds_alternative<std::monostate>(field(column));
}

std::string Table::text(std::string_view column) const {
    const Value& v = field(column);
    if (const auto* s = std::get_if<std::string>(&v)) {
        return *s;
    }
    if (const auto* i = std::get_if<std::int64_t>(&v)) {
        return std::to_string(*i);
    }
    if (const auto* d = std::get_if<double>(&v)) {
        return text::formatGeneral(*d);
    }
    return {};
}

double Table::number(std::string_view column) const {
    const Value& v = field(column);
    if (const auto* d = std::get_if<double>(&v)) {
        return *d;
    }
    if (const auto* i = std::get_if<std::int64_t>(&v)) {
        return static_cast<double>(*i);
    }
    if (const auto* s = std::get_if<std::string>(&v)) {
        if (text::trim(*s).empty()) {
            return 0.0;
        }
        if (const auto parsed = text::parseDouble(text::trim(*s))) {
            return *parsed;
        }
        fail("столбец " + std::string(column) + ": \"" + *s + "\" не число");
    }
    return 0.0;
}

std::int64_t Table::integer(std::string_view column) const {
    const Value& v = field(column);
    if (const auto* i = std::get_if<std::int64_t>(&v)) {
        return *i;
    }
    if (const auto* d = std::get_if<double>(&v)) {
        if (!std::isfinite(*d) || std::fabs(*d) > 9.0e18) {
            fail("столбец " + std::string(column) + ": значение вне диапазона целых");
        }
        return static_cast<std::int64_t>(std::nearbyint(*d)); // default rounding: half to even
    }
    if (const auto* s = std::get_if<std::string>(&v)) {
        const std::string_view t = text::trim(*s);
        if (t.empty()) {
            return 0;
        }
        if (const auto parsed = text::parseInt(t)) {
            return *parsed;
        }
        fail("столбец " + std::string(column) + ": \"" + *s + "\" не целое число");
    }
    return 0;
}

void Table::append() {
    if (!active()) {
        throw DatabaseError("Таблица не открыта");
    }
    mode_ = Mode::Inserting;
    row_.assign(columnNames_.size(), std::monostate{});
    assigned_.assign(columnNames_.size(), false);
}

void Table::edit() {
    if (!active()) {
        throw DatabaseError("Таблица не открыта");
    }
    if (position_ < 0) {
        fail("нет текущей строки для изменения");
    }
    if (mode_ != Mode::Browse) {
        cancel();
    }
    mode_ = Mode::Editing;
    assigned_.assign(columnNames_.size(), false);
}

void Table::requirePending(const char* operation) const {
    if (mode_ == Mode::Browse) {
        fail(std::string(operation) + " без добавления или изменения строки");
    }
}

void Table::setValue(std::string_view column, Value value) {
    requirePending("запись поля");
    const std::size_t i = columnIndex(column);
    row_[i] = std::move(value);
    assigned_[i] = true;
}

void Table::setText(std::string_view column, std::string_view value) {
    setValue(column, std::string(value));
}

void Table::setNumber(std::string_view column, double value) {
    if (!std::isfinite(value)) {
        // SQLite would store NaN as NULL, which reads back as 0 and looks like a valid value.
        cancel();
        fail("столбец " + std::string(column) + ": значение " + text::formatGeneral(value) +
             " не записывается (не число)");
    }
    setValue(column, value);
}

void Table::setInteger(std::string_view column, std::int64_t value) {
    setValue(column, value);
}

void Table::setNull(std::string_view column) {
    setValue(column, std::monostate{});
}

void Table::cancel() {
    if (mode_ == Mode::Browse) {
        return;
    }
    mode_ = Mode::Browse;
    assigned_.clear();
    if (position_ >= 0) {
        loadCurrent();
    } else {
        row_.clear();
    }
}

void Table::post() {
    requirePending("сохранение");
    sqlite3* db = connection_.handle();
    std::vector<std::size_t> cols;
    for (std::size_t i = 0; i < assigned_.size(); ++i) {
        if (assigned_[i]) {
            cols.push_back(i);
        }
    }
    std::string sql;
    if (mode_ == Mode::Inserting) {
        if (cols.empty()) {
            sql = "INSERT INTO " + quoteName(name_) + " DEFAULT VALUES";
        } else {
            std::string names;
            std::string params;
            for (std::size_t k = 0; k < cols.size(); ++k) {
                names += (k ? "," : "") + quoteName(columnNames_[cols[k]]);
                params += (k ? ",?" : "?") + std::to_string(k + 1);
            }
            sql = "INSERT INTO " + quoteName(name_) + " (" + names + ") VALUES (" + params + ")";
        }
    } else {
        if (cols.empty()) {
            cancel();
            return;
        }
        std::string sets;
        for (std::size_t k = 0; k < cols.size(); ++k) {
            sets += (k ? "," : "") + quoteName(columnNames_[cols[k]]) + "=?" + std::to_string(k + 1);
        }
        sql = "UPDATE " + quoteName(name_) + " SET " + sets + " WHERE rowid=?" + std::to_string(cols.size() + 1);
    }

    // One transaction per post; inside a caller's transaction (a batch import) a savepoint.
    const bool own = sqlite3_get_autocommit(db) != 0;
    const char* begin = own ? "BEGIN IMMEDIATE" : "SAVEPOINT post";
    const char* commit = own ? "COMMIT" : "RELEASE post";
    const char* rollback = own ? "ROLLBACK" : "ROLLBACK TO post; RELEASE post";
    std::int64_t rowid = 0;
    try {
        connection_.run(begin);
        try {
            Statement st(db, sql);
            for (std::size_t k = 0; k < cols.size(); ++k) {
                bindValue(st.get(), static_cast<int>(k + 1), row_[cols[k]]);
            }
            if (mode_ == Mode::Editing) {
                sqlite3_bind_int64(st.get(), static_cast<int>(cols.size() + 1),
                                   (*rowids_)[static_cast<std::size_t>(position_)]);
            }
            st.step("Таблица " + name_ + ": запись строки");
            rowid = sqlite3_last_insert_rowid(db);
            connection_.run(commit);
        } catch (...) {
            sqlite3_exec(db, rollback, nullptr, nullptr, nullptr);
            throw;
        }
    } catch (const DatabaseError& e) {
        cancel();
        throw DatabaseError(std::string(e.what()));
    }
    if (mode_ == Mode::Inserting) {
        rowids_->push_back(rowid);
        position_ = static_cast<std::int64_t>(rowids_->size()) - 1;
    }
    mode_ = Mode::Browse;
    assigned_.clear();
    loadCurrent();
}

} // namespace veltron::db
