// The reading half of the Access importer: the CSV that mdb-export writes, turned into rows of
// the SQLite database with the table and column names of the catalogue and result tables.
#pragma once

#include "platform/database.h"

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace veltron::mdbimport {

class ImportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Tables copied: the five catalogue tables must exist in the Access file, the two result
// tables are copied when present.
inline constexpr const char* kCatalogueTables[] = {"Series", "Tel", "ParamSpring", "RateSpring", "ParamComp"};
inline constexpr const char* kResultTables[] = {"measReading", "measComplects"};

// CSV as mdb-export writes it: comma-separated, text in double quotes with quotes doubled,
// line breaks inside quoted fields kept, rows ended by LF or CR LF. An empty field, quoted or
// not, is returned as empty; `quoted` tells the two apart for text columns.
struct CsvField {
    std::string text;
    bool quoted = false;
};
using CsvRow = std::vector<CsvField>;
// Throws ImportError on an unterminated quote or text after a closing quote.
std::vector<CsvRow> parseCsv(std::string_view csv);

enum class Kind { Text, Integer, Real, DateTime, Other };
// The kind of a known column of a copied table; columns that the program does not read
// (keys, notes) are Other and keep whatever value they hold.
Kind columnKind(std::string_view table, std::string_view column);

// "YYYY-MM-DD HH:MM:SS" (the format the importer asks mdb-export for) or "YYYY-MM-DD" to days
// since 1899-12-30; nothing when the text is not such a date.
std::optional<double> parseDateTime(std::string_view text);

// Creates the table (replacing one of the same name) with the header's columns and inserts
// every row, in the order of the CSV, in one transaction. Returns the number of rows.
// A value that does not fit its column's kind raises ImportError naming table, column and row.
std::size_t importCsv(db::Connection& connection, const std::string& table, std::string_view csv);

} // namespace veltron::mdbimport
