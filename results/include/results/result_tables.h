// The result tables: measReading (one row per spring) and measComplects (one row per set),
// reached through the one table object of the program's connection. Rows are appended after
// the last one and read back by position (0-based, natural order); the only update is the
// stored set value. A post stores the whole row or nothing; a database error is raised to
// the caller and nothing is stored.
#pragma once

#include "platform/database.h"
#include "results/data.h"

#include <cstdint>
#include <string>

namespace veltron {

// Schema of the two result tables, for new installations, tests and tools.
extern const char* const kResultTablesSql;

class ResultTables {
public:
    explicit ResultTables(db::Connection& connection) : connection_(connection) {}

    // Points the table object at the named table.
    void openTable(const std::string& name);
    // Rows of the open table.
    std::int64_t rowCount();

    void appendSpringRow(const _xZamer& record);
    void appendSetRow(const _xKZamer& record);

    // Reads row n of measReading (opened first when another table is open).
    void readSpringRow(std::int64_t n, _xZamer& record);
    // Reads row n of measComplects (opened first when another table is open).
    void readSetRow(std::int64_t n, _xKZamer& record);
    // Rewrites Vpd of the measComplects row that the last read positioned on.
    void updateStoredSetValue(float value);

    std::int64_t springRowCount();
    std::int64_t setRowCount();

private:
    db::Table& table();
    void ensureOpen(const char* name);

    db::Connection& connection_;
};

} // namespace veltron
