#include "sequences/grading.h"

#include <cmath>

namespace veltron {

namespace {

using Ext = long double;

float store(Ext v) {
    return static_cast<float>(v);
}

bool masked(const SpringType& t, int slot) {
    return (t.Mask1 & (1U << (slot - 1))) != 0;
}

struct Correction {
    float mul;
    float add;
};

Correction poprOf(const Settings& s, int slot) {
    switch (slot) {
    case kSlotDiameter:
        return {s.MulDiam, s.AddDiam};
    case kSlotHeight:
        return {s.MulVis, s.AddVis};
    case kSlotPitchDifference:
        return {s.MulRazn, s.AddRazn};
    case kSlotNonPerpendicularity:
        return {s.MulNep, s.AddNep};
    case kSlotDeflection:
        return {s.MulStrela, s.AddStrela};
    default:
        return {s.MulOst, s.AddOst};
    }
}

} // namespace

void deriveSpringValues(_xZamer& record, const SpringType& type, const SpringReadings& r, const Settings& settings,
                        const PressHeight& conv) {
    auto& list = record.List;
    if (!settings.Emul) {
        const Ext pophsp = settings.POPHsp;
        if (!masked(type, kSlotDiameter) && !settings.Demu) {
            Ext d = r.outerDiameter;
            if (type.innerDiameter != 0) {
                d -= 2 * static_cast<Ext>(type.Prutok);
            }
            list[kSlotDiameter] = store(d);
        }
        if (!masked(type, kSlotHeight)) {
            list[kSlotHeight] = store(static_cast<Ext>(conv(r.liftOffAfter)) - 66.0L + pophsp);
        }
        if (!masked(type, kSlotPitchDifference) && !settings.RSemu) {
            list[kSlotPitchDifference] = store(r.pitchSpread);
        }
        if (!masked(type, kSlotNonPerpendicularity)) {
            list[kSlotNonPerpendicularity] = store(r.nonPerpendicularity);
        }
        if (!masked(type, kSlotDeflection)) {
            // The height as it stands now (measured, or the filler when the height is masked)
            // less the height under load taken the way the height is: seat off, correction on.
            // Subtracting the raw press reading instead would put the seat and twice the
            // correction into every deflection.
            const Ext underLoad = static_cast<Ext>(conv(r.forceAtFourthLoad)) - 66.0L + pophsp;
            list[kSlotDeflection] = store(static_cast<Ext>(list[kSlotHeight]) - underLoad);
        }
        if (!masked(type, kSlotResidualDeformation)) {
            const Ext o = std::fabs(static_cast<Ext>(conv(r.liftOffBefore)) - static_cast<Ext>(conv(r.liftOffAfter)));
            list[kSlotResidualDeformation] = o > static_cast<Ext>(type.Delta) ? store(o) : 0.0F;
        }
        for (int slot = 1; slot <= kSlotCount; ++slot) {
            const Correction c = poprOf(settings, slot);
            auto& x = list[static_cast<std::size_t>(slot)];
            x = store(static_cast<Ext>(x) * c.mul + static_cast<Ext>(c.add));
        }
    }
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        const ParamBlock& b = type.block[static_cast<std::size_t>(slot)];
        auto& x = list[static_cast<std::size_t>(slot)];
        x = store(static_cast<Ext>(x) * b.Mul + static_cast<Ext>(b.Add));
    }
}

bool parameterCheck(const _xZamer& record, int slot, const Catalogue& catalogue) {
    if (slot < 1 || slot > kSlotCount) {
        return false;
    }
    const Ext x = record.List[static_cast<std::size_t>(slot)];
    if (!std::isfinite(x)) {
        return false; // a value never measured must not read as in norm
    }
    const ParamBlock& b = catalogue.parameterBlock(record.Nsping, slot);
    const Ext margin = kToleranceMargin;
    if (static_cast<Ext>(b.Min) > x + margin) {
        return false;
    }
    if (static_cast<Ext>(b.Max) < x - margin) {
        return false;
    }
    return true;
}

bool springCheck(const _xZamer& record, const Catalogue& catalogue) {
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        if (!parameterCheck(record, slot, catalogue)) {
            return false;
        }
    }
    return true;
}

double parameterDeviation(const _xZamer& record, int slot, const Catalogue& catalogue) {
    if (slot < 1 || slot > kSlotCount) {
        return 0.0;
    }
    const Ext x = record.List[static_cast<std::size_t>(slot)];
    if (!std::isfinite(x)) {
        return static_cast<double>(x);
    }
    const ParamBlock& b = catalogue.parameterBlock(record.Nsping, slot);
    const Ext margin = kToleranceMargin;
    if (static_cast<Ext>(b.Min) > x + margin) {
        return static_cast<double>(static_cast<Ext>(b.Min) - x);
    }
    if (static_cast<Ext>(b.Max) < x - margin) {
        return static_cast<double>(x - static_cast<Ext>(b.Max));
    }
    return 0.0;
}

int effectiveTip(const _xKompl& setType) {
    return setType.Tip <= 2 ? setType.Tip : 0;
}

void deriveSetValues(_xKZamer& record, const _xKompl& setType, const SetReadings& r, const Settings& settings,
                     const PressHeight& conv) {
    if (!settings.Emul) {
        const auto K = [&](std::int32_t c) {
            return static_cast<Ext>(conv(c)) * settings.MulKompV + static_cast<Ext>(settings.AddKompV) +
                   static_cast<Ext>(settings.POPHko);
        };
        record.v = store(K(r.liftOffAfter));
        if (effectiveTip(setType) == 1) {
            record.List = store(static_cast<Ext>(record.v) - K(r.forceAtFourthLoad));
        } else {
            record.List = store(K(r.forceAtFourthLoad));
        }
    }
    record.List = store(static_cast<Ext>(record.List) * setType.HpodNagrMul + static_cast<Ext>(setType.HpodNagrAdd));
}

double groupingValue(const _xKZamer& record, const _xKompl& setType) {
    if (effectiveTip(setType) == 2) {
        return static_cast<double>(static_cast<Ext>(record.v) - static_cast<Ext>(record.List));
    }
    return record.List;
}

int setGroup(const _xKZamer& record, const _xKompl& k) {
    const double x = groupingValue(record, k);
    const auto in = [x](float lo, float hi) { return lo <= x && x <= hi; };
    // Every test is made, so where bands overlap the highest matching group wins; a NaN
    // matches no band and gives group 0.
    int group = 0;
    if (in(k.g1min, k.g1max)) {
        group = 1;
    }
    if (in(k.g2min, k.g2max)) {
        group = 2;
    }
    if (in(k.g3min, k.g3max)) {
        group = 3;
    }
    if (k.Ngr > 3 && in(k.g4min, k.g4max)) {
        group = 4;
    }
    if (k.Ngr > 4 && in(k.g5min, k.g5max)) {
        group = 5;
    }
    return group;
}

int setGroup(const _xKZamer& record, const Catalogue& catalogue) {
    return setGroup(record, catalogue.setType(record.Nkompl));
}

double heightUnderLoadShown(const _xKZamer& record, const _xKompl& setType) {
    if (effectiveTip(setType) == 1) {
        return static_cast<double>(static_cast<Ext>(record.v) - static_cast<Ext>(record.List));
    }
    return record.List;
}

double deflectionShown(const _xKZamer& record, const _xKompl& setType) {
    if (effectiveTip(setType) == 1) {
        return record.List;
    }
    return static_cast<double>(static_cast<Ext>(record.v) - static_cast<Ext>(record.List));
}

std::string groupTableLabel(const _xKompl& setType) {
    return effectiveTip(setType) == 1 ? "стрела прогиба" : "высота под давлением";
}

std::string slotVerdict(bool pass) {
    return pass ? "Норма" : "Брак";
}

std::string springVerdict(bool pass) {
    return pass ? "Норма" : "БРАК";
}

std::string groupText(int group) {
    return group == 0 ? "не определена" : "№ " + std::to_string(group);
}

} // namespace veltron
