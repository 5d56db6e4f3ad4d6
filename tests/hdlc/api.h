// libhdlc.so as the rig program sees it: loaded by name, called through its C exports only.
// main() loads it once per test process, from a fresh working directory, so each process
// has its own hdlc.log.
#pragma once

#include <filesystem>
#include <string>

#include "hdlc/hdlc.h"

namespace veltron::testing {

struct HdlcApi {
    decltype(&::hdlcVersion) hdlcVersion = nullptr;
    decltype(&::inPort) inPort = nullptr;
    decltype(&::_hdlcSendDataDll) sendData = nullptr;
    decltype(&::_hdlcOutPortDll) outPort = nullptr;
    decltype(&::hdlcSetup) hdlcSetup = nullptr;
    decltype(&::hdlcSetSpeed) hdlcSetSpeed = nullptr;
    decltype(&::hdlcCloseComPort) hdlcCloseComPort = nullptr;
    decltype(&::hdlcInitComPort) hdlcInitComPort = nullptr;
};

const HdlcApi& hdlc();
// The working directory the library was loaded in (holds hdlc.log) and the device folder.
const std::filesystem::path& workDir();
const std::filesystem::path& devDir();
// Waits until hdlc.log holds the UTF-8 fragment (the library writes every 200 ms); returns the
// whole log as UTF-8, or "" when the fragment never came.
std::string waitForTrace(const std::string& fragment);
std::string readTrace();

} // namespace veltron::testing
