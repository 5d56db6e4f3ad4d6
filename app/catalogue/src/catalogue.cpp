#include "app/catalogue.h"

#include <limits>

namespace veltron {

namespace {

// Narrowing of a column value to a 32-bit float field. Values beyond the float range
// saturate instead of becoming infinite, so no non-finite value enters the catalogue.
float toFloat(long double v) {
    constexpr long double kMax = std::numeric_limits<float>::max();
    if (v > kMax) {
        return std::numeric_limits<float>::max();
    }
    if (v < -kMax) {
        return -std::numeric_limits<float>::max();
    }
    return static_cast<float>(v);
}

ParamBlock makeBlock(const ParamBlockRow& r) {
    ParamBlock b;
    b.nominal = toFloat(r.nominal);
    b.Mul = toFloat(r.Mul);
    b.Add = toFloat(r.Add);
    b.Midd = toFloat(r.Midd);
    b.Rt = static_cast<std::uint8_t>(static_cast<std::uint64_t>(r.Rt) & 0xFFU);
    // The limits are derived in extended precision from the column values, then narrowed.
    b.Max = toFloat(static_cast<long double>(r.nominal) + static_cast<long double>(r.plus));
    b.Min = toFloat(static_cast<long double>(r.nominal) + static_cast<long double>(r.minus));
    return b;
}

const std::string kEmptyName;
const SpringType kEmptySpring{};
const ParamBlock kEmptyBlock{};
const _xKompl kEmptySet{};
const std::vector<std::int32_t> kNoBindings;

} // namespace

std::string cutToCharacters(const std::string& utf8, std::size_t n) {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if ((c & 0xC0U) != 0x80U) { // a lead byte starts a character
            if (chars == n) {
                return utf8.substr(0, i);
            }
            ++chars;
        }
    }
    return utf8;
}

SpringType makeSpringType(const SpringTypeRow& row) {
    SpringType t;
    t.name = cutToCharacters(row.name, Catalogue::kNameLength);
    t.Prutok = toFloat(row.Prutok);
    t.Delta = toFloat(row.Delta);
    t.PHS = toFloat(row.PHS);
    t.PLS = toFloat(row.PLS);
    t.PHU = toFloat(row.PHU);
    t.PLU = toFloat(row.PLU);
    t.Prost = toFloat(row.Prost);
    t.Mode = static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(row.Mode)));
    t.Mask1 = static_cast<std::uint16_t>(static_cast<std::uint64_t>(row.Mask1) & 0xFFFFU);
    t.Mask2 = static_cast<std::uint16_t>(static_cast<std::uint64_t>(row.Mask2) & 0xFFFFU);
    t.innerDiameter = row.outerDiameter ? 0 : 1;
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        t.block[static_cast<std::size_t>(slot)] = makeBlock(row.block[static_cast<std::size_t>(slot)]);
    }
    return t;
}

_xKompl makeSetType(const SetTypeRow& r) {
    _xKompl k;
    k.Name = r.Name;
    k.HpodNagr = toFloat(r.VpdMidt);
    k.HpodNagrAdd = toFloat(r.VpdAdd);
    k.HpodNagrMul = toFloat(r.VpdMul);
    k.HpodNagrMax = toFloat(static_cast<long double>(r.VpdMidt) + static_cast<long double>(r.VpdPlus));
    k.HpodNagrMin = toFloat(static_cast<long double>(r.VpdMidt) + static_cast<long double>(r.VpdMinus));
    k.PHS = toFloat(r.PHS);
    k.PHU = toFloat(r.PHU);
    k.PLS = toFloat(r.PLS);
    k.PLU = toFloat(r.PLU);
    k.g1min = toFloat(r.gmin[1]);
    k.g1max = toFloat(r.gmax[1]);
    k.g2min = toFloat(r.gmin[2]);
    k.g2max = toFloat(r.gmax[2]);
    k.g3min = toFloat(r.gmin[3]);
    k.g3max = toFloat(r.gmax[3]);
    k.Tip = static_cast<std::uint8_t>(static_cast<std::uint64_t>(r.Type) & 0xFFU);
    k.Ngr = static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(r.NGR)));
    k.g4min = toFloat(r.gmin[4]);
    k.g4max = toFloat(r.gmax[4]);
    k.g5min = toFloat(r.gmin[5]);
    k.g5max = toFloat(r.gmax[5]);
    return k;
}

const std::string& Catalogue::seriesName(int n) const {
    return n >= 1 && n <= seriesCount() ? series_[static_cast<std::size_t>(n - 1)] : kEmptyName;
}

const std::string& Catalogue::bogieName(int n) const {
    return n >= 1 && n <= bogieCount() ? bogies_[static_cast<std::size_t>(n - 1)] : kEmptyName;
}

const SpringType& Catalogue::springType(int n) const {
    return n >= 1 && n <= springTypeCount() ? springs_[static_cast<std::size_t>(n - 1)] : kEmptySpring;
}

const ParamBlock& Catalogue::parameterBlock(int n, int slot) const {
    if (slot < 1 || slot > kSlotCount) {
        return kEmptyBlock;
    }
    return springType(n).block[static_cast<std::size_t>(slot)];
}

const std::vector<std::int32_t>& Catalogue::boundSpringTypes(int bogie) const {
    if (bogie < 1 || bogie > bogieCount() || bogie > kBindingBogieCapacity) {
        return kNoBindings;
    }
    return bindings_[static_cast<std::size_t>(bogie)];
}

const _xKompl& Catalogue::setType(int n) const {
    return n >= 1 && n <= setTypeCount() ? sets_[static_cast<std::size_t>(n - 1)] : kEmptySet;
}

bool Catalogue::setSeriesName(int n, std::string name) {
    if (n != seriesCount() + 1 || n > kSeriesCapacity) {
        return false;
    }
    series_.push_back(std::move(name));
    return true;
}

bool Catalogue::setBogieName(int n, std::string name) {
    if (n != bogieCount() + 1 || n > kBogieCapacity) {
        return false;
    }
    bogies_.push_back(std::move(name));
    return true;
}

bool Catalogue::storeSpringType(int n, const SpringTypeRow& row) {
    if (n != springTypeCount() + 1 || n > kSpringCapacity) {
        return false;
    }
    springs_.push_back(makeSpringType(row));
    return true;
}

bool Catalogue::storeSetType(int n, const SetTypeRow& row) {
    if (n != setTypeCount() + 1 || n > kSetCapacity) {
        return false;
    }
    sets_.push_back(makeSetType(row));
    return true;
}

void Catalogue::clearBindings() {
    for (auto& list : bindings_) {
        list.clear();
    }
}

Catalogue::BindResult Catalogue::addBinding(int s, int b) {
    if (b < 1 || b > bogieCount() || b > kBindingBogieCapacity) {
        return BindResult::BadBogie;
    }
    if (s < 1 || s > kSpringCapacity) {
        return BindResult::BadSpring;
    }
    auto& list = bindings_[static_cast<std::size_t>(b)];
    if (list.size() >= static_cast<std::size_t>(kBindingsPerBogie)) {
        return BindResult::ListFull;
    }
    list.push_back(s);
    return BindResult::Added;
}

void Catalogue::clear() {
    series_.clear();
    bogies_.clear();
    springs_.clear();
    sets_.clear();
    clearBindings();
}

} // namespace veltron
