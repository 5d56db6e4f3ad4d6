// rigsim: every device of the rig on pseudo-terminals, for running veltron without hardware.
#include "sim/simulator.h"

#include "platform/text.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

namespace {

veltron::sim::Simulator* g_sim = nullptr;

void onSignal(int) {
    if (g_sim) {
        g_sim->requestStop();
    }
}

void usage() {
    std::puts("usage: rigsim --devdir DIR --setup PATH/setup.ini [options]\n"
              "  --cal DIR            folder with Tabl1/cal1..4.txt (default: the setup file's folder)\n"
              "  --spring SPEC        spring as key=value items: H D d n tiltx tilty x y rate count present\n"
              "                       e.g. \"H=340 D=200 d=36 n=7.75 rate=100\"\n"
              "  --spring-file PATH   the same items in a file, one or more a line, # comments\n"
              "  --speed FACTOR       simulated time runs FACTOR times faster (default 1)\n"
              "  --pace               send every byte at its line's baud rate\n"
              "  --fault DEV:MODE[:ARG]  fault at start: ck:silent, cam2:badcheck, ck:noise:8, cam:slow:30,\n"
              "                       unplug:ck[:MS], stuck:BIT:on|off, noend:AXIS (repeatable)\n"
              "  --control CMD        any control command at start (repeatable)\n"
              "Links DIR/COM<n> for every port of the settings, and the control socket DIR/rigsim.sock;\n"
              "ends on SIGTERM, SIGINT or the control command \"stop\".");
}

// "ck:noise:8" -> "fault ck noise 8"; "stuck:4:on" -> "stuck 4 on"; "noend:press" -> "noend press on".
std::string faultCommand(const std::string& spec) {
    std::string s = spec;
    for (char& c : s) {
        if (c == ':') {
            c = ' ';
        }
    }
    const std::string head = s.substr(0, s.find(' '));
    if (head == "unplug" || head == "stuck") {
        return s;
    }
    if (head == "noend") {
        return s + " on";
    }
    return "fault " + s;
}

} // namespace

int main(int argc, char** argv) {
    veltron::sim::Options o;
    try {
        for (int i = 1; i < argc; ++i) {
            const std::string a = argv[i];
            auto value = [&]() -> std::string {
                if (i + 1 >= argc) {
                    throw std::invalid_argument(a + " needs a value");
                }
                return argv[++i];
            };
            if (a == "--devdir") {
                o.devDir = value();
            } else if (a == "--setup") {
                o.setupPath = value();
            } else if (a == "--cal") {
                o.calibrationDir = value();
            } else if (a == "--spring") {
                o.spring = veltron::sim::parseSpring(value(), o.spring);
            } else if (a == "--spring-file") {
                o.spring = veltron::sim::readSpringFile(value());
            } else if (a == "--speed") {
                const auto f = veltron::text::parseDouble(value());
                if (!f || !(*f > 0)) {
                    throw std::invalid_argument("--speed needs a positive number");
                }
                o.speed = *f;
            } else if (a == "--pace") {
                o.pace = true;
            } else if (a == "--fault") {
                o.commands.push_back(faultCommand(value()));
            } else if (a == "--control") {
                o.commands.push_back(value());
            } else if (a == "--help" || a == "-h") {
                usage();
                return 0;
            } else {
                throw std::invalid_argument("unknown option " + a);
            }
        }
        if (o.devDir.empty() || o.setupPath.empty()) {
            usage();
            return 2;
        }
        veltron::sim::Simulator sim(o);
        for (const auto& w : sim.warnings()) {
            std::fprintf(stderr, "rigsim: warning: %s\n", w.c_str());
        }
        g_sim = &sim;
        struct sigaction sa {};
        sa.sa_handler = onSignal;
        sigemptyset(&sa.sa_mask);
        sigaction(SIGTERM, &sa, nullptr);
        sigaction(SIGINT, &sa, nullptr);
        std::signal(SIGPIPE, SIG_IGN);
        sim.start();
        std::cout << sim.readyLine() << std::endl;
        sim.run();
        g_sim = nullptr;
        std::cout << "rigsim stopped" << std::endl;
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "rigsim: %s\n", e.what());
        return 1;
    }
}
