// Measurement records: one measured spring (_xZamer) and one measured set (_xKZamer), the
// naming of measurements, and the values that stand in for rig readings (the emulation
// filler of every new spring record and the reject injection of emulated measurements).
// The set type record _xKompl belongs to the catalogue (app/catalogue.h).
#pragma once

#include "app/catalogue.h"
#include "app/settings.h"
#include "app/state.h"
#include "platform/text.h"

#include <array>
#include <cstdint>
#include <random>
#include <string>

namespace veltron {

// Parameter slots of List, in the order of the blocks, columns and sheets.
enum Slot : int {
    kSlotDiameter = 1,
    kSlotHeight = 2,
    kSlotPitchDifference = 3,
    kSlotNonPerpendicularity = 4,
    kSlotDeflection = 5,
    kSlotResidualDeformation = 6,
};

struct _xZamer {
    std::string Name;                         // measurement name
    double DataTime = 0.0;                    // days since 1899-12-30, time as fraction
    std::uint8_t Vid_zamera = 0;              // kind of measurement; 0 when made
    std::array<float, kSlotCount + 1> List{}; // List[1..6], the parameter slots [mm]; entry 0 unused
    std::int32_t Ch = 0;                      // bogie type number, 1-based
    std::int32_t Nsping = 0;                  // spring type number, 1-based
    std::string Se;                           // series name
    std::string Po;                           // train number
};

struct _xKZamer {
    std::string Name;            // "K" + measurement name
    double DataTime = 0.0;       // days since 1899-12-30
    std::uint8_t Vid_zamera = 0; // 0 when made
    float List = 0.0F;           // height under load or deflection, as the set type's Tip says [mm]
    std::int32_t Ch = 0;         // bogie type number
    std::string Se;              // series name
    std::string Po;              // train number
    std::int32_t Nkompl = 0;     // set type number, 1-based
    float v = 0.0F;              // free height after loading [mm]
    std::int32_t tel = 0;        // never filled
};

// The current records of the run: the spring and set being measured, and the print copy of a
// set measurement that the set result page works on.
struct CurrentRecords {
    _xZamer spring;
    _xKZamer set;
    _xKZamer printCopy;
};

// Screen names of the slots ("Диаметр наружный" or "Диаметр внутренний" for slot 1).
std::string slotName(int slot, bool innerDiameter);
// Database columns of the slots: Dia, Vis, ByStep, NoPerp, Arrow, Def.
const char* slotColumn(int slot);

// --- date-time values: days since 1899-12-30 with the time of day as fraction ---
double toDays(const text::DateTime& t);
text::DateTime fromDays(double days);

// --- names ---
// The counter with at least four digits: 7 -> "0007", 12345 -> "12345".
std::string formatCounter(std::int32_t counter);
// Counter text, "-", then day, month and year of the date: 7 on 09.12.2026 -> "0007-09122026".
std::string makeMeasurementName(std::int32_t counter, const text::DateTime& date);
// Set names: the Latin "K" before the measurement name.
std::string makeSetName(std::int32_t counter, const text::DateTime& date);

// --- random source of the emulation ---
// A seedable generator, so a run (and a test) can be repeated exactly. Derived classes can
// script the draws.
class RandomSource {
public:
    explicit RandomSource(std::uint32_t seed = 1) : engine_(seed) {}
    virtual ~RandomSource() = default;
    // A uniform integer 0..n-1 (0 when n <= 0).
    virtual int random(int n);
    // random(n) / 10, rounded to a 32-bit float: the steps of the filler and the injection.
    float step(int n) { return static_cast<float>(random(n) / 10.0); }

private:
    std::mt19937 engine_;
};

// The filler of one slot: Midd plus the random step that the block's Rt selects.
float emulationFiller(const ParamBlock& block, RandomSource& rng);

// Fills a new spring record: name from the spring counter, time, selections of the operator,
// the spring type and the filler in all six slots. The caller has already incremented the
// spring counter.
void fillSpringRecord(_xZamer& record, std::int32_t springType, const Catalogue& catalogue, const OperatorState& state,
                      const text::DateTime& now, RandomSource& rng);

// Emulation only, when BrakGenerate is on and a draw 0..99 falls below BrakPersent: each slot
// independently, with probability 0.2, is pushed to its Max plus a step of 0.0 to 5.0.
// Returns whether the record was a candidate.
bool injectRejects(_xZamer& record, const Catalogue& catalogue, const Settings& settings, RandomSource& rng);

// The set values that the set measurement uses in emulation instead of the press readings
// (before the set type's multiplier and addend).
void emulateSetValues(_xKZamer& record, const _xKompl& setType, const Settings& settings, RandomSource& rng);

} // namespace veltron
