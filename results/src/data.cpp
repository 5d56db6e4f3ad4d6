#include "results/data.h"

#include <cmath>

namespace veltron {

namespace {

// Days from 1970-01-01 to the civil date (proleptic Gregorian).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void civilFromDays(std::int64_t z, int& y, int& m, int& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2 ? 1 : 0));
}

const std::int64_t kEpoch1899 = daysFromCivil(1899, 12, 30);
constexpr double kMsPerDay = 86400000.0;

} // namespace

std::string slotName(int slot, bool innerDiameter) {
    switch (slot) {
    case kSlotDiameter:
        return std::string("Диаметр ") + (innerDiameter ? "внутренний" : "наружный");
    case kSlotHeight:
        return "Высота";
    case kSlotPitchDifference:
        return "Разность шагов";
    case kSlotNonPerpendicularity:
        return "Неперпендикулярность";
    case kSlotDeflection:
        return "Стрела прогиба";
    case kSlotResidualDeformation:
        return "Остаточная деформация";
    default:
        return {};
    }
}

const char* slotColumn(int slot) {
    static const char* const kColumns[] = {"", "Dia", "Vis", "ByStep", "NoPerp", "Arrow", "Def"};
    return slot >= 1 && slot <= kSlotCount ? kColumns[slot] : "";
}

double toDays(const text::DateTime& t) {
    const std::int64_t day = daysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day));
    const double ms = ((t.hour * 60.0 + t.minute) * 60.0 + t.second) * 1000.0 + t.millisecond;
    const double whole = static_cast<double>(day - kEpoch1899);
    // Before 1899-12-30 the time counts away from zero, as in the original date format.
    return whole >= 0 ? whole + ms / kMsPerDay : whole - ms / kMsPerDay;
}

text::DateTime fromDays(double days) {
    text::DateTime t;
    if (!std::isfinite(days)) {
        return t;
    }
    const double whole = std::trunc(days);
    // Rounded to the millisecond, so a stored value reads back as the time it was made.
    auto ms = static_cast<std::int64_t>(std::llround(std::fabs(days - whole) * kMsPerDay));
    auto day = static_cast<std::int64_t>(whole);
    if (ms >= static_cast<std::int64_t>(kMsPerDay)) {
        ms -= static_cast<std::int64_t>(kMsPerDay);
        day += days >= 0 ? 1 : -1;
    }
    civilFromDays(day + kEpoch1899, t.year, t.month, t.day);
    t.millisecond = static_cast<int>(ms % 1000);
    t.second = static_cast<int>(ms / 1000 % 60);
    t.minute = static_cast<int>(ms / 60000 % 60);
    t.hour = static_cast<int>(ms / 3600000);
    return t;
}

std::string formatCounter(std::int32_t counter) {
    std::string out;
    for (const std::int32_t limit : {1000, 100, 10}) {
        if (counter < limit) {
            out += '0';
        }
    }
    return out + std::to_string(counter);
}

std::string makeMeasurementName(std::int32_t counter, const text::DateTime& date) {
    const auto two = [](int v) { return (v < 10 ? "0" : "") + std::to_string(v); };
    std::string year = std::to_string(date.year);
    while (year.size() < 4) {
        year.insert(year.begin(), '0');
    }
    return formatCounter(counter) + "-" + two(date.day) + two(date.month) + year;
}

std::string makeSetName(std::int32_t counter, const text::DateTime& date) {
    return "K" + makeMeasurementName(counter, date);
}

int RandomSource::random(int n) {
    if (n <= 0) {
        return 0;
    }
    // Multiply-shift maps the 32-bit draw onto 0..n-1 identically on every platform.
    return static_cast<int>((static_cast<std::uint64_t>(engine_()) * static_cast<std::uint64_t>(n)) >> 32);
}

float emulationFiller(const ParamBlock& block, RandomSource& rng) {
    int n = 0;
    switch (block.Rt) {
    case 1:
        n = 4;
        break;
    case 2:
        n = 6;
        break;
    case 3:
        n = 11;
        break;
    case 4:
        n = 21;
        break;
    case 5:
        n = 51;
        break;
    default:
        return block.Midd;
    }
    return static_cast<float>(static_cast<double>(block.Midd) + static_cast<double>(rng.step(n)));
}

void fillSpringRecord(_xZamer& record, std::int32_t springType, const Catalogue& catalogue, const OperatorState& state,
                      const text::DateTime& now, RandomSource& rng) {
    record.Name = makeMeasurementName(state.NOWSPRING, now);
    record.DataTime = toDays(now);
    record.Vid_zamera = 0;
    record.Ch = state.CHASSIE;
    record.Se = catalogue.seriesName(state.SERIA);
    record.Po = state.TRAIN;
    record.Nsping = springType;
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        record.List[static_cast<std::size_t>(slot)] = emulationFiller(catalogue.parameterBlock(springType, slot), rng);
    }
}

bool injectRejects(_xZamer& record, const Catalogue& catalogue, const Settings& settings, RandomSource& rng) {
    if (!settings.Emul || !settings.BrakGenerate) {
        return false;
    }
    if (rng.random(100) >= settings.BrakPersent) {
        return false;
    }
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        if (rng.random(100) < 20) {
            const float max = catalogue.parameterBlock(record.Nsping, slot).Max;
            record.List[static_cast<std::size_t>(slot)] =
                static_cast<float>(static_cast<double>(max) + static_cast<double>(rng.step(51)));
        }
    }
    return true;
}

void emulateSetValues(_xKZamer& record, const _xKompl& setType, const Settings& settings, RandomSource& rng) {
    record.List = static_cast<float>(static_cast<double>(setType.HpodNagr) + static_cast<double>(rng.step(4)));
    const int free = rng.random(12);
    record.v = static_cast<float>(free + static_cast<double>(record.List) + 49.0);
    if (settings.BrakGenerate && rng.random(100) < settings.BrakPersent) {
        const int over = rng.random(5);
        record.List = static_cast<float>(over + static_cast<double>(setType.HpodNagrMax));
    }
}

} // namespace veltron
