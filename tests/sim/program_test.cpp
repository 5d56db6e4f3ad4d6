// The rigsim program itself: links for every port of the settings, a ready line, and the
// links gone again after SIGTERM or the control command "stop".
#include "harness.h"

#include "platform/files.h"

#include <csignal>
#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace veltron::simtest {
namespace {

struct Child {
    pid_t pid = -1;
    FILE* out = nullptr;
};

Child launch(const std::filesystem::path& dev, const std::filesystem::path& setup, const std::string& extra = "") {
    int fds[2];
    if (::pipe(fds) != 0) {
        return {};
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fds[1], STDOUT_FILENO);
        ::close(fds[0]);
        ::close(fds[1]);
        const std::string d = dev.string();
        const std::string s = setup.string();
        if (extra.empty()) {
            ::execl(RIGSIM_BIN, RIGSIM_BIN, "--devdir", d.c_str(), "--setup", s.c_str(), nullptr);
        } else {
            ::execl(RIGSIM_BIN, RIGSIM_BIN, "--devdir", d.c_str(), "--setup", s.c_str(), "--fault", extra.c_str(),
                    nullptr);
        }
        ::_exit(127);
    }
    ::close(fds[1]);
    return {pid, ::fdopen(fds[0], "r")};
}

std::string readLine(FILE* f) {
    char buf[512];
    return std::fgets(buf, sizeof buf, f) ? std::string(buf) : std::string();
}

int waitExit(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Program, LinksEveryPortUntilSigterm) {
    const auto dir = scratch("prog");
    const auto setup = makeInstallation(dir / "inst");
    Child c = launch(dir / "dev", setup);
    ASSERT_GT(c.pid, 0);
    const std::string ready = readLine(c.out);
    EXPECT_EQ(ready.rfind("rigsim ready: COM1=ck COM2=cam COM3=drive COM4=tenzo COM5=ck2", 0), 0U) << ready;
    for (int port = 1; port <= 5; ++port) {
        EXPECT_TRUE(std::filesystem::is_symlink(dir / "dev" / ("COM" + std::to_string(port)))) << port;
    }
    {
        Link ck(dir / "dev" / "COM1", 115200);
        EXPECT_TRUE(ck.exchange(55, 85, {}));
    }
    ::kill(c.pid, SIGTERM);
    EXPECT_EQ(waitExit(c.pid), 0);
    std::fclose(c.out);
    for (int port = 1; port <= 5; ++port) {
        EXPECT_FALSE(
            std::filesystem::exists(std::filesystem::symlink_status(dir / "dev" / ("COM" + std::to_string(port)))));
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "dev" / "rigsim.sock"));
}

TEST(Program, FaultFromTheCommandLineAndStopFromTheControlChannel) {
    const auto dir = scratch("prog2");
    const auto setup = makeInstallation(dir / "inst");
    Child c = launch(dir / "dev", setup, "ck:silent");
    ASSERT_GT(c.pid, 0);
    ASSERT_EQ(readLine(c.out).rfind("rigsim ready:", 0), 0U);
    {
        Link ck(dir / "dev" / "COM1", 115200);
        EXPECT_FALSE(ck.exchange(55, 85, {}, 100));
    }
    EXPECT_EQ(controlCommand(dir / "dev" / "rigsim.sock", "stop"), "ok\n");
    EXPECT_EQ(waitExit(c.pid), 0);
    std::fclose(c.out);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(dir / "dev" / "COM1")));
}

TEST(Program, RefusesSettingsWhosePortsClash) {
    const auto dir = scratch("clash");
    std::filesystem::create_directories(dir / "inst" / "Tabl1");
    const auto setup = makeInstallation(dir / "inst");
    std::string text = *files::readFile(setup);
    text.replace(text.find("CAM_PORT=2"), 10, "CAM_PORT=1");
    files::writeFileAtomic(setup, text);
    Child c = launch(dir / "dev", setup);
    ASSERT_GT(c.pid, 0);
    EXPECT_EQ(waitExit(c.pid), 1);
    std::fclose(c.out);
    EXPECT_FALSE(std::filesystem::exists(dir / "dev" / "COM1"));
}

} // namespace
} // namespace veltron::simtest
