#include "mdbimport/csv_import.h"

#include "app/loader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace veltron;
using namespace veltron::mdbimport;

TEST(Csv, FieldsAsMdbExportWritesThem) {
    const auto rows = parseCsv("Name,\"Vpd+\",NGR\r\n\"a \"\"b\"\"\",1.5,3\n\"two\nlines\",,\n\"\",-2,\n\nlast,0,");
    ASSERT_EQ(rows.size(), 5U);
    EXPECT_EQ(rows[0][1].text, "Vpd+");
    EXPECT_EQ(rows[1][0].text, "a \"b\"");
    EXPECT_TRUE(rows[1][0].quoted);
    EXPECT_EQ(rows[1][1].text, "1.5");
    EXPECT_FALSE(rows[1][1].quoted);
    EXPECT_EQ(rows[2][0].text, "two\nlines");
    ASSERT_EQ(rows[2].size(), 3U);
    EXPECT_EQ(rows[2][2].text, "");
    EXPECT_TRUE(rows[3][0].quoted); // empty text, not an empty cell
    EXPECT_EQ(rows[3][0].text, "");
    ASSERT_EQ(rows[4].size(), 3U); // the blank line is skipped; a trailing comma gives an empty field
    EXPECT_EQ(rows[4][0].text, "last");
    EXPECT_THROW(parseCsv("Name\n\"open"), ImportError);
    EXPECT_THROW(parseCsv("Name\n\"a\"b\n"), ImportError);
}

TEST(Csv, DateTimes) {
    EXPECT_EQ(parseDateTime("1899-12-30 12:00:00"), 0.5);
    EXPECT_EQ(parseDateTime("1899-12-30 00:00:00"), 0.0);
    EXPECT_EQ(parseDateTime("2026-12-09"), 46365.0);
    EXPECT_DOUBLE_EQ(*parseDateTime("2026-12-09 06:00:00"), 46365.25);
    EXPECT_DOUBLE_EQ(*parseDateTime("1899-12-29 06:00:00"), -1.25);
    EXPECT_FALSE(parseDateTime("12/09/26 06:00:00"));
    EXPECT_FALSE(parseDateTime("2026-13-01"));
    EXPECT_FALSE(parseDateTime("2026-12-09 24:00:00"));
}

TEST(Csv, KindsOfKnownColumns) {
    EXPECT_EQ(columnKind("ParamSpring", "DoRt"), Kind::Integer);
    EXPECT_EQ(columnKind("ParamSpring", "do-"), Kind::Real);
    EXPECT_EQ(columnKind("ParamSpring", "Mask1"), Kind::Integer);
    EXPECT_EQ(columnKind("ParamComp", "1min"), Kind::Real);
    EXPECT_EQ(columnKind("ParamComp", "Type"), Kind::Integer);
    EXPECT_EQ(columnKind("measReading", "Time"), Kind::DateTime);
    EXPECT_EQ(columnKind("measComplects", "Tel"), Kind::Integer);
    EXPECT_EQ(columnKind("Tel", "Names"), Kind::Text);
    EXPECT_EQ(columnKind("Series", "ID"), Kind::Other);
}

namespace {

class ImportTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "Tabl1");
        db::executeScript(dir_ / "DataBase.mdb", "");
        connection_.setConnectionString(kConnectionString);
        connection_.connect();
    }
    void TearDown() override {
        connection_.disconnect();
        fs::remove_all(dir_);
    }
    fs::path dir_ = fs::temp_directory_path() / ("veltron-mdb-import-" + std::to_string(::getpid()) + "-" +
                                                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
    db::Connection connection_{dir_};
};

} // namespace

// Exports of the five catalogue tables as mdb-export writes them, imported and then loaded.
TEST_F(ImportTest, ImportedCatalogueLoads) {
    EXPECT_EQ(importCsv(connection_, "Series", "ID,Name\n1,\"ЭД4М\"\n2,\"ЭП2Д \"\"экспресс\"\"\"\n"), 2U);
    importCsv(connection_, "Tel", "ID,Names\n1,\"Моторная\"\n");
    importCsv(connection_, "ParamSpring",
              "ID,Name,Prutok,Delta,PHS,PLS,PHU,PLU,Prost,Mode,Mask1,Mask2,Do,DoMul,DoAdd,DoMidd,DoRt,Do+,Do-,"
              "Di,DiMul,DiAdd,DiMidd,DiRt,Di+,Di-,V,VMul,VAdd,VMidd,VRt,V+,V-,R,RMul,RAdd,RMidd,RRt,R+,R-,"
              "N,NMul,NAdd,NMidd,NRt,N+,N-,S,SMul,SAdd,SMidd,SRt,S+,S-,O,OMul,OAdd,OMidd,ORt,O+,O-\n"
              "7,\"Наружная\",36,0.3,4200,600,42000,6000,0,0,4,0,248,1,0,247.5,3,3,-3,,,,,,,,"
              "362,1,0,361,4,4,-4,0,1,0,0,2,3,0,0,1,0,1,3,6,0,86,1,0,85,4,5,-5,0,1,0,0,1,1,0\n");
    importCsv(connection_, "RateSpring", "ID,IDSpring,IDTel\n1,1,1\n");
    importCsv(connection_, "ParamComp",
              "ID,Name,VpdMidt,VpdAdd,VpdMul,Vpd+,Vpd-,PHS,PHU,PLS,PLU,1min,1max,2min,2max,3min,3max,Type,NGR,"
              "4min,4max,5min,5max\n"
              "1,\"Комплект\",262,0,1,4,-4,8400,84000,1200,12000,258,260.6,260.7,263.3,263.4,266,0,3,0,0,0,0\n");
    importCsv(
        connection_, "measReading",
        "Name,Date,Time,Id_Obj,Dia,Vis,ByStep,NoPerp,Arrow,Def,Series,VagonNum,Tel\n"
        "\"0001-09122026\",2026-12-09 00:00:00,1899-12-30 12:00:00,1,248.25,361.5,1,2,86,0,\"ЭД4М\",\"0421\",1\n");
    connection_.disconnect();

    for (int n = 1; n <= 4; ++n) {
        std::ofstream(dir_ / "Tabl1" / ("cal" + std::to_string(n) + ".txt")) << "480\n";
    }
    Settings settings;
    ConsoleLog console(false, [] { return text::DateTime{}; });
    WorkLog log(
        dir_ / "Log.txt", false, [] { return text::DateTime{}; }, console);
    Catalogue catalogue;
    CalibrationTables calibration;
    LoadingLog loading;
    StartupLoader(settings, log, connection_, catalogue, calibration, loading, dir_,
                  LoaderHooks{nullptr, nullptr, nullptr, [](int) {}})
        .run();
    EXPECT_EQ(catalogue.seriesName(2), "ЭП2Д \"экспресс\"");
    EXPECT_EQ(catalogue.springType(1).Mask1, 4);
    EXPECT_EQ(catalogue.springType(1).block[1].Rt, 3);
    EXPECT_FLOAT_EQ(catalogue.springType(1).block[1].Max, 251.0F);
    EXPECT_FLOAT_EQ(catalogue.springType(1).block[2].Min, 358.0F);
    EXPECT_FLOAT_EQ(catalogue.setType(1).HpodNagrMax, 266.0F);
    EXPECT_EQ(catalogue.boundSpringTypes(1), std::vector<std::int32_t>{1});

    db::Table& t = connection_.table();
    t.open("measReading");
    EXPECT_DOUBLE_EQ(t.dateTime("Date"), 46365.0);
    EXPECT_DOUBLE_EQ(t.dateTime("Time"), 0.5);
    EXPECT_DOUBLE_EQ(t.number("Dia"), 248.25);
    EXPECT_EQ(t.text("VagonNum"), "0421"); // a train number stays text
}

TEST_F(ImportTest, BadValueNamesTableColumnAndRowAndStoresNothing) {
    importCsv(connection_, "ParamComp", "Name,VpdMidt\n\"old\",1\n");
    try {
        importCsv(connection_, "ParamComp", "Name,VpdMidt\n\"a\",262\n\"b\",26,2\n");
        FAIL() << "no error";
    } catch (const ImportError& e) {
        EXPECT_NE(std::string(e.what()).find("ParamComp"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("строка 2"), std::string::npos) << e.what();
    }
    try {
        importCsv(connection_, "ParamComp", "Name,VpdMidt\n\"a\",26;2\n");
        FAIL() << "no error";
    } catch (const ImportError& e) {
        EXPECT_NE(std::string(e.what()).find("VpdMidt"), std::string::npos) << e.what();
    }
    // The table as it was before the failed imports.
    db::Table& t = connection_.table();
    t.open("ParamComp");
    ASSERT_EQ(t.recordCount(), 1);
    EXPECT_EQ(t.text("Name"), "old");
}

TEST(ImportTool, RefusesWithoutMdbtools) {
    const fs::path out = fs::temp_directory_path() / ("veltron-mdb-import-out-" + std::to_string(::getpid()));
    fs::remove_all(out);
    const std::string cmd = "PATH=/nonexistent " + std::string(VELTRON_MDB_IMPORT) + " /etc/hostname " + out.string() +
                            "/DataBase.mdb 2>&1";
    FILE* p = ::popen(cmd.c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string output;
    char buf[256];
    while (std::fgets(buf, sizeof buf, p) != nullptr) {
        output += buf;
    }
    const int status = ::pclose(p);
    EXPECT_EQ(WEXITSTATUS(status), 3);
    EXPECT_NE(output.find("mdbtools is not installed"), std::string::npos) << output;
    EXPECT_FALSE(fs::exists(out));
}
