#include "math/settings_bridge.h"

namespace veltron::math {

MathParams mathParamsFrom(const Settings& s) {
    MathParams p;
    p.dmm = s.dmm;
    p.gx = s.gx;
    p.Va = s.Va;
    p.Vb = s.Vb;
    p.k = s.k;
    p.Vmin = s.Vmin;
    p.FCutEnable = s.FCutEnable;
    p.FMedEnable = s.FMedEnable;
    p.FMNKEnable = s.FMNKEnable;
    p.MNKvmin = s.MNKvmin;
    p.MNKdn = s.MNKdn;
    p.MNKup = s.MNKup;
    p.HV = s.HV;
    p.HN = s.HN;
    p.NZ = s.NZ;
    p.UDDZ = s.UDDZ;
    p.Hgm = s.Hgm;
    p.dHgm = s.dHgm;
    p.dhL = s.dhL;
    p.DMV = s.DMV;
    p.DMD = s.DMD;
    p.CamRS = s.CamRS;
    p.DebugMMsaveMessages = s.DebugMMsaveMessages;
    return p;
}

} // namespace veltron::math
