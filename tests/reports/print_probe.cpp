// Prints the spring sheet of a measurement of the given name on the default destination of
// the system, as the archive's key 10 does; the exit status says whether it was printed.
// Used by cups_print.sh against a private CUPS server.
#include "fixture.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>

namespace {
constexpr char kKeyConfirm = '*'; // key 11
} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s measurement-name\n", argv[0]);
        return 2;
    }
    veltron::testing::ReportFixture f;
    f.reports->output().printer = std::make_unique<veltron::SystemPrinter>();
    f.reports->drawSpringResultPage(f.spring(argv[1], 105.0F));
    f.host.script.assign(1, kKeyConfirm); // confirms the print screen
    const bool printed = f.reports->printSpringSheet();
    if (!printed) {
        std::fputs(f.logText().c_str(), stderr);
    }
    return printed ? 0 : 1;
}
