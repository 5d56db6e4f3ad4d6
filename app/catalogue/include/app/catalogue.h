// The catalogue: train series, bogie types, spring types with their norms, the binding of
// spring types to bogie types, and set types. Filled once by the start-up loader from the
// five catalogue tables and read-only afterwards.
//
// Every entry is numbered from 1 in the order the loader read the rows of its table. A
// lookup outside the loaded rows gives an empty entry (empty name, zero numbers), never an
// out-of-bounds access. Rows that do not fit the capacities are refused by the filling
// operations (they return false) and the loader logs them, so the numbering of the accepted
// rows is kept.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace veltron {

// Norms and coefficients of one parameter of a spring type.
struct ParamBlock {
    std::uint8_t Rt = 0;  // kind of random step of the emulation filler
    float Midd = 0.0F;    // base value of the emulation filler
    float Add = 0.0F;     // addend applied after Mul
    float Mul = 0.0F;     // multiplier applied to the value
    float Max = 0.0F;     // upper limit of the norm band: nominal + plus column
    float Min = 0.0F;     // lower limit of the norm band: nominal + minus column
    float nominal = 0.0F; // nominal value
};

// Parameter slots of a spring, in the fixed order of records, columns and sheets.
inline constexpr int kSlotCount = 6;

struct SpringType {
    std::string name;                               // at most 64 characters
    std::array<ParamBlock, kSlotCount + 1> block{}; // block[1..6]; entry 0 unused
    float Prutok = 0.0F;                            // bar thickness [mm]; 2 x Prutok parts outer and inner diameter
    float Delta = 0.0F;                             // residual deformation below this counts as 0 [mm]
    float PHU = 0.0F;                               // high test force, commanded value
    float PHS = 0.0F;                               // high test force, shown value [kg]
    float PLU = 0.0F;                               // low test force, commanded value
    float PLS = 0.0F;                               // low test force, shown value [kg]
    std::int32_t Mode = 0;
    std::uint16_t Mask1 = 0; // bit k-1 set: slot k is not taken from the rig
    std::uint16_t Mask2 = 0;
    float Prost = 0.0F;             // spacer [mm]
    std::int32_t innerDiameter = 0; // 1: block 1 holds inner-diameter norms
};

// Set type record (declared beside the measurement records in the original unit `data`).
struct _xKompl {
    std::string Name;
    float HpodNagr = 0.0F;    // nominal height under load [mm]
    float HpodNagrMax = 0.0F; // upper tolerance of height under load [mm]
    float HpodNagrMin = 0.0F; // lower tolerance of height under load [mm]
    float HpodNagrMul = 0.0F; // multiplier applied to the measured value
    float HpodNagrAdd = 0.0F; // addend applied after the multiplier
    float g1max = 0.0F, g1min = 0.0F;
    float g2max = 0.0F, g2min = 0.0F;
    float g3max = 0.0F, g3min = 0.0F;
    float PHU = 0.0F;     // high test force, commanded value
    float PHS = 0.0F;     // high test force, shown value [kg]
    float PLU = 0.0F;     // low test force, commanded value
    float PLS = 0.0F;     // low test force, shown value [kg]
    std::uint8_t Tip = 0; // kind of measured value 0, 1 or 2 (grading treats others as 0)
    std::int32_t Ngr = 0; // groups 4 and 5 count when Ngr > 3 and > 4
    float g4max = 0.0F, g4min = 0.0F;
    float g5max = 0.0F, g5min = 0.0F;
};

// One parameter block as the ParamSpring columns give it, before narrowing.
struct ParamBlockRow {
    double nominal = 0.0, Mul = 0.0, Add = 0.0, Midd = 0.0;
    std::int64_t Rt = 0;
    double plus = 0.0, minus = 0.0;
};

// One ParamSpring row as read. block[1] holds the diameter columns of the group in use.
struct SpringTypeRow {
    std::string name;
    double Prutok = 0.0, Delta = 0.0, PHS = 0.0, PLS = 0.0, PHU = 0.0, PLU = 0.0, Prost = 0.0;
    std::int64_t Mode = 0, Mask1 = 0, Mask2 = 0;
    bool outerDiameter = true; // Do is not 0
    std::array<ParamBlockRow, kSlotCount + 1> block{};
};

// One ParamComp row as read.
struct SetTypeRow {
    std::string Name;
    double VpdMidt = 0.0, VpdAdd = 0.0, VpdMul = 0.0, VpdPlus = 0.0, VpdMinus = 0.0;
    double PHS = 0.0, PHU = 0.0, PLS = 0.0, PLU = 0.0;
    std::array<double, 6> gmin{}, gmax{}; // groups 1..5 at [1..5]
    std::int64_t Type = 0, NGR = 0;
};

// Converts a row to its stored form: names cut, values narrowed, limits derived in extended
// precision and stored as 32-bit floats.
SpringType makeSpringType(const SpringTypeRow& row);
_xKompl makeSetType(const SetTypeRow& row);

// Cuts a UTF-8 text to at most n characters.
std::string cutToCharacters(const std::string& utf8, std::size_t n);

class Catalogue {
public:
    static constexpr int kSeriesCapacity = 1024;
    static constexpr int kBogieCapacity = 1024;
    static constexpr int kBindingBogieCapacity = 255; // bogie types that can have bindings
    static constexpr int kBindingsPerBogie = 512;
    static constexpr int kSpringCapacity = 512;
    static constexpr int kSetCapacity = 1024;
    static constexpr std::size_t kNameLength = 64; // spring type names

    // --- lookups (1-based; empty entry outside the loaded rows) ---
    const std::string& seriesName(int n) const;
    const std::string& bogieName(int n) const;
    const SpringType& springType(int n) const;
    const ParamBlock& parameterBlock(int n, int slot) const;
    const std::vector<std::int32_t>& boundSpringTypes(int bogie) const;
    const _xKompl& setType(int n) const;

    int seriesCount() const { return static_cast<int>(series_.size()); }
    int bogieCount() const { return static_cast<int>(bogies_.size()); }
    int springTypeCount() const { return static_cast<int>(springs_.size()); }
    int setTypeCount() const { return static_cast<int>(sets_.size()); }

    // --- filling, used by the start-up loader ---
    // Entries are stored in order: n must be the next number (count + 1) and within the
    // capacity, otherwise nothing is stored and the result is false.
    bool setSeriesName(int n, std::string name);
    bool setBogieName(int n, std::string name);
    bool storeSpringType(int n, const SpringTypeRow& row);
    bool storeSetType(int n, const SetTypeRow& row);
    // Empties the binding lists of bogie types 1..min(count, 255).
    void clearBindings();
    enum class BindResult { Added, BadBogie, BadSpring, ListFull };
    // Spring type s must lie within 1..512 (a number beyond the loaded rows binds an empty
    // type); bogie type b within the loaded bogie types and 1..255.
    BindResult addBinding(int s, int b);
    void clear();

private:
    std::vector<std::string> series_;
    std::vector<std::string> bogies_;
    std::vector<SpringType> springs_;
    std::vector<_xKompl> sets_;
    std::array<std::vector<std::int32_t>, kBindingBogieCapacity + 1> bindings_{}; // [1..255]
};

} // namespace veltron
