// veltron: the control program of the spring test rig.
#include "app/ui/program.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    veltron::Program program(veltron::ProgramOptions{});
    return program.run();
}
