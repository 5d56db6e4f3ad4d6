#include "platform/database.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;
using veltron::db::Connection;
using veltron::db::DatabaseError;

namespace {} // namespace

TEST(ConnectionString, DataSourceIsTakenFromItsPart) {
    EXPECT_EQ(veltron::db::dataSourceOf("Provider=X;Data Source=DataBase.mdb;Persist Security Info=False"),
              "DataBase.mdb");
    EXPECT_EQ(veltron::db::dataSourceOf("data source = a b.mdb "), "a b.mdb");
    EXPECT_THROW(veltron::db::dataSourceOf("Provider=X;Persist Security Info=False"), DatabaseError);
    EXPECT_EQ(veltron::db::quoteName("Vpd+"), "\"Vpd+\"");
    EXPECT_EQ(veltron::db::quoteName("a\"b"), "\"a\"\"b\"");
}

TEST(ConnectionOpen, MissingOrForeignFileIsAnErrorAndNothingIsCreated) {
    const fs::path dir = fs::temp_directory_path() / ("veltron-db-open-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    Connection c(dir);
    c.setConnectionString("Data Source=DataBase.mdb");
    EXPECT_THROW(c.connect(), DatabaseError);
    EXPECT_FALSE(fs::exists(dir / "DataBase.mdb"));
    {
        std::FILE* f = std::fopen((dir / "DataBase.mdb").c_str(), "wb");
        std::fputs("Standard Jet DB, not an SQLite file at all.......", f);
        std::fclose(f);
    }
    EXPECT_THROW(c.connect(), DatabaseError);
    EXPECT_FALSE(c.connected());
    fs::remove_all(dir);
}

class TableTest : public ::testing::Test {
protected:
    static fs::path makeDir() {
        const fs::path dir =
            fs::temp_directory_path() / ("veltron-db-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        veltron::db::executeScript(dir / "DataBase.mdb", R"(
            CREATE TABLE ParamComp (ID INTEGER PRIMARY KEY, Name TEXT, "Vpd+" REAL, "Vpd-" REAL, "1min" REAL,
                                    "Type" INTEGER, Note TEXT NOT NULL DEFAULT '');
            CREATE TABLE Series (Name TEXT);
            INSERT INTO ParamComp (Name, "Vpd+", "Vpd-", "1min", "Type") VALUES ('A', 1.5, -2, NULL, 3);
            INSERT INTO ParamComp (Name, "Vpd+", "Vpd-", "1min", "Type") VALUES (NULL, NULL, NULL, 7.25, 2.5);
            INSERT INTO Series (Name) VALUES ('ЭД4М');
        )");
        return dir;
    }
    void SetUp() override {
        db_.setConnectionString("Provider=Microsoft.ACE.OLEDB.12.0;Data Source=DataBase.mdb");
        db_.connect();
    }
    void TearDown() override {
        db_.disconnect();
        fs::remove_all(dir_);
    }
    std::string pragma(const char* sql) {
        sqlite3_stmt* st = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db_.handle(), sql, -1, &st, nullptr), SQLITE_OK);
        EXPECT_EQ(sqlite3_step(st), SQLITE_ROW);
        std::string v = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        sqlite3_finalize(st);
        return v;
    }

    fs::path dir_ = makeDir();
    Connection db_{dir_};
};

TEST_F(TableTest, FileIsInWalModeWithFullSync) {
    EXPECT_EQ(pragma("PRAGMA journal_mode"), "wal");
    EXPECT_EQ(pragma("PRAGMA synchronous"), "2"); // FULL
}

TEST_F(TableTest, FieldsByQuotedNameWithEmptyCellsAsZeroOrEmpty) {
    auto& t = db_.table();
    t.open("ParamComp");
    ASSERT_EQ(t.recordCount(), 2);
    EXPECT_EQ(t.position(), 0);
    EXPECT_EQ(t.text("Name"), "A");
    EXPECT_DOUBLE_EQ(t.number("Vpd+"), 1.5);
    EXPECT_DOUBLE_EQ(t.number("vpd-"), -2.0); // names match without regard to case
    EXPECT_DOUBLE_EQ(t.number("1min"), 0.0);
    EXPECT_TRUE(t.isNull("1min"));
    EXPECT_EQ(t.integer("Type"), 3);
    t.moveTo(1);
    EXPECT_EQ(t.text("Name"), "");
    EXPECT_DOUBLE_EQ(t.number("Vpd+"), 0.0);
    EXPECT_DOUBLE_EQ(t.number("1min"), 7.25);
    EXPECT_EQ(t.integer("Type"), 2); // a stored real is rounded half to even
    EXPECT_THROW(t.moveTo(2), DatabaseError);
    EXPECT_THROW(t.moveTo(-1), DatabaseError);
}

TEST_F(TableTest, MissingTableAndColumnAreNamedInTheError) {
    auto& t = db_.table();
    try {
        t.open("RateSpring");
        FAIL() << "no error";
    } catch (const DatabaseError& e) {
        EXPECT_NE(std::string(e.what()).find("RateSpring"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(t.active());
    t.open("ParamComp");
    try {
        (void)t.number("5max");
        FAIL() << "no error";
    } catch (const DatabaseError& e) {
        const std::string what = e.what();
        EXPECT_NE(what.find("ParamComp"), std::string::npos) << what;
        EXPECT_NE(what.find("5max"), std::string::npos) << what;
    }
}

TEST_F(TableTest, OpeningATableClosesTheOther) {
    auto& t = db_.table();
    t.open("ParamComp");
    t.open("Series");
    EXPECT_EQ(t.name(), "Series");
    EXPECT_EQ(t.recordCount(), 1);
    EXPECT_EQ(t.text("Name"), "ЭД4М");
    EXPECT_FALSE(t.hasColumn("Vpd+"));
    EXPECT_THROW((void)t.number("Vpd+"), DatabaseError);
}

TEST_F(TableTest, AppendEditAndPostStoreRowsInNaturalOrder) {
    auto& t = db_.table();
    t.open("ParamComp");
    t.append();
    t.setText("Name", "C");
    t.setNumber("Vpd+", 4.5);
    t.setInteger("Type", 1);
    t.post();
    EXPECT_EQ(t.recordCount(), 3);
    EXPECT_EQ(t.position(), 2);
    EXPECT_EQ(t.text("Name"), "C");
    t.moveTo(0);
    t.edit();
    t.setNumber("Vpd-", -3.0);
    t.post();
    // A second connection sees the committed values.
    Connection other(dir_);
    other.setConnectionString("Data Source=DataBase.mdb");
    other.connect();
    other.table().open("ParamComp");
    EXPECT_EQ(other.table().recordCount(), 3);
    EXPECT_DOUBLE_EQ(other.table().number("Vpd-"), -3.0);
    other.table().moveLast();
    EXPECT_EQ(other.table().text("Name"), "C");
    EXPECT_DOUBLE_EQ(other.table().number("Vpd+"), 4.5);
}

TEST_F(TableTest, NonFiniteNumbersAndFailedPostsStoreNothing) {
    auto& t = db_.table();
    t.open("ParamComp");
    for (const double bad : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity()}) {
        t.append();
        t.setText("Name", "bad");
        EXPECT_THROW(t.setNumber("Vpd+", bad), DatabaseError);
        EXPECT_THROW(t.post(), DatabaseError); // the pending row was cancelled
    }
    t.moveTo(0);
    t.edit();
    EXPECT_THROW(t.setNumber("Vpd+", std::nan("")), DatabaseError);
    EXPECT_DOUBLE_EQ(t.number("Vpd+"), 1.5);
    // A row the database refuses (NOT NULL) is not stored, and the table object stays usable.
    t.append();
    t.setNull("Note");
    EXPECT_THROW(t.post(), DatabaseError);
    EXPECT_EQ(t.recordCount(), 2);
    t.open("ParamComp");
    EXPECT_EQ(t.recordCount(), 2);
    EXPECT_EQ(pragma("SELECT count(*) FROM ParamComp"), "2");
}

TEST_F(TableTest, RowsAppendedByAnotherConnectionAreSeenOnTheNextOpen) {
    auto& t = db_.table();
    t.open("Series");
    EXPECT_EQ(t.recordCount(), 1);
    {
        Connection other(dir_);
        other.setConnectionString("Data Source=DataBase.mdb");
        other.connect();
        other.execute("INSERT INTO Series (Name) VALUES ('ЭП2Д'); DELETE FROM Series WHERE Name = 'ЭД4М';");
    }
    t.open("Series");
    ASSERT_EQ(t.recordCount(), 1);
    EXPECT_EQ(t.text("Name"), "ЭП2Д");
}

TEST_F(TableTest, StatementsOnTheSameConnectionRenewThePositions) {
    auto& t = db_.table();
    t.open("Series");
    EXPECT_EQ(t.recordCount(), 1);
    db_.execute("DROP TABLE Series; CREATE TABLE Series (Name TEXT); INSERT INTO Series VALUES ('a'), ('b');");
    EXPECT_FALSE(t.active());
    t.open("Series");
    ASSERT_EQ(t.recordCount(), 2);
    t.moveTo(1);
    EXPECT_EQ(t.text("Name"), "b");
    // Rows posted inside a transaction that is rolled back are gone from the positions too.
    db_.execute("BEGIN");
    t.open("Series");
    t.append();
    t.setText("Name", "c");
    t.post();
    EXPECT_EQ(t.recordCount(), 3);
    db_.execute("ROLLBACK");
    t.open("Series");
    EXPECT_EQ(t.recordCount(), 2);
}
