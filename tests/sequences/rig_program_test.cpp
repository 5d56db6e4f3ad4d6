// The whole program with emulation off against rigsim on pseudo-terminals: the start-up's
// system check and rig initialisation, then a set measurement from key 3. The link library
// keeps its ports for the whole process, so one program run per test executable talks to
// the simulator.
#include "../support/rig_installation.h"
#include "results/result_tables.h"

#include <gtest/gtest.h>

using namespace veltron;
using veltron::testing::RigInstallation;

TEST(RigProgram, SystemCheckRigInitAndASetMeasurement) {
    RigInstallation inst;
    ASSERT_TRUE(inst.startSim());
    EXPECT_EQ(veltron::testing::runProgram(inst, "3\r/-/*/", {}, [](const std::string& m) { ADD_FAILURE() << m; }), 0);
    const std::string log = inst.logText();
    EXPECT_EQ(log.find(">>>"), std::string::npos) << log;
    EXPECT_NE(log.find("] Система готова к работе."), std::string::npos) << log;
    EXPECT_NE(log.find("] Проведен замер комплекта"), std::string::npos) << log;
    db::Connection connection(inst.root / "work");
    connection.setConnectionString("Data Source=DataBase.mdb");
    connection.connect();
    ResultTables tables(connection);
    EXPECT_EQ(tables.setRowCount(), 1);
}
