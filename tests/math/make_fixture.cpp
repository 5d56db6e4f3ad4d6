// Writes the evaluation fixture folder (tests/fixtures/math/eval): one synthetic spring in
// the "cam" and "cmr" formats, and a second one stored as STORE\z5cam1..4.txt. The expected
// outputs beside it were produced by veltron-eval and checked against the models: diameter
// 200 and height 340 for the first spring, 190 and 320 for the stored one.
#include "math/synthetic_spring.h"

#include <iostream>

using namespace veltron::math::synth;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_fixture DIR\n";
        return 2;
    }
    const ScanModel scan{380.0, 0.5, 900, 97};
    SpringModel first;
    first.tiltX = 0.004;
    first.tiltY = -0.003;
    writeFolder(argv[1], scanSpring(first, scan), true);

    SpringModel stored;
    stored.freeHeight = 320.0;
    stored.outerDiameter = 190.0;
    stored.wireDiameter = 34.0;
    stored.turns = 6.75;
    stored.tiltX = -0.006;
    writeProfileFiles(argv[1], scanSpring(stored, scan), false, "STORE\\z5");
    return 0;
}
