#include "app/catalogue.h"
#include "app/loader.h"
#include "platform/files.h"
#include "platform/text.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace veltron;

namespace {

std::string readText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

fs::path testDir() {
    return fs::temp_directory_path() / ("veltron-loader-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
}

// A working directory with four small calibration tables and a catalogue built from SQL.
class LoaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "Tabl1");
        for (int n = 1; n <= 4; ++n) {
            std::ofstream(dir_ / "Tabl1" / ("cal" + std::to_string(n) + ".txt"), std::ios::binary)
                << "480.5\r\n479.25\r\n";
        }
        settings_.Emul = false;
        settings_.poprDefaulted = {"MulVis", "AddKompV"};
    }
    void TearDown() override {
        connection_.disconnect();
        fs::remove_all(dir_);
    }

    void makeDatabase(const std::string& sql) { db::executeScript(dir_ / "DataBase.mdb", sql); }
    void makeDatabaseFromFixture() { makeDatabase(readText(fs::path(VELTRON_FIXTURES) / "small.sql")); }

    void runLoader() {
        StartupLoader loader(settings_, workLog_, connection_, catalogue_, calibration_, log_, dir_,
                             LoaderHooks{nullptr, nullptr, nullptr, [this](int ms) { waited_ += ms; }});
        loader.run();
    }

    static text::DateTime fixedTime() { return text::DateTime{2026, 12, 9, 7, 5, 3, 0}; }

    fs::path dir_ = testDir();
    Settings settings_;
    ConsoleLog console_{false, fixedTime};
    WorkLog workLog_{dir_ / "Log.txt", true, fixedTime, console_};
    db::Connection connection_{dir_};
    Catalogue catalogue_;
    CalibrationTables calibration_;
    LoadingLog log_;
    int waited_ = 0;
};

} // namespace

TEST_F(LoaderTest, LogOfASmallCatalogueLineByLine) {
    makeDatabaseFromFixture();
    const fs::path workLogFile = dir_ / "Log.txt";
    runLoader();

    // The expected text is kept in UTF-8; the log file itself is CP1251 with CR LF.
    const std::vector<std::string> expected =
        text::cp1251Lines(text::utf8ToCp1251(readText(fs::path(VELTRON_FIXTURES) / "expected-log.txt")));
    const std::string saved = readText(dir_ / "reploadDB.txt");
    const std::vector<std::string> actual = text::cp1251Lines(saved);
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(actual[i], expected[i]) << "line " << i + 1;
    }
    EXPECT_EQ(saved.substr(0, 2), "\xC2\xED") << "CP1251 text"; // "Вн"
    EXPECT_NE(saved.find("\r\n"), std::string::npos);

    // Picker lists: line k is entry k, so a line break inside a name becomes a blank.
    EXPECT_EQ(readText(dir_ / "series.txt"), "");
    EXPECT_EQ(readText(dir_ / "chassis.txt"), text::utf8ToCp1251("Моторная\r\nПрицепная  вторая\r\n"));
    EXPECT_EQ(readText(dir_ / "Complects.txt"), text::utf8ToCp1251("Комплект 1\r\nКомплект 2\r\n"));

    // The corrections that fell back to their defaults are also in the work log.
    const auto work = text::cp1251Lines(readText(workLogFile));
    ASSERT_EQ(work.size(), 2U);
    EXPECT_EQ(work[0], "[09.12.2026 7:05:03] " + expected[0]);
    EXPECT_EQ(work[1], "[09.12.2026 7:05:03] " + expected[1]);

    EXPECT_EQ(waited_, 80); // after each calibration table and before each table after the first
    EXPECT_TRUE(connection_.connected());
    EXPECT_EQ(connection_.table().name(), "ParamComp");
    EXPECT_FLOAT_EQ(calibration_.table[4][1], 479.25F);
    EXPECT_EQ(calibration_.table[4][2], 0.0F);
}

TEST_F(LoaderTest, CatalogueEntriesAsStored) {
    makeDatabaseFromFixture();
    runLoader();
    ASSERT_EQ(catalogue_.springTypeCount(), 2);
    const SpringType& outer = catalogue_.springType(1);
    EXPECT_EQ(outer.innerDiameter, 0);
    EXPECT_EQ(outer.Mask1, 63);
    EXPECT_FLOAT_EQ(outer.block[1].nominal, 248.0F);
    EXPECT_FLOAT_EQ(outer.block[2].Max, 202.0F);
    EXPECT_FLOAT_EQ(outer.block[2].Min, 197.0F);

    const SpringType& inner = catalogue_.springType(2);
    EXPECT_EQ(inner.innerDiameter, 1); // Do empty: block 1 from the Di columns
    EXPECT_FLOAT_EQ(inner.block[1].nominal, 150.0F);
    EXPECT_FLOAT_EQ(inner.block[1].Mul, 1.5F);
    EXPECT_EQ(inner.block[1].Rt, 300 & 0xFF);
    EXPECT_EQ(inner.Mask1, 1);                   // low 16 bits of 65537
    EXPECT_FLOAT_EQ(inner.block[2].Min, 203.0F); // a positive minus offset: a band nothing satisfies
    EXPECT_EQ(inner.name, "Внутренняя пружина центрального подвешивания с длинным названием");

    EXPECT_EQ(catalogue_.boundSpringTypes(1), (std::vector<std::int32_t>{2, 1}));
    EXPECT_EQ(catalogue_.boundSpringTypes(2), (std::vector<std::int32_t>{5}));
    EXPECT_EQ(catalogue_.springType(5).name, ""); // bound but never loaded: an empty type
    EXPECT_FLOAT_EQ(catalogue_.springType(5).block[2].Max, 0.0F);

    const _xKompl& k = catalogue_.setType(1);
    EXPECT_FLOAT_EQ(k.HpodNagrMax, 101.5F);
    EXPECT_FLOAT_EQ(k.HpodNagrMin, 98.0F);
    EXPECT_EQ(catalogue_.setType(2).Tip, 5); // kept as read; grading treats it as 0

    // Lookups outside the loaded rows give empty entries.
    EXPECT_EQ(catalogue_.seriesName(1), "");
    EXPECT_EQ(catalogue_.bogieName(0), "");
    EXPECT_EQ(catalogue_.bogieName(3), "");
    EXPECT_EQ(catalogue_.setType(3).Name, "");
    EXPECT_EQ(catalogue_.setType(-1).Ngr, 0);
    EXPECT_TRUE(catalogue_.boundSpringTypes(3).empty());
    EXPECT_TRUE(catalogue_.boundSpringTypes(256).empty());
    EXPECT_FLOAT_EQ(catalogue_.parameterBlock(1, 7).Max, 0.0F);
}

TEST_F(LoaderTest, EmulationGivesNoCorrectionWarnings) {
    makeDatabaseFromFixture();
    settings_.Emul = true;
    runLoader();
    EXPECT_EQ(log_.lines().at(0), "Загрузка калибровочных таблиц");
}

TEST_F(LoaderTest, RowsBeyondTheCapacitiesAreRejectedAndTheNumberingKept) {
    std::string sql = readText(fs::path(VELTRON_FIXTURES) / "small.sql");
    // 1025 series, 300 bogie types, 514 spring types (all cells empty but the name), 1026 set
    // types, and 513 bindings of one bogie type.
    sql += R"(
        WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1026)
        INSERT INTO Series (Name) SELECT 'S' || i FROM n WHERE i <= 1025;
        WITH RECURSIVE n(i) AS (SELECT 3 UNION ALL SELECT i + 1 FROM n WHERE i < 300)
        INSERT INTO Tel (Names) SELECT 'T' || i FROM n;
        WITH RECURSIVE n(i) AS (SELECT 3 UNION ALL SELECT i + 1 FROM n WHERE i < 514)
        INSERT INTO ParamSpring (Name) SELECT 'P' || i FROM n;
        WITH RECURSIVE n(i) AS (SELECT 3 UNION ALL SELECT i + 1 FROM n WHERE i < 1026)
        INSERT INTO ParamComp (Name) SELECT 'K' || i FROM n;
        WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 513)
        INSERT INTO RateSpring (IDSpring, IDTel) SELECT (i - 1) % 512 + 1, 3 FROM n;
        INSERT INTO RateSpring (IDSpring, IDTel) VALUES (1, 256), (1, 255);
    )";
    makeDatabase(sql);
    runLoader();
    EXPECT_EQ(catalogue_.seriesCount(), 1024);
    EXPECT_EQ(catalogue_.seriesName(1024), "S1024");
    EXPECT_EQ(catalogue_.seriesName(1025), "");
    EXPECT_EQ(catalogue_.bogieCount(), 300);
    EXPECT_EQ(catalogue_.springTypeCount(), 512);
    EXPECT_EQ(catalogue_.springType(512).name, "P512");
    EXPECT_EQ(catalogue_.setTypeCount(), 1024);
    EXPECT_EQ(catalogue_.setType(1024).Name, "K1024");
    EXPECT_EQ(catalogue_.boundSpringTypes(3).size(), 512U);
    EXPECT_EQ(catalogue_.boundSpringTypes(255), (std::vector<std::int32_t>{1}));

    const auto& lines = log_.lines();
    const auto has = [&](const std::string& l) { return std::find(lines.begin(), lines.end(), l) != lines.end(); };
    EXPECT_TRUE(has("Всего серий:1025"));
    EXPECT_TRUE(has("Серия №1025 не загружена: список серий вмещает 1024 записи"));
    EXPECT_TRUE(has("Тележкам с №256 пружины не привязываются: привязка возможна для тележек 1..255"));
    EXPECT_TRUE(has("Пружина №513 не загружена: таблица пружин вмещает 512 записей"));
    EXPECT_TRUE(has("Пружина №514 не загружена: таблица пружин вмещает 512 записей"));
    EXPECT_TRUE(has("Комплект №1026 не загружен: таблица комплектов вмещает 1024 записи"));
    EXPECT_TRUE(has("Привязка пружины №1 к тележке №3 отклонена: у тележки уже 512 пружин"));
    EXPECT_TRUE(has("Привязка пружины №1 к тележке №256 отклонена: нет тележки с таким номером среди 1..255"));
    EXPECT_EQ(text::cp1251Lines(readText(dir_ / "series.txt")).size(), 1024U);
    EXPECT_EQ(text::cp1251Lines(readText(dir_ / "Complects.txt")).size(), 1024U);
}

TEST_F(LoaderTest, MissingColumnEndsTheLoadAndKeepsTheLinesLogged) {
    std::string sql = readText(fs::path(VELTRON_FIXTURES) / "small.sql");
    sql += "ALTER TABLE ParamComp DROP COLUMN \"Vpd+\";";
    makeDatabase(sql);
    try {
        runLoader();
        FAIL() << "no error";
    } catch (const db::DatabaseError& e) {
        const std::string what = e.what();
        EXPECT_NE(what.find("ParamComp"), std::string::npos) << what;
        EXPECT_NE(what.find("Vpd+"), std::string::npos) << what;
    }
    EXPECT_EQ(log_.lines().back(), "Всего комплектов:2");
    EXPECT_FALSE(fs::exists(dir_ / "reploadDB.txt"));
    EXPECT_FALSE(fs::exists(dir_ / "Complects.txt"));
}

TEST_F(LoaderTest, BadCalibrationLineEndsTheLoadBeforeTheDatabase) {
    makeDatabaseFromFixture();
    std::ofstream(dir_ / "Tabl1" / "cal3.txt", std::ios::binary) << "12\r\n13\r\nx14\r\n";
    try {
        runLoader();
        FAIL() << "no error";
    } catch (const LoadError& e) {
        const std::string what = e.what();
        EXPECT_NE(what.find("Tabl1\\cal3.txt"), std::string::npos) << what;
        EXPECT_NE(what.find("строка 3"), std::string::npos) << what;
    }
    EXPECT_EQ(log_.lines().back(), "Калибровка :3");
    EXPECT_FALSE(connection_.connected());
    EXPECT_FALSE(fs::exists(dir_ / "reploadDB.txt"));
}

TEST_F(LoaderTest, MissingDatabaseIsAnError) {
    EXPECT_THROW(runLoader(), db::DatabaseError);
    EXPECT_EQ(log_.lines().back(), "Подключение к БД");
}
