// The window against tiltsim on a pseudo-terminal, for sensors that never send
// a temperature: the screen shows "-" and the CSV rows leave the field empty.

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <chrono>
#include <string>
#include <vector>

#include "AcquisitionCycle.h"
#include "HexBytes.h"
#include "ListCtrlEx.h"
#include "ModbusProtocol.h"
#include "PlotFeed.h"
#include "RecordTestSupport.h"
#include "SimProcess.h"
#include "WindowFixture.h"

namespace {

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    size_t from = 0;
    for (size_t comma; (comma = line.find(',', from)) != std::string::npos; from = comma + 1)
        fields.push_back(line.substr(from, comma - from));
    fields.push_back(line.substr(from));
    return fields;
}

// The fields of every row after the header; every line must end in CR LF.
std::vector<std::vector<std::string>> CsvRows(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    const std::string header = "X(deg),Y(deg),Temperature, Time\r\n";
    EXPECT_EQ(text.compare(0, header.size(), header), 0) << text;
    for (size_t at = header.size(), end; at < text.size(); at = end + 2) {
        end = text.find("\r\n", at);
        if (end == std::string::npos) {
            ADD_FAILURE() << "a row without CR LF: " << text.substr(at);
            break;
        }
        rows.push_back(Fields(text.substr(at, end - at)));
    }
    return rows;
}

class NeverSentValuesTest : public PortWindowFixture {
protected:
    std::unique_ptr<CTiltwiseDlg> StartWithSim(const std::vector<std::string>& args, int protocol) {
        sim = std::make_unique<SimProcess>(args);
        EXPECT_TRUE(sim->Started());
        ports.Link(150, sim->PtyPath());
        ini->WriteString("LANGUAGE", "EN");
        ini->WriteInt("PROTOCOL", protocol);
        ini->WriteString("ADDR", protocol == kProtocolModbus ? "1" : "0");
        return StartOnPort(150, 2);
    }

    // Records `rows` replies, one request at a time, and returns the file's text.
    std::string Record(CTiltwiseDlg& dlg, uint64_t rows) {
        RecordButton(dlg)->click();
        const std::string file = dlg.Recorder().CurrentPath();
        for (uint64_t n = 1; n <= rows; ++n) {
            timers.Tick(kPollTimer);
            EXPECT_TRUE(ProcessUntil([&] { return dlg.Stats().measurements >= n; }))
                << "reply " << n;
        }
        RecordButton(dlg)->click();  // stop: every row goes to the file
        return record_test::ReadFile(file);
    }

    static void ExpectAnglesWithoutTemperature(const std::vector<std::vector<std::string>>& rows) {
        ASSERT_EQ(rows.size(), 3u);
        for (const auto& row : rows) {
            ASSERT_EQ(row.size(), 4u);
            EXPECT_FALSE(row[0].empty());
            EXPECT_FALSE(row[1].empty());
            EXPECT_EQ(row[2], "");
        }
    }
    static std::string Label(CTiltwiseDlg& dlg, int id) {
        return qobject_cast<QLabel*>(dlg.Control(id))->text().toStdString();
    }
    static std::string ValueCell(CTiltwiseDlg& dlg, int column) {
        return dlg.ParameterList()->GetItemText(2, column).toStdString();
    }

    std::unique_ptr<SimProcess> sim;
};

TEST_F(NeverSentValuesTest, LayoutTenSensorGetsAnEmptyTemperatureFieldAndADashOnScreen) {
    auto dlg = StartWithSim({"--layout", "10"}, kProtocolTarq);
    ASSERT_TRUE(dlg->Link().linkOpen);
    const auto rows = CsvRows(Record(*dlg, 3));
    ASSERT_NO_FATAL_FAILURE(ExpectAnglesWithoutTemperature(rows));
    timers.Tick(kReadoutTimer);
    EXPECT_EQ(Label(*dlg, 1030), "-");
    EXPECT_EQ(ValueCell(*dlg, 1), rows.back()[0] + "deg");
}

TEST_F(NeverSentValuesTest, ModbusDeviceAnsweringTheFourRegistersAskedGetsAnEmptyTemperatureField) {
    auto dlg = StartWithSim({"--protocol", "modbus", "--registers-as-asked"}, kProtocolModbus);
    ASSERT_TRUE(dlg->Link().linkOpen);
    const auto rows = CsvRows(Record(*dlg, 3));
    ASSERT_NO_FATAL_FAILURE(ExpectAnglesWithoutTemperature(rows));
    timers.Tick(kReadoutTimer);
    EXPECT_EQ(Label(*dlg, 1030), "-");
    EXPECT_EQ(ValueCell(*dlg, 2), rows.back()[1] + "deg");
}

TEST_F(NeverSentValuesTest, ModbusDeviceSendingTenDataBytesGetsItsTemperatureRecordedAndShown) {
    auto dlg = StartWithSim({"--protocol", "modbus"}, kProtocolModbus);
    ASSERT_TRUE(dlg->Link().linkOpen);
    const auto rows = CsvRows(Record(*dlg, 3));
    ASSERT_EQ(rows.size(), 3u);
    for (const auto& row : rows) {
        ASSERT_EQ(row.size(), 4u);
        EXPECT_FALSE(row[2].empty());
    }
    timers.Tick(kReadoutTimer);
    EXPECT_EQ(Label(*dlg, 1030), rows.back()[2] + "Celsius");
}

TEST_F(NeverSentValuesTest, BeforeTheFirstReplyEveryValueShowsADash) {
    auto dlg = Make(Language::English);
    EXPECT_EQ(ValueCell(*dlg, 1), "-");
    EXPECT_EQ(ValueCell(*dlg, 2), "-");
    timers.Tick(kReadoutTimer);
    EXPECT_EQ(Label(*dlg, 1030), "-");
    EXPECT_EQ(ValueCell(*dlg, 1), "-");
    EXPECT_EQ(ValueCell(*dlg, 2), "-");
}

TEST_F(NeverSentValuesTest, ReplyCarryingNoValueIsCountedButMakesNoRowAndNoPlotSample) {
    ini->WriteInt("PROTOCOL", kProtocolModbus);
    ini->WriteString("ADDR", "1");
    auto dlg = Make(Language::English);
    RecordButton(*dlg)->click();
    const std::string file = dlg->Recorder().CurrentPath();
    const auto full = Hex("01 03 0A 39 30 00 00 28 23 00 00 09 CE E4 4C");
    dlg->Receive().OnRxModbus(full.data(), full.size());
    // One register: not one whole angle.
    std::vector<uint8_t> none{0x01, 0x03, 0x02, 0x39, 0x30};
    const uint16_t crc = ModbusCrc(none.data(), none.size());
    none.push_back(static_cast<uint8_t>(crc & 0xFF));
    none.push_back(static_cast<uint8_t>(crc >> 8));
    dlg->Receive().OnRxModbus(none.data(), none.size());
    RecordButton(*dlg)->click();

    EXPECT_EQ(dlg->Receive().FramesThisSecond(), 2);
    EXPECT_EQ(dlg->Receive().Miscount(), 0);
    EXPECT_EQ(dlg->Stats().measurements, 1u);
    // One sample: the one reply with values.
    ASSERT_EQ(dlg->Plot().Live().Available(2), 1u);
    EXPECT_EQ(dlg->Plot().Live().Newest(PlotBuffer::kX, 2)[0], 33.44999694824219);
    const auto rows = CsvRows(record_test::ReadFile(file));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], "33.45");
    EXPECT_EQ(rows[0][2], "25.10");
}

}  // namespace
