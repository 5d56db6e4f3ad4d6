// The parameters of the profile mathematics taken from the program's settings (setup.ini).
#pragma once

#include "app/settings.h"
#include "math/params.h"

namespace veltron::math {

MathParams mathParamsFrom(const Settings& settings);

} // namespace veltron::math
