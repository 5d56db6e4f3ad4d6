// A process killed while it appends rows must leave a sound database in which every row is
// whole and every acknowledged post is present.
#include "results/result_tables.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <csignal>
#include <filesystem>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace veltron;

namespace {

_xZamer rowFor(std::int32_t id) {
    _xZamer r;
    r.Name = "R" + std::to_string(id);
    r.DataTime = 46365.0 + id / 100000.0;
    for (std::size_t slot = 1; slot <= 6; ++slot) {
        r.List[slot] = static_cast<float>(id) + static_cast<float>(slot) / 8.0F;
    }
    r.Ch = id % 255;
    r.Nsping = id;
    r.Se = "Серия " + std::to_string(id);
    r.Po = std::to_string(id * 3);
    return r;
}

// Appends rows forever, writing each posted id to the pipe.
[[noreturn]] void appendForever(const fs::path& dir, int fd, std::int32_t firstId) {
    try {
        db::Connection c(dir);
        c.setConnectionString("Data Source=DataBase.mdb");
        c.connect();
        ResultTables t(c);
        for (std::int32_t id = firstId;; ++id) {
            t.appendSpringRow(rowFor(id));
            if (::write(fd, &id, sizeof id) != static_cast<ssize_t>(sizeof id)) {
                ::_exit(2);
            }
        }
    } catch (...) {
        ::_exit(3);
    }
}

} // namespace

TEST(CrashSafety, KillDuringAppendsLeavesWholeRows) {
    const fs::path dir = fs::temp_directory_path() / ("veltron-crash-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    db::executeScript(dir / "DataBase.mdb", kResultTablesSql);

    constexpr int kKills = 100;
    std::set<std::int32_t> acknowledged;
    for (int k = 0; k < kKills; ++k) {
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(fds[0]);
            appendForever(dir, fds[1], k * 1000);
        }
        ::close(fds[1]);
        // Wait for 1 to 4 posts, then kill the writer in the middle of its next append.
        for (int i = 0; i < 1 + k % 4; ++i) {
            std::int32_t id = 0;
            ASSERT_EQ(::read(fds[0], &id, sizeof id), static_cast<ssize_t>(sizeof id)) << "writer died, kill " << k;
            acknowledged.insert(id);
        }
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status)) << "writer ended by itself, status " << status;
        std::int32_t id = 0;
        while (::read(fds[0], &id, sizeof id) == static_cast<ssize_t>(sizeof id)) {
            acknowledged.insert(id);
        }
        ::close(fds[0]);
    }

    db::Connection c(dir);
    c.setConnectionString("Data Source=DataBase.mdb");
    c.connect();
    sqlite3_stmt* st = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(c.handle(), "PRAGMA integrity_check", -1, &st, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)), "ok");
    sqlite3_finalize(st);

    ResultTables t(c);
    const std::int64_t rows = t.springRowCount();
    EXPECT_GE(rows, static_cast<std::int64_t>(acknowledged.size()));
    std::set<std::int32_t> stored;
    for (std::int64_t n = 0; n < rows; ++n) {
        _xZamer r;
        t.readSpringRow(n, r);
        const _xZamer w = rowFor(r.Nsping);
        EXPECT_EQ(r.Name, w.Name) << "row " << n;
        EXPECT_EQ(r.List, w.List) << "row " << n;
        EXPECT_EQ(r.Se, w.Se) << "row " << n;
        EXPECT_EQ(r.Po, w.Po) << "row " << n;
        EXPECT_EQ(r.Ch, w.Ch) << "row " << n;
        EXPECT_DOUBLE_EQ(r.DataTime, w.DataTime) << "row " << n;
        EXPECT_TRUE(stored.insert(r.Nsping).second) << "row " << n << " stored twice";
    }
    for (const std::int32_t id : acknowledged) {
        EXPECT_EQ(stored.count(id), 1U) << "acknowledged row " << id << " lost";
    }
    c.disconnect();
    fs::remove_all(dir);
}
