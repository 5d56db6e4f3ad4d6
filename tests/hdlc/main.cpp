// Loads libhdlc.so by name from a working directory of this process's own, then runs the tests.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <unistd.h>

#include "api.h"
#include "platform/text.h"

namespace veltron::testing {

HdlcApi g_api;
std::filesystem::path g_work;
std::filesystem::path g_dev;

namespace {

template <typename F>
void bind(void* lib, F& slot, const char* name) {
    slot = reinterpret_cast<F>(dlsym(lib, name));
    if (slot == nullptr) {
        std::fprintf(stderr, "libhdlc.so lacks %s\n", name);
        std::exit(2);
    }
}

} // namespace

const HdlcApi& hdlc() {
    return g_api;
}
const std::filesystem::path& workDir() {
    return g_work;
}
const std::filesystem::path& devDir() {
    return g_dev;
}

std::string readTrace() {
    std::ifstream in(g_work / "hdlc.log", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return text::cp1251ToUtf8(bytes);
}

std::string waitForTrace(const std::string& fragment) {
    // Bounded wait for the library's next flush; typically one 200 ms period.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
        std::string log = readTrace();
        if (log.find(fragment) != std::string::npos) {
            return log;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            return "";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

} // namespace veltron::testing

namespace {

// Child mode: load the library in the given folder, make one stamped trace line, wait for the
// flush. Lets a test see the load-time header under other settings than this process's.
int loadLibraryIn(const char* dir) {
    std::filesystem::current_path(dir);
    void* lib = dlopen(HDLC_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    if (lib == nullptr) {
        return 2;
    }
    auto init = reinterpret_cast<decltype(&::hdlcInitComPort)>(dlsym(lib, "hdlcInitComPort"));
    init(0, 9600);
    veltron::testing::g_work = dir;
    return veltron::testing::waitForTrace("InitComPort").empty() ? 1 : 0;
}

} // namespace

int main(int argc, char** argv) {
    using namespace veltron::testing;
    if (argc == 3 && std::string(argv[1]) == "--load-library-in") {
        return loadLibraryIn(argv[2]);
    }
    ::testing::InitGoogleTest(&argc, argv);
    char tmpl[] = "/tmp/hdlc-tests-XXXXXX";
    if (mkdtemp(tmpl) == nullptr) {
        return 2;
    }
    g_work = tmpl;
    g_dev = g_work / "dev";
    std::filesystem::create_directories(g_dev);
    setenv("VELTRON_DEVDIR", g_dev.c_str(), 1);
    setenv("VELTRON_CPU_FILE", (g_work / "no-cpu.txt").c_str(), 1);
    const auto oldCwd = std::filesystem::current_path();
    std::filesystem::current_path(g_work);
    void* lib = dlopen(HDLC_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    std::filesystem::current_path(oldCwd);
    if (lib == nullptr) {
        std::fprintf(stderr, "%s\n", dlerror());
        return 2;
    }
    bind(lib, g_api.hdlcVersion, "hdlcVersion");
    bind(lib, g_api.inPort, "inPort");
    bind(lib, g_api.sendData, "_hdlcSendDataDll");
    bind(lib, g_api.outPort, "_hdlcOutPortDll");
    bind(lib, g_api.hdlcSetup, "hdlcSetup");
    bind(lib, g_api.hdlcSetSpeed, "hdlcSetSpeed");
    bind(lib, g_api.hdlcCloseComPort, "hdlcCloseComPort");
    bind(lib, g_api.hdlcInitComPort, "hdlcInitComPort");
    const int rc = RUN_ALL_TESTS();
    std::error_code ec;
    std::filesystem::remove_all(g_work, ec);
    return rc;
}
