#include "mdbimport/csv_import.h"

#include "platform/text.h"

#include <array>
#include <cmath>
#include <cstdint>

namespace veltron::mdbimport {

namespace {

bool inList(std::string_view name, std::initializer_list<const char*> names) {
    for (const char* n : names) {
        if (text::equalsNoCase(name, n)) {
            return true;
        }
    }
    return false;
}

bool isResultTable(std::string_view table) {
    return inList(table, {"measReading", "measComplects"});
}

// Columns of one ParamSpring block: prefix, prefix+"Mul", ..., prefix+"-".
bool isBlockColumn(std::string_view column, bool& integer) {
    for (const char* prefix : {"Do", "Di", "V", "R", "N", "S", "O"}) {
        const std::string p = prefix;
        if (text::equalsNoCase(column, p + "Rt")) {
            integer = true;
            return true;
        }
        for (const char* suffix : {"", "Mul", "Add", "Midd", "+", "-"}) {
            if (text::equalsNoCase(column, p + suffix)) {
                integer = false;
                return true;
            }
        }
    }
    return false;
}

std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

std::optional<int> digits(std::string_view s, std::size_t pos, std::size_t count) {
    if (pos + count > s.size()) {
        return std::nullopt;
    }
    int v = 0;
    for (std::size_t i = pos; i < pos + count; ++i) {
        if (s[i] < '0' || s[i] > '9') {
            return std::nullopt;
        }
        v = v * 10 + (s[i] - '0');
    }
    return v;
}

} // namespace

std::vector<CsvRow> parseCsv(std::string_view csv) {
    std::vector<CsvRow> rows;
    CsvRow row;
    CsvField field;
    bool fieldStarted = false;
    std::size_t i = 0;
    std::size_t line = 1;
    const auto endField = [&] {
        row.push_back(std::move(field));
        field = CsvField{};
        fieldStarted = false;
    };
    const auto endRow = [&] {
        endField();
        // A blank line is no row.
        if (!(row.size() == 1 && row[0].text.empty() && !row[0].quoted)) {
            rows.push_back(std::move(row));
        }
        row.clear();
    };
    while (i < csv.size()) {
        const char c = csv[i];
        if (c == '"' && field.text.empty() && !field.quoted) {
            field.quoted = true;
            fieldStarted = true;
            ++i;
            for (;;) {
                if (i >= csv.size()) {
                    throw ImportError("CSV: кавычка не закрыта (строка " + std::to_string(line) + ")");
                }
                if (csv[i] == '"') {
                    if (i + 1 < csv.size() && csv[i + 1] == '"') {
                        field.text += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                if (csv[i] == '\n') {
                    ++line;
                }
                field.text += csv[i++];
            }
            if (i < csv.size() && csv[i] != ',' && csv[i] != '\n' && csv[i] != '\r') {
                throw ImportError("CSV: текст после закрывающей кавычки (строка " + std::to_string(line) + ")");
            }
            continue;
        }
        if (c == ',') {
            endField();
            fieldStarted = true; // a field follows the comma, even an empty last one
            ++i;
            continue;
        }
        if (c == '\r' || c == '\n') {
            endRow();
            i += c == '\r' && i + 1 < csv.size() && csv[i + 1] == '\n' ? 2 : 1;
            ++line;
            continue;
        }
        field.text += c;
        fieldStarted = true;
        ++i;
    }
    if (fieldStarted || !row.empty() || !field.text.empty()) {
        endRow();
    }
    return rows;
}

Kind columnKind(std::string_view table, std::string_view column) {
    if (inList(column, {"Name", "Names", "Series", "VagonNum"})) {
        return Kind::Text;
    }
    if (isResultTable(table)) {
        if (inList(column, {"Date", "Time"})) {
            return Kind::DateTime;
        }
        if (inList(column, {"Id_Obj", "Nkompl", "Tel"})) {
            return Kind::Integer;
        }
        if (inList(column, {"Dia", "Vis", "ByStep", "NoPerp", "Arrow", "Def", "V", "Vpd", "O"})) {
            return Kind::Real;
        }
        return Kind::Other;
    }
    if (text::equalsNoCase(table, "RateSpring")) {
        return inList(column, {"IDSpring", "IDTel"}) ? Kind::Integer : Kind::Other;
    }
    if (text::equalsNoCase(table, "ParamSpring")) {
        if (inList(column, {"Mode", "Mask1", "Mask2"})) {
            return Kind::Integer;
        }
        if (inList(column, {"Prutok", "Delta", "PHS", "PLS", "PHU", "PLU", "Prost"})) {
            return Kind::Real;
        }
        bool integer = false;
        if (isBlockColumn(column, integer)) {
            return integer ? Kind::Integer : Kind::Real;
        }
        return Kind::Other;
    }
    if (text::equalsNoCase(table, "ParamComp")) {
        if (inList(column, {"Type", "NGR"})) {
            return Kind::Integer;
        }
        if (inList(column, {"VpdMidt", "VpdAdd", "VpdMul", "Vpd+", "Vpd-", "PHS", "PHU", "PLS", "PLU", "1min", "1max",
                            "2min", "2max", "3min", "3max", "4min", "4max", "5min", "5max"})) {
            return Kind::Real;
        }
    }
    return Kind::Other;
}

std::optional<double> parseDateTime(std::string_view s) {
    s = text::trim(s);
    if (s.size() != 10 && s.size() != 19) {
        return std::nullopt;
    }
    const auto y = digits(s, 0, 4);
    const auto mo = digits(s, 5, 2);
    const auto d = digits(s, 8, 2);
    if (!y || !mo || !d || s[4] != '-' || s[7] != '-' || *mo < 1 || *mo > 12 || *d < 1 || *d > 31) {
        return std::nullopt;
    }
    double seconds = 0.0;
    if (s.size() == 19) {
        const auto h = digits(s, 11, 2);
        const auto mi = digits(s, 14, 2);
        const auto se = digits(s, 17, 2);
        if (s[10] != ' ' || s[13] != ':' || s[16] != ':' || !h || !mi || !se || *h > 23 || *mi > 59 || *se > 59) {
            return std::nullopt;
        }
        seconds = (*h * 60.0 + *mi) * 60.0 + *se;
    }
    const double day = static_cast<double>(daysFromCivil(*y, static_cast<unsigned>(*mo), static_cast<unsigned>(*d)) -
                                           daysFromCivil(1899, 12, 30));
    // Before 1899-12-30 the time of day counts away from zero, as in the Access date format.
    return day >= 0 ? day + seconds / 86400.0 : day - seconds / 86400.0;
}

std::size_t importCsv(db::Connection& connection, const std::string& table, std::string_view csv) {
    const std::vector<CsvRow> rows = parseCsv(csv);
    if (rows.empty()) {
        throw ImportError("Таблица " + table + ": нет строки заголовка");
    }
    const CsvRow& header = rows.front();
    std::vector<Kind> kinds;
    std::string columns;
    for (const auto& h : header) {
        if (h.text.empty()) {
            throw ImportError("Таблица " + table + ": пустое имя столбца");
        }
        const Kind k = columnKind(table, h.text);
        kinds.push_back(k);
        const char* type = k == Kind::Text      ? " TEXT"
                           : k == Kind::Integer ? " INTEGER"
                           : k == Kind::Other   ? ""
                                                : " REAL";
        columns += (columns.empty() ? "" : ", ") + db::quoteName(h.text) + type;
    }

    connection.execute("BEGIN IMMEDIATE");
    try {
        connection.execute("DROP TABLE IF EXISTS " + db::quoteName(table));
        connection.execute("CREATE TABLE " + db::quoteName(table) + " (" + columns + ")");
        db::Table& t = connection.table();
        t.open(table);
        for (std::size_t r = 1; r < rows.size(); ++r) {
            const CsvRow& row = rows[r];
            if (row.size() != header.size()) {
                throw ImportError("Таблица " + table + ", строка " + std::to_string(r) + ": " +
                                  std::to_string(row.size()) + " полей вместо " + std::to_string(header.size()));
            }
            t.append();
            for (std::size_t c = 0; c < row.size(); ++c) {
                const CsvField& f = row[c];
                const std::string& col = header[c].text;
                const auto bad = [&](const char* what) {
                    return ImportError("Таблица " + table + ", строка " + std::to_string(r) + ", столбец " + col +
                                       ": \"" + f.text + "\" " + what);
                };
                if (f.text.empty()) {
                    if (kinds[c] == Kind::Text && f.quoted) {
                        t.setText(col, "");
                    } else {
                        t.setNull(col);
                    }
                    continue;
                }
                switch (kinds[c]) {
                case Kind::Text:
                    t.setText(col, f.text);
                    break;
                case Kind::Integer:
                    if (const auto v = text::parseInt(text::trim(f.text))) {
                        t.setInteger(col, *v);
                    } else if (const auto d = text::parseDouble(text::trim(f.text));
                               d && std::fabs(*d) < 9.0e18 && *d == std::trunc(*d)) {
                        t.setInteger(col, static_cast<std::int64_t>(*d));
                    } else {
                        throw bad("не целое число");
                    }
                    break;
                case Kind::Real:
                    if (const auto v = text::parseDouble(text::trim(f.text))) {
                        t.setNumber(col, *v);
                    } else {
                        throw bad("не число");
                    }
                    break;
                case Kind::DateTime:
                    if (const auto v = parseDateTime(f.text)) {
                        t.setDateTime(col, *v);
                    } else {
                        throw bad("не дата и время");
                    }
                    break;
                case Kind::Other:
                    if (f.quoted) {
                        t.setText(col, f.text);
                    } else if (const auto v = text::parseInt(f.text)) {
                        t.setInteger(col, *v);
                    } else if (const auto d = text::parseDouble(f.text)) {
                        t.setNumber(col, *d);
                    } else {
                        t.setText(col, f.text);
                    }
                    break;
                }
            }
            t.post();
        }
        t.close();
        connection.execute("COMMIT");
    } catch (...) {
        connection.table().close();
        try {
            connection.execute("ROLLBACK");
        } catch (...) {
        }
        throw;
    }
    return rows.size() - 1;
}

} // namespace veltron::mdbimport
