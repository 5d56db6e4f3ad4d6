#include "results/result_tables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace veltron;

namespace {

fs::path testDir() {
    return fs::temp_directory_path() / ("veltron-results-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
}

class ResultTablesTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        db::executeScript(dir_ / "DataBase.mdb", std::string(kResultTablesSql) + "CREATE TABLE Series (Name TEXT);");
        connection_.setConnectionString("Data Source=DataBase.mdb");
        connection_.connect();
    }
    void TearDown() override {
        connection_.disconnect();
        fs::remove_all(dir_);
    }

    static _xZamer spring(int i) {
        _xZamer r;
        r.Name = makeMeasurementName(i, text::DateTime{2026, 12, 9});
        r.DataTime = toDays(text::DateTime{2026, 12, 9, 8, 15, 30, 250});
        r.List = {0.0F, 248.3F, 361.7F, 1.25F, 2.5F, 86.1F, 0.4F};
        r.Ch = 2;
        r.Nsping = 3;
        r.Se = "ЭД4М";
        r.Po = "0421";
        return r;
    }

    fs::path dir_ = testDir();
    db::Connection connection_{dir_};
    ResultTables tables_{connection_};
};

} // namespace

TEST_F(ResultTablesTest, SpringRowRoundTrip) {
    EXPECT_EQ(tables_.springRowCount(), 0);
    tables_.appendSpringRow(spring(1));
    tables_.appendSpringRow(spring(2));
    EXPECT_EQ(tables_.springRowCount(), 2);
    tables_.openTable("Series"); // the archive reads after another table was open
    _xZamer r;
    tables_.readSpringRow(1, r);
    const _xZamer w = spring(2);
    EXPECT_EQ(r.Name, w.Name);
    EXPECT_DOUBLE_EQ(r.DataTime, w.DataTime);
    EXPECT_EQ(r.List, w.List); // single floats survive exactly
    EXPECT_EQ(r.Ch, 2);
    EXPECT_EQ(r.Nsping, 3);
    EXPECT_EQ(r.Se, "ЭД4М");
    EXPECT_EQ(r.Po, "0421");
    EXPECT_THROW(tables_.readSpringRow(2, r), db::DatabaseError);
}

TEST_F(ResultTablesTest, TimeOnlyTimeColumnReadsAsTheFirstDay) {
    connection_.execute("INSERT INTO measReading (Name, \"Date\", \"Time\", Id_Obj) VALUES ('0001-09122026', 46365.5, "
                        "0.5, 1)");
    _xZamer r;
    tables_.readSpringRow(0, r);
    // Date is read first and then overwritten by Time, so a time of day alone counts.
    EXPECT_DOUBLE_EQ(r.DataTime, 0.5);
    EXPECT_EQ(text::shortDate(fromDays(r.DataTime)), "30.12.1899");
    EXPECT_EQ(text::longTime(fromDays(r.DataTime)), "12:00:00");
    EXPECT_EQ(r.List[1], 0.0F); // empty cells read as 0
    EXPECT_EQ(r.Se, "");
}

TEST_F(ResultTablesTest, SetRowRoundTripUpdateAndZeroO) {
    _xKZamer k;
    k.Name = makeSetName(12, text::DateTime{2026, 12, 9});
    k.DataTime = toDays(text::DateTime{2026, 12, 9, 14, 0, 0, 0});
    k.List = 261.3F;
    k.v = 311.5F;
    k.Ch = 1;
    k.Se = "ЭП2Д";
    k.Po = "17";
    k.Nkompl = 4;
    tables_.appendSetRow(k);
    k.Name = "K0013-09122026";
    tables_.appendSetRow(k);
    EXPECT_EQ(tables_.setRowCount(), 2);

    _xKZamer r;
    tables_.readSetRow(0, r);
    EXPECT_EQ(r.Name, "K0012-09122026");
    EXPECT_DOUBLE_EQ(r.DataTime, k.DataTime);
    EXPECT_EQ(r.List, 261.3F);
    EXPECT_EQ(r.v, 311.5F);
    EXPECT_EQ(r.Ch, 1);
    EXPECT_EQ(r.Nkompl, 4);
    EXPECT_EQ(r.Se, "ЭП2Д");
    EXPECT_EQ(r.Po, "17");
    EXPECT_TRUE(connection_.table().isNull("O") == false);
    EXPECT_EQ(connection_.table().number("O"), 0.0);

    tables_.updateStoredSetValue(259.9F); // the row the read positioned on
    tables_.readSetRow(0, r);
    EXPECT_EQ(r.List, 259.9F);
    tables_.readSetRow(1, r);
    EXPECT_EQ(r.List, 261.3F);

    tables_.openTable("measReading");
    EXPECT_THROW(tables_.updateStoredSetValue(1.0F), db::DatabaseError);
}

TEST_F(ResultTablesTest, NonFiniteValueStoresNoRow) {
    _xZamer r = spring(1);
    r.List[4] = std::nanf("");
    EXPECT_THROW(tables_.appendSpringRow(r), db::DatabaseError);
    _xKZamer k;
    k.v = INFINITY;
    EXPECT_THROW(tables_.appendSetRow(k), db::DatabaseError);
    EXPECT_EQ(tables_.springRowCount(), 0);
    EXPECT_EQ(tables_.setRowCount(), 0);
    tables_.appendSpringRow(spring(1)); // the table object is usable again
    EXPECT_EQ(tables_.springRowCount(), 1);
}

TEST_F(ResultTablesTest, MissingColumnIsNamed) {
    connection_.execute("ALTER TABLE measComplects DROP COLUMN Vpd");
    try {
        tables_.appendSetRow(_xKZamer{});
        FAIL() << "no error";
    } catch (const db::DatabaseError& e) {
        EXPECT_NE(std::string(e.what()).find("measComplects"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("Vpd"), std::string::npos) << e.what();
    }
    EXPECT_EQ(tables_.setRowCount(), 0);
}
