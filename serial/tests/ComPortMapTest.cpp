#include "serial/ComPortMap.h"
#include "serial/PseudoTerminal.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(ComPortMap, PortsFolderFirstThenTheFixedSystemRule) {
    QTemporaryDir dir;
    PseudoTerminal pty;
    const QString link = pty.linkAs(dir.path() + "/ports", 3);
    const ComPortMap map(dir.path() + "/ports");
    EXPECT_EQ(map.deviceFor(3), link);
    EXPECT_EQ(map.deviceFor(1), "/dev/ttyS0");
    EXPECT_EQ(map.deviceFor(99), "/dev/ttyS98");
    EXPECT_EQ(map.deviceFor(100), "/dev/ttyUSB0");
    EXPECT_EQ(map.deviceFor(205), "/dev/ttyACM5");
    EXPECT_TRUE(map.deviceFor(0).isEmpty());
    EXPECT_TRUE(map.deviceFor(-4).isEmpty());

    EXPECT_EQ(ComPortMap::numberOfSystemDevice("/dev/ttyUSB1"), 101);
    EXPECT_EQ(ComPortMap::numberOfSystemDevice("ttyS0"), 1);
    EXPECT_EQ(ComPortMap::numberOfSystemDevice("ttyACM0"), 200);
    EXPECT_FALSE(ComPortMap::numberOfSystemDevice("ttyUSB01").has_value());
    EXPECT_FALSE(ComPortMap::numberOfSystemDevice("ttyAMA0").has_value());

    EXPECT_EQ(map.comNames({"ttyS0", "ttyUSB0", "ttyAMA0"}),
              (QStringList{"COM3", "COM1", "COM100"}));
}
