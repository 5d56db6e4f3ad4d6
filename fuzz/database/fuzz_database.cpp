// Input: the bytes of a DataBase.mdb file, in the corpus small valid databases that the
// fuzzer damages. Connects, opens each table the program uses, walks its rows by position
// and reads every field in every way the program does, then appends a result row. A damaged
// file may be refused with DatabaseError at any step; anything else (a crash, another
// exception, a position outside the table, a stored row that does not read back) is a fault.
#include "scratch_dir.h"

#include "platform/database.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>

using namespace veltron;
using veltron::fuzz::require;

namespace {

constexpr const char* kConnection =
    "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=DataBase.mdb;Persist Security Info=False";
constexpr std::int64_t kMaxRowsRead = 64;

void readAllFields(db::Table& table) {
    for (const auto& column : table.columns()) {
        (void)table.text(column);
        (void)table.number(column);
        (void)table.integer(column);
        (void)table.isNull(column);
        require(table.hasColumn(column));
    }
}

void walkTable(db::Connection& connection, const std::string& name) {
    db::Table& table = connection.table();
    try {
        table.open(name);
    } catch (const db::DatabaseError&) {
        return; // a table the damage removed, or a file that no longer opens
    }
    const std::int64_t count = table.recordCount();
    require(count >= 0);
    require(count == 0 ? table.position() == -1 : table.position() == 0);
    const std::int64_t rows = std::min(count, kMaxRowsRead);
    for (std::int64_t n = 0; n < rows; ++n) {
        table.moveTo(n);
        require(table.position() == n);
        readAllFields(table);
    }
    if (count > 0) {
        table.moveLast();
        require(table.position() == count - 1);
        readAllFields(table);
    }
    bool refused = false;
    try {
        table.moveTo(count);
    } catch (const db::DatabaseError&) {
        refused = true;
    }
    require(refused);
}

void appendResultRow(db::Connection& connection) {
    db::Table& table = connection.table();
    try {
        table.open("measComplects");
    } catch (const db::DatabaseError&) {
        return;
    }
    const std::int64_t before = table.recordCount();
    table.append();
    table.setText("Name", "K0001-01012026");
    table.setNumber("V", 231.5);
    table.setInteger("Nkompl", 2);
    table.post();
    require(table.recordCount() == before + 1);
    table.moveLast();
    require(table.text("Name") == "K0001-01012026");
    require(table.number("V") == 231.5);
    require(table.integer("Nkompl") == 2);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fuzz::ScratchDir scratch;
    for (const char* suffix : {"-wal", "-shm", "-journal"}) {
        std::filesystem::remove(scratch.path() / (std::string("DataBase.mdb") + suffix));
    }
    scratch.write("DataBase.mdb", data, size);

    db::Connection connection(scratch.path());
    connection.setConnectionString(kConnection);
    try {
        connection.connect();
        for (const char* name :
             {"Series", "Tel", "RateSpring", "ParamSpring", "ParamComp", "measReading", "measComplects"}) {
            walkTable(connection, name);
        }
        appendResultRow(connection);
    } catch (const db::DatabaseError&) {
    }
    return 0;
}
