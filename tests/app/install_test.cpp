// The shipped sample installation must configure the rig, not fall back on the defaults that
// only make sense as "not configured".
#include "app/settings.h"

#include <gtest/gtest.h>

using namespace veltron;

TEST(SampleInstallation, SetupIniConfiguresTheRig) {
    const Settings s = readSettingsFile(SOURCE_DIR "/install/setup.ini");
    EXPECT_EQ(s.ResX + 1, 1366);
    EXPECT_EQ(s.ResY + 1, 768);
    EXPECT_TRUE(s.poprDefaulted.empty()) << s.poprDefaulted.front();
    EXPECT_FLOAT_EQ(s.MulDiam, 1.0F);
    EXPECT_FLOAT_EQ(s.AddKompV, 0.0F);
    EXPECT_NE(s.cLir1, s.cLir2); // press height conversion is defined
    EXPECT_NE(s.a2kx1, s.a2kx2); // load-cell line is defined
    EXPECT_NE(s.HV, s.HN);       // the scan step is not zero
    EXPECT_GT(s.NZ, 0);
    EXPECT_GT(s.tpeCENTR, 0); // poll limits are set
    EXPECT_GT(s.tpePRESS_VNIZ, 0);
    for (int cam = 1; cam <= 4; ++cam) {
        const auto& k = s.k[static_cast<std::size_t>(cam)];
        EXPECT_LT(k[1], k[2]) << "camera " << cam; // the value window keeps profiles
        EXPECT_GT(k[12], 0) << "camera " << cam;   // the tail cut is defined
        EXPECT_LE(k[11], k[12]) << "camera " << cam;
    }
    EXPECT_EQ(s.DepoName, "Образцовое");
}
