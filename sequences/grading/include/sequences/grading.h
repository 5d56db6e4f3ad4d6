// Grading rules: turn the raw readings of a measurement into the stored spring or set values,
// and judge them against the catalogue as it is loaded now (a stored record is judged again
// whenever it is shown or printed).
//
// Arithmetic runs in extended precision; every stored value is a 32-bit float after each
// step. A value that is not finite fails its slot and falls in no group, so a reading that
// was never made cannot be graded as in norm.
#pragma once

#include "app/catalogue.h"
#include "app/settings.h"
#include "results/data.h"

#include <cstdint>
#include <functional>
#include <string>

namespace veltron {

// The press height conversion: press encoder count -> millimetres.
using PressHeight = std::function<double(std::int32_t)>;

// The tolerance margin on both sides of every norm band (a 32-bit float, as in the original).
inline constexpr float kToleranceMargin = 0.1F;

struct SpringReadings {
    double outerDiameter = 0.0;         // four-camera diameter result or the operator's entry [mm]
    double pitchSpread = 0.0;           // pitch spread result [mm]
    double nonPerpendicularity = 0.0;   // non-perpendicularity result [mm]
    std::int32_t liftOffBefore = 0;     // press encoder count before loading
    std::int32_t liftOffAfter = 0;      // press encoder count after loading
    std::int32_t forceAtFourthLoad = 0; // press encoder count of the force result at the fourth load
};

struct SetReadings {
    std::int32_t liftOffAfter = 0;      // press encoder count after loading
    std::int32_t forceAtFourthLoad = 0; // press encoder count at the fourth load
};

// Fills the six slots of a spring record. The record already holds the emulation filler; on
// the rig (Emul off) the slots that Mask1 leaves clear take the readings and every slot gets
// the [Popr] corrections; in emulation only the block coefficients are applied.
void deriveSpringValues(_xZamer& record, const SpringType& type, const SpringReadings& readings,
                        const Settings& settings, const PressHeight& conv);

// Passes when Min - 0.1 <= x <= Max + 0.1; a non-finite value fails.
bool parameterCheck(const _xZamer& record, int slot, const Catalogue& catalogue);
bool springCheck(const _xZamer& record, const Catalogue& catalogue);
// How far the value lies outside its band (0 inside); a non-finite value is shown as itself.
double parameterDeviation(const _xZamer& record, int slot, const Catalogue& catalogue);

// Tip as the grading uses it: a Tip outside 0..2 is treated as 0.
int effectiveTip(const _xKompl& setType);

// Fills v and List of a set record on the rig, then scales List by the set type's multiplier
// and addend (in emulation only the scaling, on the emulated values).
void deriveSetValues(_xKZamer& record, const _xKompl& setType, const SetReadings& readings, const Settings& settings,
                     const PressHeight& conv);

// The value the groups are judged on: List, or v - List for Tip 2.
double groupingValue(const _xKZamer& record, const _xKompl& setType);
// 0 (rejected) or 1..5; the highest matching group wins, bounds inclusive without margin.
int setGroup(const _xKZamer& record, const Catalogue& catalogue);
int setGroup(const _xKZamer& record, const _xKompl& setType);

// Display values and texts.
double heightUnderLoadShown(const _xKZamer& record, const _xKompl& setType);
double deflectionShown(const _xKZamer& record, const _xKompl& setType);
std::string groupTableLabel(const _xKompl& setType); // "высота под давлением" or "стрела прогиба"
std::string slotVerdict(bool pass);                  // "Норма" / "Брак"
std::string springVerdict(bool pass);                // "Норма" / "БРАК"
std::string groupText(int group);                    // "№ 3" or "не определена"

} // namespace veltron
