#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "PortNames.h"

namespace {

// A file tree in memory: character devices, other files and small text files.
class FakeFileSystem : public PortFileSystem {
public:
    std::set<std::string> devices;
    std::set<std::string> files;
    std::map<std::string, std::string> text;

    bool Exists(const std::string& path) const override {
        return devices.count(path) || files.count(path) || text.count(path);
    }
    bool IsCharDevice(const std::string& path) const override { return devices.count(path) > 0; }
    std::string ReadLine(const std::string& path) const override {
        auto it = text.find(path);
        return it == text.end() ? "" : it->second;
    }
    void AddUart(int index, const std::string& type) {
        const std::string name = "ttyS" + std::to_string(index);
        devices.insert("/dev/" + name);
        files.insert("/sys/class/tty/" + name + "/device");
        text["/sys/class/tty/" + name + "/type"] = type;
    }
};

TEST(PortNames, NamesKeepTheComNumbers) {
    EXPECT_EQ(PortName(1), "COM1");
    EXPECT_EQ(PortName(199), "COM199");
}

TEST(PortNames, DefaultTableCoversFourFamiliesOfThirtyTwo) {
    EXPECT_EQ(PortMap::DefaultDevicePath(1), "/dev/ttyS0");
    EXPECT_EQ(PortMap::DefaultDevicePath(32), "/dev/ttyS31");
    EXPECT_EQ(PortMap::DefaultDevicePath(33), "/dev/ttyUSB0");
    EXPECT_EQ(PortMap::DefaultDevicePath(64), "/dev/ttyUSB31");
    EXPECT_EQ(PortMap::DefaultDevicePath(65), "/dev/ttyACM0");
    EXPECT_EQ(PortMap::DefaultDevicePath(97), "/dev/ttyAMA0");
    EXPECT_EQ(PortMap::DefaultDevicePath(128), "/dev/ttyAMA31");
    EXPECT_EQ(PortMap::DefaultDevicePath(129), "");
    EXPECT_EQ(PortMap::DefaultDevicePath(0), "");
}

TEST(PortNames, OverrideInThePortsFolderWinsOverTheTable) {
    FakeFileSystem fs;
    fs.devices.insert("/dev/ttyUSB0");
    fs.devices.insert("cfg/ports/COM33");
    PortMap map("cfg/ports");
    EXPECT_EQ(map.DevicePath(33, fs), "cfg/ports/COM33");
    EXPECT_EQ(map.DevicePath(34, fs), "/dev/ttyUSB1");
    EXPECT_EQ(map.DevicePath(0, fs), "");
    EXPECT_EQ(map.DevicePath(200, fs), "");
}

TEST(PortNames, DiscoveryListsRealPortsAscending) {
    FakeFileSystem fs;
    fs.devices.insert("/dev/ttyACM1");  // COM66
    fs.devices.insert("/dev/ttyUSB2");  // COM35
    fs.AddUart(4, "4");                 // COM5, a real 16550A
    fs.AddUart(2, "0");                 // COM3: the kernel's placeholder, no UART
    fs.devices.insert("/dev/ttyS0");    // COM1: no device behind it
    fs.devices.insert("p/COM150");      // beyond the table, registered by hand
    fs.devices.insert("p/COM7");
    PortMap map("p");
    EXPECT_EQ(map.Discover(fs), (std::vector<int>{5, 7, 35, 66, 150}));
}

TEST(PortNames, DiscoveryOfAnEmptyMachineIsEmpty) {
    FakeFileSystem fs;
    EXPECT_TRUE(PortMap("p").Discover(fs).empty());
}

TEST(PortNames, ADanglingOverrideHidesTheTableEntryAndIsNoPort) {
    FakeFileSystem fs;
    fs.files.insert("p/COM33");  // a plain file where a device link should be
    fs.devices.insert("/dev/ttyUSB0");
    PortMap map("p");
    EXPECT_TRUE(map.Discover(fs).empty());
}

}  // namespace
