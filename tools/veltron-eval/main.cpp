// veltron-eval [--cmr] [--prefix P] DIR
//
// Runs the automatic four-camera evaluation on DIR (setup.ini, Tabl1\cal1.txt..cal4.txt and
// the profile files P + "cam1.txt".."cam4.txt", or "cmr" with --cmr) and prints the memo
// lines of the chain in UTF-8, one per line. Like the program, it writes the calibrated dumps
// (P + "mmr" + N + ".txt") and, with smoothing, fi.txt into DIR.
#include "eval_chain.h"

#include <cstdio>
#include <exception>
#include <iostream>
#include <string_view>

namespace {

int usage() {
    std::cerr << "usage: veltron-eval [--cmr] [--prefix P] DIR\n";
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    veltron::eval::EvalRequest request;
    bool haveDir = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--cmr") {
            request.cmr = true;
        } else if (arg == "--prefix") {
            if (++i >= argc) {
                return usage();
            }
            request.prefix = argv[i];
        } else if (arg == "--help" || arg == "-h") {
            usage();
            return 0;
        } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
            std::cerr << "veltron-eval: unknown option " << arg << "\n";
            return usage();
        } else if (!haveDir) {
            request.dir = argv[i];
            haveDir = true;
        } else {
            return usage();
        }
    }
    if (!haveDir) {
        return usage();
    }
    try {
        const veltron::eval::EvalReport report = veltron::eval::evaluateFolder(request);
        for (const auto& line : report.log) {
            std::cerr << "veltron-eval: " << line << "\n";
        }
        std::string out;
        for (const auto& line : report.memo) {
            out += line;
            out += '\n';
        }
        std::fwrite(out.data(), 1, out.size(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    } catch (const std::exception& e) {
        std::cerr << "veltron-eval: " << e.what() << "\n";
        return 1;
    }
}
