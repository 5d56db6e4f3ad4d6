// veltron: the control program of the spring test rig.
#include "app/check.h"
#include "app/environment.h"
#include "app/ui/program.h"

#include <QApplication>

#include <iostream>
#include <string>
#include <string_view>
#include <vector>

int main(int argc, char** argv) {
    // The installation check needs no display, so it runs before Qt is started.
    if (argc >= 2 && std::string_view(argv[1]) == "--check-installation") {
        return veltron::check::runCommandLine(std::vector<std::string>(argv + 2, argv + argc), veltron::programFolder(),
                                              std::cout, std::cerr);
    }
    QApplication app(argc, argv);
    veltron::Program program(veltron::ProgramOptions{});
    return program.run();
}
