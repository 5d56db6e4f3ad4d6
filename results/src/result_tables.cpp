#include "results/result_tables.h"

#include "platform/text.h"

namespace veltron {

const char* const kResultTablesSql = R"sql(
CREATE TABLE IF NOT EXISTS measReading (
  Name TEXT, "Date" REAL, "Time" REAL, Id_Obj INTEGER,
  Dia REAL, Vis REAL, ByStep REAL, NoPerp REAL, Arrow REAL, "Def" REAL,
  Series TEXT, VagonNum TEXT, Tel INTEGER
);
CREATE TABLE IF NOT EXISTS measComplects (
  Name TEXT, "Date" REAL, "Time" REAL, Nkompl INTEGER,
  V REAL, Vpd REAL, O REAL,
  Series TEXT, VagonNum TEXT, Tel INTEGER
);
)sql";

namespace {

constexpr const char* kSpringTable = "measReading";
constexpr const char* kSetTable = "measComplects";

float toSingle(double v) {
    return static_cast<float>(v);
}

} // namespace

db::Table& ResultTables::table() {
    return connection_.table();
}

void ResultTables::openTable(const std::string& name) {
    table().open(name);
}

std::int64_t ResultTables::rowCount() {
    return table().recordCount();
}

void ResultTables::ensureOpen(const char* name) {
    if (!table().active() || !text::equalsNoCase(table().name(), name)) {
        table().open(name);
    }
}

void ResultTables::appendSpringRow(const _xZamer& r) {
    db::Table& t = table();
    t.open(kSpringTable);
    t.moveLast();
    t.append();
    t.setText("Name", r.Name);
    t.setDateTime("Date", r.DataTime);
    t.setDateTime("Time", r.DataTime);
    t.setInteger("Id_Obj", r.Nsping);
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        t.setNumber(slotColumn(slot), r.List[static_cast<std::size_t>(slot)]);
    }
    t.setText("Series", r.Se);
    t.setText("VagonNum", r.Po);
    t.setInteger("Tel", r.Ch);
    t.post();
}

void ResultTables::appendSetRow(const _xKZamer& r) {
    db::Table& t = table();
    t.open(kSetTable);
    t.moveLast();
    t.append();
    t.setText("Name", r.Name);
    t.setDateTime("Date", r.DataTime);
    t.setDateTime("Time", r.DataTime);
    t.setInteger("Nkompl", r.Nkompl);
    t.setNumber("V", r.v);
    t.setNumber("Vpd", r.List);
    t.setNumber("O", 0.0);
    t.setText("Series", r.Se);
    t.setText("VagonNum", r.Po);
    t.setInteger("Tel", r.Ch);
    t.post();
}

void ResultTables::readSpringRow(std::int64_t n, _xZamer& r) {
    ensureOpen(kSpringTable);
    db::Table& t = table();
    t.moveTo(n);
    r.Name = t.text("Name");
    r.DataTime = t.dateTime("Date");
    // Time holds the same moment when written by this program; it is the one that counts.
    r.DataTime = t.dateTime("Time");
    r.Nsping = static_cast<std::int32_t>(t.integer("Id_Obj"));
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        r.List[static_cast<std::size_t>(slot)] = toSingle(t.number(slotColumn(slot)));
    }
    r.Se = t.text("Series");
    r.Po = t.text("VagonNum");
    r.Ch = static_cast<std::int32_t>(t.integer("Tel"));
}

void ResultTables::readSetRow(std::int64_t n, _xKZamer& r) {
    ensureOpen(kSetTable);
    db::Table& t = table();
    t.moveTo(n);
    r.DataTime = t.dateTime("Date");
    r.Name = t.text("Name");
    r.v = toSingle(t.number("V"));
    r.List = toSingle(t.number("Vpd"));
    r.Ch = static_cast<std::int32_t>(t.integer("Tel"));
    r.Nkompl = static_cast<std::int32_t>(t.integer("Nkompl"));
    r.Se = t.text("Series");
    r.Po = t.text("VagonNum");
}

void ResultTables::updateStoredSetValue(float value) {
    db::Table& t = table();
    if (!t.active() || !text::equalsNoCase(t.name(), kSetTable)) {
        throw db::DatabaseError("Изменение значения комплекта: таблица measComplects не открыта");
    }
    t.edit();
    t.setNumber("Vpd", value);
    t.post();
}

std::int64_t ResultTables::springRowCount() {
    table().open(kSpringTable);
    return table().recordCount();
}

std::int64_t ResultTables::setRowCount() {
    table().open(kSetTable);
    return table().recordCount();
}

} // namespace veltron
