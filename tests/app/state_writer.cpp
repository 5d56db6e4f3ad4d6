// Test helper: rewrites the state file given as argument in an endless loop with states
// that are each internally consistent, and says "ready" after the first complete write.
#include "app/state.h"
#include "platform/files.h"

#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        return 2;
    }
    veltron::ConsoleLog console(false, [] { return veltron::text::DateTime{}; });
    if (!veltron::files::readFile(argv[1])) {
        veltron::files::writeFileAtomic(argv[1], "[Mine]\r\nkeep=yes\r\n");
    }
    veltron::StateStore store(argv[1], console);
    store.read();
    bool said = false;
    for (int n = store.state().NOWSPRING + 1;; ++n) {
        auto& s = store.state();
        s.NOWSPRING = n;
        s.NOWKOMPL = n;
        s.DAY = n % 28 + 1;
        s.SERIA = 5;
        s.TRAIN = "Поезд " + std::to_string(n);
        if (!store.write()) {
            return 1;
        }
        if (!said) {
            said = true;
            (void)!::write(STDOUT_FILENO, "r", 1);
        }
    }
}
