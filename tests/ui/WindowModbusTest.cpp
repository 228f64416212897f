// The window against a standard Modbus device made with libmodbus.

#include <gtest/gtest.h>

#include <QLabel>
#include <fstream>
#include <string>
#include <vector>

#include "RecordTestSupport.h"
#include "SimProcess.h"
#include "TrafficPane.h"
#include "WindowFixture.h"

namespace {

const std::vector<std::string> kRows = {"2.15,90.00,-2.56", "-90.00,-87.45,25.10",
                                        "2.15,90.00,-2.56"};

class WindowModbusTest : public PortWindowFixture {
protected:
    // The device on COM150, read with 5 registers from address 1.
    std::unique_ptr<CTiltwiseDlg> StartOn(const std::string& mode) {
        device = std::make_unique<SimProcess>(
            MODBUS_PARTNER_PATH,
            std::vector<std::string>{mode, "1", "0x23FF:18000:-256", "0:0xFF:2510"});
        EXPECT_TRUE(device->Started());
        if (mode == "rtu")
            ports.Link(150, device->PtyPath());
        else
            std::ofstream(ports.Path() + "/COM150") << device->PtyPath() << "\n";
        ini->WriteString("LANGUAGE", "EN");
        ini->WriteInt("PROTOCOL", 1);
        ini->WriteString("ADDR", "1");
        ini->WriteInt("REGISTERS", 5);
        return StartOnPort(150, 2);
    }

    // Records one row per request and gives X, Y and the temperature of each.
    std::vector<std::string> Record(CTiltwiseDlg& dlg, uint64_t rows) {
        RecordButton(dlg)->click();
        const std::string file = dlg.Recorder().CurrentPath();
        for (uint64_t n = 1; n <= rows; ++n) {
            timers.Tick(kPollTimer);
            EXPECT_TRUE(ProcessUntil([&] { return dlg.Stats().measurements >= n; })) << n;
        }
        RecordButton(dlg)->click();
        std::vector<std::string> values;
        const std::string text = record_test::ReadFile(file);
        for (size_t at = text.find("\r\n") + 2, end; (end = text.find("\r\n", at)) != text.npos;
             at = end + 2)
            values.push_back(text.substr(at, text.rfind(',', end) - at));
        return values;
    }

    std::unique_ptr<SimProcess> device;
};

TEST_F(WindowModbusTest, TheRegistersKeyAsksAStandardSlaveForItsTemperature) {
    auto dlg = StartOn("rtu");
    ASSERT_TRUE(dlg->Link().linkOpen);
    EXPECT_EQ(Record(*dlg, 3), kRows);
    timers.Tick(kReadoutTimer);
    EXPECT_EQ(qobject_cast<QLabel*>(dlg->Control(1030))->text(), QStringLiteral("-2.56Celsius"));
}

TEST_F(WindowModbusTest, AModbusTcpServerGivesRowsExactlyAsItsRegistersHoldThem) {
    auto dlg = StartOn("tcp");
    ASSERT_TRUE(dlg->Link().linkOpen);
    EXPECT_EQ(Record(*dlg, 3), kRows);
    // The pane shows the bytes as they went: MBAP header, no CRC.
    timers.Tick(kReadoutTimer);
    const std::string pane =
        static_cast<TrafficPane*>(dlg->Control(1015))->toPlainText().toStdString();
    EXPECT_NE(pane.find("TX: 00 01 00 00 00 06 01 03 00 02 00 05 \n"
                        "RX: 00 01 00 00 00 0D 01 03 0A FF 23 00 00 50 46 00 00 FF 00 \n"
                        "TX: 00 02 00 00 00 06 01 03 00 02 00 05 \n"),
              std::string::npos)
        << pane;
}

}  // namespace
