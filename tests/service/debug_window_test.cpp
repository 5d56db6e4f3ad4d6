#include "platform/database.h"
#include "service/database_probe.h"
#include "service/debug_window.h"
#include "service/widgets.h"

#include <QApplication>
#include <QClipboard>
#include <QGroupBox>

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

namespace veltron::service {
namespace {

namespace fs = std::filesystem;

TEST(DebugWindow, RecordsOnlyWhenAskedAndCopiesTheMemo) {
    int ended = 0;
    DebugWindow w(true, [&ended] { ++ended; });
    EXPECT_EQ(w.windowTitle(), QString::fromUtf8("Экран отладки"));
    ASSERT_NE(w.findChild<QGroupBox*>(), nullptr);
    EXPECT_EQ(w.findChild<QGroupBox*>()->title(), QString::fromUtf8(" Отладочные сообщения  "));
    w.message("Система запущена");
    w.message("вторая строка");
    QApplication::clipboard()->clear();
    findButton(&w, QString::fromUtf8("Копировать"))->click();
    EXPECT_EQ(QApplication::clipboard()->text(), QString::fromUtf8("Система запущена\nвторая строка"));
    findButton(&w, QString::fromUtf8("Очистить"))->click();
    EXPECT_TRUE(w.text().isEmpty());
    w.show();
    findButton(&w, QString::fromUtf8("Закрыть окно"))->click();
    EXPECT_FALSE(w.isVisible());
    findButton(&w, QString::fromUtf8("Закрыть программу"))->click();
    EXPECT_EQ(ended, 1);

    DebugWindow silent(false, {});
    silent.message("Система запущена");
    EXPECT_TRUE(silent.text().isEmpty());
}

class DatabaseFolder : public ::testing::Test {
protected:
    DatabaseFolder() {
        std::random_device rd;
        dir = fs::temp_directory_path() / ("veltron-service-db-" + std::to_string(rd()));
        fs::create_directories(dir);
    }
    ~DatabaseFolder() override {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    fs::path dir;
};

TEST_F(DatabaseFolder, ProbeOpensSeriesAndListsItsNames) {
    db::executeScript(dir / "DataBase.mdb", "CREATE TABLE Series (Id INTEGER, Name TEXT, Note TEXT);"
                                            "INSERT INTO Series VALUES (1, 'ЭР2', ''), (2, 'ЭД4М', NULL);");
    db::Connection connection(dir);
    EXPECT_TRUE(listNames(connection).empty()); // nothing open yet
    EXPECT_EQ(probeSeries(connection), (std::vector<std::string>{"1", "столбцов=3", "строк=2"}));
    EXPECT_EQ(listNames(connection), (std::vector<std::string>{"1:ЭР2", "2:ЭД4М"}));
}

TEST_F(DatabaseFolder, ProbeWithoutDatabaseSaysItCannotConnect) {
    db::Connection connection(dir);
    EXPECT_EQ(probeSeries(connection), (std::vector<std::string>{"Не могу подключится к базе данных !"}));
    EXPECT_TRUE(listNames(connection).empty());
}

} // namespace
} // namespace veltron::service
