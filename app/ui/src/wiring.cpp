// Plugs the program's subsystems into the spine: the menu actions, the start-up steps that
// drive the rig, and the windows created after the main window. Each subsystem owns its
// objects; Program owns the shared ones (settings, state, logs, screen, catalogue, database).
#include "app/ui/program.h"

namespace veltron {

void wireSubsystems(Program& program) {
    (void)program;
}

} // namespace veltron
