#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "PortNames.h"
#include "TcpAddress.h"

namespace {

// A file tree in memory: character devices, other files, small text files and
// symbolic links, which lead to their target or, dangling, nowhere.
class FakeFileSystem : public PortFileSystem {
public:
    std::set<std::string> devices;
    std::set<std::string> files;
    std::map<std::string, std::string> text;
    std::map<std::string, std::string> links;

    bool Exists(const std::string& path) const override {
        const std::string p = Resolve(path);
        return devices.count(p) || files.count(p) || text.count(p);
    }
    bool EntryExists(const std::string& path) const override {
        return links.count(path) || devices.count(path) || files.count(path) || text.count(path);
    }
    bool IsCharDevice(const std::string& path) const override {
        return devices.count(Resolve(path)) > 0;
    }
    std::string ReadLine(const std::string& path) const override {
        auto it = text.find(Resolve(path));
        return it == text.end() ? "" : it->second;
    }
    std::string Resolve(const std::string& start) const override {
        std::string path = start;
        for (int hops = 0; hops < 8; ++hops) {
            auto it = links.find(path);
            if (it == links.end()) break;
            path = it->second;
        }
        const bool there = devices.count(path) || files.count(path) || text.count(path);
        return there ? path : "";
    }
    std::vector<std::string> Names(const std::string& folder) const override {
        std::set<std::string> names;
        auto take = [&](const std::string& path) {
            if (path.rfind(folder + "/", 0) == 0) names.insert(path.substr(folder.size() + 1));
        };
        for (const auto& d : devices) take(d);
        for (const auto& l : links) take(l.first);
        return {names.begin(), names.end()};
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

TEST(PortNames, AnOverrideThatIsNoDeviceHidesTheTableEntryAndIsNoPort) {
    FakeFileSystem fs;
    fs.files.insert("p/COM33");  // a plain file where a device link should be
    fs.devices.insert("/dev/ttyUSB0");
    PortMap map("p");
    EXPECT_TRUE(map.Discover(fs).empty());
}

TEST(PortNames, DanglingLinkIsAMissingPort) {
    FakeFileSystem fs;
    // The adapter behind the link is unplugged; the table's devices are all there.
    fs.links["p/COM33"] = "/dev/serial/by-id/usb-unplugged";
    fs.links["p/COM1"] = "/dev/serial/by-id/usb-unplugged-too";
    fs.devices.insert("/dev/ttyUSB0");
    fs.AddUart(0, "4");
    PortMap map("p");
    EXPECT_TRUE(map.Discover(fs).empty());
    // Opening leads to the link, which fails, never to the table's device.
    EXPECT_EQ(map.DevicePath(33, fs), "p/COM33");
    EXPECT_EQ(map.DevicePath(1, fs), "p/COM1");
}

TEST(PortNames, LinkWhoseTargetIsBackIsListedAndLeadsThroughTheLink) {
    FakeFileSystem fs;
    fs.links["p/COM3"] = "/dev/serial/by-id/usb-adapter";
    fs.links["/dev/serial/by-id/usb-adapter"] = "/dev/ttyUSB4";
    fs.devices.insert("/dev/ttyUSB4");
    PortMap map("p");
    EXPECT_EQ(map.Discover(fs), (std::vector<int>{3, 37}));
    EXPECT_EQ(map.DevicePath(3, fs), "p/COM3");
}

}  // namespace

namespace {

TEST(PortNames, DescriptionNamesTheDeviceItsStableNameAndTheLinkThatGivesTheNumber) {
    FakeFileSystem fs;
    fs.devices.insert("/dev/ttyUSB0");
    fs.devices.insert("/dev/ttyUSB1");
    fs.links["/dev/serial/by-id/usb-FTDI_FT232R_A50285BI-if00-port0"] = "/dev/ttyUSB1";
    fs.links["cfg/ports/COM150"] = "/dev/ttyUSB1";
    fs.links["cfg/ports/COM151"] = "/dev/ttyUSB9";  // unplugged
    PortMap map("cfg/ports");
    EXPECT_EQ(map.Describe(33, fs), "/dev/ttyUSB0");
    EXPECT_EQ(map.Describe(34, fs),
              "/dev/ttyUSB1 (/dev/serial/by-id/usb-FTDI_FT232R_A50285BI-if00-port0)");
    EXPECT_EQ(map.Describe(150, fs),
              "/dev/ttyUSB1 (/dev/serial/by-id/usb-FTDI_FT232R_A50285BI-if00-port0), through "
              "cfg/ports/COM150");
    EXPECT_EQ(map.Describe(151, fs), "cfg/ports/COM151 (its device is gone)");
    EXPECT_EQ(map.Describe(35, fs), "/dev/ttyUSB2 (not there)");
    EXPECT_EQ(map.Describe(0, fs), "");
}

}  // namespace

TEST(TcpAddressText, NamesAnIpv4OrIpv6AddressOrAHostWithAPort) {
    TcpAddress a;
    ASSERT_TRUE(TcpAddress::Parse("tcp://192.168.1.50:4001\r\n", a));
    EXPECT_EQ(a.host, "192.168.1.50");
    EXPECT_EQ(a.service, "4001");
    ASSERT_TRUE(TcpAddress::Parse("tcp://[::1]:502", a));
    EXPECT_EQ(a.host, "::1");
    EXPECT_EQ(a.service, "502");
    ASSERT_TRUE(TcpAddress::Parse("  tcp://converter.local:23", a));
    EXPECT_EQ(a.host, "converter.local");
    for (const char* bad : {"", "/dev/ttyUSB0", "tcp://", "tcp://host",
                            "tcp://host:", "tcp://:4001", "tcp://host:0", "tcp://host:65536",
                            "tcp://host:4x", "tcp://::1:502", "tcp://[::1]502", "udp://host:4001"})
        EXPECT_FALSE(TcpAddress::IsAddress(bad)) << bad;
}

TEST(PortNamesServers, AFileHoldingAnAddressIsAServerAndOtherFilesAreNoPort) {
    FakeFileSystem fs;
    fs.text["/cfg/ports/COM150"] = "tcp://10.0.0.7:4001 ";
    fs.text["/cfg/ports/COM151"] = "not an address";
    const PortMap map("/cfg/ports");
    EXPECT_EQ(map.ServerAddress(150, fs), "tcp://10.0.0.7:4001");
    EXPECT_EQ(map.ServerAddress(151, fs), "");
    EXPECT_EQ(map.Describe(150, fs), "tcp://10.0.0.7:4001, through /cfg/ports/COM150");
    EXPECT_EQ(map.Discover(fs), std::vector<int>{150});

    // A pinned address (tiltlog --port tcp://...) is the server itself.
    PortMap pinned("/cfg/ports");
    pinned.PinDevicePath(199, "tcp://[::1]:502");
    EXPECT_EQ(pinned.ServerAddress(199, fs), "tcp://[::1]:502");
    EXPECT_EQ(pinned.Describe(199, fs), "tcp://[::1]:502");
}

TEST(TcpAddressText, TellsTheSchemeTheUnitAndWhatIsWrong) {
    TcpAddress a;
    ASSERT_TRUE(TcpAddress::Parse("rfc2217://host:2000", a));
    EXPECT_EQ(a.scheme, LinkScheme::Rfc2217);
    ASSERT_TRUE(TcpAddress::Parse("modbus-tcp://[fe80::1]:502/17", a));
    EXPECT_EQ(a.scheme, LinkScheme::ModbusTcp);
    EXPECT_EQ(a.host, "fe80::1");
    EXPECT_EQ(a.unit, 17);
    std::string why;
    EXPECT_FALSE(TcpAddress::Parse("TCP://host:1", a, &why));
    EXPECT_NE(why.find("'TCP://' is not a network address"), std::string::npos) << why;
    for (const char* bad : {"tcp://host:99999", "tcp://host:4001/x", "tcp://host:4001 x",
                            "modbus-tcp://host:502/256", "tcp://[host]:1"})
        EXPECT_FALSE(TcpAddress::IsAddress(bad)) << bad;
    EXPECT_TRUE(TcpAddress::LooksLikeAddress("TCP://host"));
    EXPECT_FALSE(TcpAddress::LooksLikeAddress("/dev/ttyUSB0"));
}
