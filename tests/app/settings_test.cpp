#include "app/settings.h"
#include "platform/ini.h"
#include "platform/text.h"

#include <gtest/gtest.h>

using namespace veltron;

namespace {
Settings fromText(const std::string& utf8) {
    return readSettings(IniFile::fromBytes(text::utf8ToCp1251(utf8)));
}
} // namespace

TEST(Settings, EmptyFileGivesEveryDefault) {
    const Settings s = fromText("");
    EXPECT_TRUE(s.Emul);
    EXPECT_TRUE(s.NoLOG);
    EXPECT_EQ(s.ResX, 800);
    EXPECT_EQ(s.ResY, 600);
    EXPECT_EQ(s.CK2_PORT, 99);
    EXPECT_EQ(s.CK_SPEED, 115200);
    EXPECT_EQ(s.SDIV, 8);
    EXPECT_EQ(s.DepoName, "Не назначен");
    EXPECT_EQ(s.k[1][1], 100500);
    EXPECT_EQ(s.k[4][12], 100500);
    EXPECT_EQ(s.POROG[4], 90);
    EXPECT_EQ(s.SHUTTER[1], 2000);
    EXPECT_FLOAT_EQ(s.gx[3], 80.0F);
    EXPECT_FLOAT_EQ(s.dmm[2], 0.0F);
    EXPECT_EQ(s.CENTR_OTGIM, 10);
    EXPECT_EQ(s.tpeCENTR, 0);
    // The corrections default to x1000 + 2000, and every one of them is reported as defaulted.
    EXPECT_FLOAT_EQ(s.MulKompV, 1000.0F);
    EXPECT_FLOAT_EQ(s.AddOst, 2000.0F);
    EXPECT_EQ(s.poprDefaulted.size(), 14U);

    const Settings missing = readSettingsFile("/nonexistent/setup.ini");
    EXPECT_TRUE(missing.Emul);
    EXPECT_EQ(missing.poprDefaulted.size(), 14U);
}

TEST(Settings, ValuesFollowTheirKindOrFallBack) {
    const Settings s = fromText("[visual]\n"
                                "FullScreen=257\n"
                                "FORMPOSITION=-255\n"
                                "ResX=1365\n"
                                "ResY=7 68\n"
                                "ShowCap=-3\n"
                                "[GLOBAL]\n"
                                "Emul=yes\n"
                                "NoLOG=0\n"
                                "[hard]\n"
                                "xmuld=1.5\n"
                                "xmuldk=1,5\n"
                                "STM1=\n"
                                "[Mathem]\n"
                                "сLir1=12000\n"
                                "СMM1=250.5\n"
                                "cLir2=1\n" // Latin c: not the key
                                "HV=nan\n"
                                "HN=inf\n"
                                "dhL3=-7\n"
                                "gx2=81.25\n"
                                "[Popr]\n"
                                "MulDiam=1.0\n"
                                "AddDiam=0.0\n"
                                "MulVis=1,0\n"
                                "[k3]\n"
                                "K12=5\n"
                                "[Arduino]\n"
                                "ardup16=42\n"
                                "[Depo]\n"
                                "DepoName=  ТЧ-1 Депо  \n"
                                "[CHRP]\n"
                                "CHRP_TYPE=513\n");
    EXPECT_EQ(s.FullScreen, 1);   // low 8 bits
    EXPECT_EQ(s.FormPosition, 1); // -255 & 0xFF
    EXPECT_EQ(s.ResX, 1365);
    EXPECT_EQ(s.ResY, 600); // not an integer
    EXPECT_TRUE(s.ShowCap);
    EXPECT_TRUE(s.Emul); // "yes" is no integer: default on
    EXPECT_FALSE(s.NoLOG);
    EXPECT_FLOAT_EQ(s.xmuld, 1.5F);
    EXPECT_FLOAT_EQ(s.xmuldk, 1.0F); // decimal comma: default
    EXPECT_EQ(s.STM1, 20);           // empty: default
    EXPECT_EQ(s.cLir1, 12000);
    EXPECT_FLOAT_EQ(s.cmm1, 250.5F);
    EXPECT_EQ(s.cLir2, 10000);
    EXPECT_FLOAT_EQ(s.HV, 1.0F);
    EXPECT_FLOAT_EQ(s.HN, 1.0F);
    EXPECT_EQ(s.dhL[3], -7);
    EXPECT_FLOAT_EQ(s.gx[2], 81.25F);
    EXPECT_FLOAT_EQ(s.MulDiam, 1.0F);
    EXPECT_FLOAT_EQ(s.AddDiam, 0.0F);
    EXPECT_FLOAT_EQ(s.MulVis, 1000.0F);
    EXPECT_EQ(s.poprDefaulted.size(), 12U);
    EXPECT_EQ(s.poprDefaulted.front(), "MulVis");
    EXPECT_EQ(s.k[3][12], 5);
    EXPECT_EQ(s.k[3][11], 100500);
    EXPECT_EQ(s.ardup[16], 42);
    EXPECT_EQ(s.ardup[1], 0);
    EXPECT_EQ(s.DepoName, "ТЧ-1 Депо");
    EXPECT_EQ(s.CHRP_TYPE, 1);
    EXPECT_FALSE(s.SpringKeys);
    EXPECT_TRUE(fromText("[veltron]\nSpringKeys=1\n").SpringKeys);
}
