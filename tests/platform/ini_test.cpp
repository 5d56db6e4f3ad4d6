#include "platform/ini.h"

#include <gtest/gtest.h>

using veltron::IniFile;

TEST(IniFile, ReadsWithProfileSemantics) {
    const IniFile ini = IniFile::fromBytes("; comment\r\n"
                                           "[hard]\r\n"
                                           "  xmuld =  1.25  \r\n"
                                           "XMULD=9\r\n"
                                           "empty=\r\n"
                                           "[Mathem]\n"
                                           "\xF1Lir1=77\n" // Cyrillic с, CP1251 0xF1
                                           "[HARD]\r\n"
                                           "STM1=5\r\n"
                                           "[Depo]\r\n"
                                           "DepoName=\xC4\xE5\xEF\xEE = 1\r\n");
    EXPECT_EQ(ini.get("Hard", "xmuld"), "1.25"); // first occurrence wins
    EXPECT_EQ(ini.get("HARD", "EMPTY"), "");
    EXPECT_EQ(ini.get("mathem", "СLIR1"), "77");
    EXPECT_FALSE(ini.get("mathem", "cLir1").has_value()); // Latin c
    EXPECT_FALSE(ini.get("Hard", "STM1").has_value());    // only the first [Hard] counts
    EXPECT_EQ(ini.get("Depo", "DepoName"), "Депо = 1");
    EXPECT_FALSE(ini.get("Nowhere", "x").has_value());
    EXPECT_FALSE(IniFile::load("/nonexistent/setup.ini").get("Global", "Emul").has_value());
}

TEST(IniFile, WritingKeepsEverythingElseInPlace) {
    IniFile ini = IniFile::fromBytes("; keep me\r\n[INFO]\r\nTrain = 12\r\nOther=x\r\n\r\n[Extra]\r\nk=v\r\n");
    ini.set("info", "TRAIN", "34");
    ini.set("INFO", "SERIA", "2");
    ini.set("NOWDATE", "YEAR", "2026");
    EXPECT_EQ(ini.toBytes(), "; keep me\r\n[INFO]\r\nTrain=34\r\nOther=x\r\nSERIA=2\r\n\r\n[Extra]\r\nk=v\r\n"
                             "[NOWDATE]\r\nYEAR=2026\r\n");
    ini.set("INFO", "TRAIN", "Не задано");
    EXPECT_NE(ini.toBytes().find("Train=\xCD\xE5 \xE7\xE0\xE4\xE0\xED\xEE\r\n"), std::string::npos);
}
