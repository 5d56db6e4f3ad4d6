// Where the program runs from.
#pragma once

#include <filesystem>

namespace veltron {

// Folder of the executable (setup.ini, state.ini and BMP lie there).
std::filesystem::path programFolder();

} // namespace veltron
