// The automatic evaluation of one folder: setup.ini, the calibration tables under Tabl1 and
// the four profile files, as the spring measurement evaluates a scan.
#pragma once

#include "math/profile.h"

#include <filesystem>
#include <string>
#include <vector>

namespace veltron::eval {

struct EvalRequest {
    std::filesystem::path dir;
    std::string prefix; // file-name prefix of the profile files, e.g. "STORE\z5"
    bool cmr = false;   // read the "cmr" files
    // Overrides of setup.ini, for the benchmark: -1 keeps the file's value.
    int smoothing = -1;
};

struct EvalReport {
    std::vector<std::string> memo; // UTF-8
    std::vector<std::string> log;  // problems the evaluation logged
};

// Throws std::runtime_error with a message naming the file when a file is missing or malformed.
EvalReport evaluateFolder(const EvalRequest& request);

} // namespace veltron::eval
