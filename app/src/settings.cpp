#include "app/settings.h"

#include "platform/ini.h"
#include "platform/text.h"

namespace veltron {
namespace {

// Reads values of one section; each read leaves the target at its default unless the text
// parses as the key's kind.
class Section {
public:
    Section(const IniFile& ini, std::string name) : ini_(ini), name_(std::move(name)) {}

    bool integer(const char* key, std::int32_t& out) const {
        const auto v = value(key);
        if (!v) {
            return false;
        }
        const auto n = text::parseInt(*v);
        if (!n) {
            return false;
        }
        out = *n;
        return true;
    }
    void byte(const char* key, std::uint8_t& out) const {
        std::int32_t n = 0;
        if (integer(key, n)) {
            out = static_cast<std::uint8_t>(static_cast<std::uint32_t>(n) & 0xFFU);
        }
    }
    void flag(const char* key, bool& out) const {
        std::int32_t n = 0;
        if (integer(key, n)) {
            out = n != 0;
        }
    }
    bool real(const char* key, float& out) const {
        const auto v = value(key);
        if (!v) {
            return false;
        }
        const auto f = text::parseFloat(*v);
        if (!f) {
            return false;
        }
        out = *f;
        return true;
    }
    void str(const char* key, std::string& out) const {
        const auto v = value(key);
        if (v) {
            out = *v;
        }
    }

private:
    std::optional<std::string> value(const std::string& key) const {
        auto v = ini_.get(name_, key);
        if (!v || v->empty()) {
            return std::nullopt;
        }
        return v;
    }

    const IniFile& ini_;
    std::string name_;
};

} // namespace

Settings::Settings() {
    for (std::size_t cam = 1; cam <= 4; ++cam) {
        for (std::size_t m = 1; m <= 12; ++m) {
            k[cam][m] = 100500;
        }
    }
}

Settings readSettings(const IniFile& ini) {
    Settings s;

    const Section visual(ini, "Visual");
    visual.byte("FormPosition", s.FormPosition);
    visual.byte("FullScreen", s.FullScreen);
    visual.byte("VThema", s.VThema);
    visual.flag("ShowCap", s.ShowCap);
    visual.integer("Caph", s.Caph);
    visual.integer("ResX", s.ResX);
    visual.integer("ResY", s.ResY);
    visual.flag("VconEmable", s.VconEmable);

    const Section global(ini, "Global");
    global.flag("Emul", s.Emul);
    global.flag("NoLOG", s.NoLOG);
    global.flag("PowerOFF", s.PowerOFF);
    global.flag("Print_in_file", s.Print_in_file);

    const Section depo(ini, "Depo");
    depo.str("DepoName", s.DepoName);
    depo.str("Depo1Name", s.Depo1Name);
    depo.str("DeviceId", s.DeviceId);

    const Section debug(ini, "Debug");
    debug.flag("ShowCursor", s.ShowCursor);
    debug.flag("ShowMousePos", s.ShowMousePos);
    debug.flag("DebugMMsaveMessages", s.DebugMMsaveMessages);
    debug.flag("Demu", s.Demu);
    debug.flag("RSemu", s.RSemu);
    debug.flag("ManualsetH", s.ManualsetH);
    debug.flag("AutoSelSpring", s.AutoSelSpring);
    debug.flag("KdbEditor", s.KdbEditor);
    debug.flag("WritetoDS", s.WritetoDS);
    debug.flag("DSShow", s.DSShow);

    const Section params(ini, "Params");
    params.flag("BrakGenerate", s.BrakGenerate);
    params.integer("BrakPersent", s.BrakPersent);

    const Section hard(ini, "Hard");
    hard.flag("TerminalStart", s.TerminalStart);
    hard.flag("rtErrorEnable", s.rtErrorEnable);
    hard.integer("ZamDopPr", s.ZamDopPr);
    hard.integer("STM1", s.STM1);
    hard.integer("STREP", s.STREP);
    hard.integer("STM2", s.STM2);
    hard.real("xmuld", s.xmuld);
    hard.real("xmuldk", s.xmuldk);

    Section(ini, "TenzoM").integer("ADClev", s.ADClev);

    const Section ck2(ini, "CK2");
    ck2.integer("CK2_PORT", s.CK2_PORT);
    ck2.byte("SDIV", s.SDIV);
    ck2.flag("SDIV_Enable", s.SDIV_Enable);

    const Section popr(ini, "Popr");
    const std::pair<const char*, float*> corrections[] = {
        {"MulDiam", &s.MulDiam},     {"AddDiam", &s.AddDiam},     {"MulVis", &s.MulVis}, {"AddVis", &s.AddVis},
        {"MulRazn", &s.MulRazn},     {"AddRazn", &s.AddRazn},     {"MulNep", &s.MulNep}, {"AddNep", &s.AddNep},
        {"MulStrela", &s.MulStrela}, {"AddStrela", &s.AddStrela}, {"MulOst", &s.MulOst}, {"AddOst", &s.AddOst},
        {"MulKompV", &s.MulKompV},   {"AddKompV", &s.AddKompV},
    };
    for (const auto& [key, target] : corrections) {
        if (!popr.real(key, *target)) {
            s.poprDefaulted.emplace_back(key);
        }
    }

    const Section arduino(ini, "Arduino");
    arduino.flag("Ardu", s.Ardu);
    for (int n = 1; n <= 16; ++n) {
        arduino.integer(("ardup" + std::to_string(n)).c_str(), s.ardup[static_cast<std::size_t>(n)]);
    }

    const Section math(ini, "Mathem");
    math.flag("MathVisEnable", s.MathVisEnable);
    math.flag("MathVisStart", s.MathVisStart);
    math.flag("FMedEnable", s.FMedEnable);
    math.flag("FMNKEnable", s.FMNKEnable);
    math.flag("FCutEnable", s.FCutEnable);
    math.integer("CamRS", s.CamRS);
    math.real("naplus", s.naplus);
    math.real("naminus", s.naminus);
    math.real("POPHsp", s.POPHsp);
    math.real("POPHko", s.POPHko);
    math.real("DMD", s.DMD);
    math.real("DMV", s.DMV);
    math.integer("NZ", s.NZ);
    math.flag("UDDZ", s.UDDZ);
    math.real("HV", s.HV);
    math.real("HN", s.HN);
    math.real("Hgm", s.Hgm);
    math.real("dHgm", s.dHgm);
    for (int n = 1; n <= 4; ++n) {
        math.integer(("dhL" + std::to_string(n)).c_str(), s.dhL[static_cast<std::size_t>(n)]);
    }
    math.real("Hpr", s.Hpr);
    math.real("dHpr", s.dHpr);
    math.integer("сLir1", s.cLir1);
    math.integer("сLir2", s.cLir2);
    math.real("сmm1", s.cmm1);
    math.real("сmm2", s.cmm2);
    math.integer("Vmin", s.Vmin);
    math.integer("MNKvmin", s.MNKvmin);
    math.integer("MNKup", s.MNKup);
    math.integer("MNKdn", s.MNKdn);
    for (int n = 1; n <= 4; ++n) {
        const auto i = static_cast<std::size_t>(n);
        math.real(("dmm" + std::to_string(n)).c_str(), s.dmm[i]);
        math.real(("gx" + std::to_string(n)).c_str(), s.gx[i]);
    }
    math.real("Va", s.Va);
    math.real("Vb", s.Vb);

    for (int cam = 1; cam <= 4; ++cam) {
        const Section kn(ini, "k" + std::to_string(cam));
        for (int m = 1; m <= 12; ++m) {
            kn.integer(("k" + std::to_string(m)).c_str(),
                       s.k[static_cast<std::size_t>(cam)][static_cast<std::size_t>(m)]);
        }
    }

    const Section chrp(ini, "CHRP");
    chrp.integer("CHRP_PORT", s.CHRP_PORT);
    chrp.integer("CHRP_SPEED", s.CHRP_SPEED);
    chrp.byte("CHRP_TYPE", s.CHRP_TYPE);

    const Section ck(ini, "CK");
    ck.integer("CK_PORT", s.CK_PORT);
    ck.integer("CK_ADRESS", s.CK_ADRESS);
    ck.integer("CK_SPEED", s.CK_SPEED);

    const Section camera(ini, "CAMERA");
    camera.integer("CAM_PORT", s.CAM_PORT);
    camera.integer("CAM_SPEED", s.CAM_SPEED);
    for (int n = 1; n <= 4; ++n) {
        const auto i = static_cast<std::size_t>(n);
        camera.integer(("POROG" + std::to_string(n)).c_str(), s.POROG[i]);
        camera.integer(("SHUTTER" + std::to_string(n)).c_str(), s.SHUTTER[i]);
    }

    const Section timeout(ini, "TIMEOUT");
    timeout.integer("KARETKA_VLEVO", s.KARETKA_VLEVO);
    timeout.integer("KARETKA_VPRAVO", s.KARETKA_VPRAVO);
    timeout.integer("GEOMETR_VVERH", s.GEOMETR_VVERH);
    timeout.integer("GEOMETR_VNIZ", s.GEOMETR_VNIZ);
    timeout.integer("PRESS_VVERH", s.PRESS_VVERH);
    timeout.integer("PRESS_VNIZ", s.PRESS_VNIZ);
    timeout.integer("CENTR_RAZDVIN", s.CENTR_RAZDVIN);
    timeout.integer("CENTR_SDVIN", s.CENTR_SDVIN);
    timeout.integer("KLAPAN_TIME", s.KLAPAN_TIME);
    timeout.integer("CENTR_OTGIM", s.CENTR_OTGIM);
    timeout.integer("tpeKARETKA_VLEVO", s.tpeKARETKA_VLEVO);
    timeout.integer("tpeKARETKA_VPRAVO", s.tpeKARETKA_VPRAVO);
    timeout.integer("tpeGEOMETR_VVERH", s.tpeGEOMETR_VVERH);
    timeout.integer("tpeGEOMETR_VNIZ", s.tpeGEOMETR_VNIZ);
    timeout.integer("tpePRESS_VVERH", s.tpePRESS_VVERH);
    timeout.integer("tpePRESS_VNIZ", s.tpePRESS_VNIZ);
    timeout.integer("tpeCENTR", s.tpeCENTR);

    const Section convert(ini, "Convert");
    convert.real("a2kx1", s.a2kx1);
    convert.real("a2ky1", s.a2ky1);
    convert.real("a2kx2", s.a2kx2);
    convert.real("a2ky2", s.a2ky2);

    Section(ini, "Veltron").flag("SpringKeys", s.SpringKeys);

    return s;
}

Settings readSettingsFile(const std::string& path) {
    return readSettings(IniFile::load(path));
}

} // namespace veltron
