// The window polling a bus of sensors on a real pty: each address's file holds
// exactly what its sensor sent, an absent address is shown silent, and the
// readout follows the sensor selected.

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "BusTableWnd.h"
#include "DeviceTypes.h"
#include "RecorderGroup.h"
#include "ReviewWnd.h"
#include "TiltlogRig.h"
#include "WindowBus.h"
#include "WindowFixture.h"

namespace {

struct BusCase {
    const char* protocol;
    int protocolIndex;
    size_t requestSize;
};

// The sensors' frames as they crossed the line, by the address each names:
// replies, echoes and exceptions alike, each by its own length.
std::map<uint8_t, Bytes> FramesByAddress(const Bytes& line, int protocol) {
    std::map<uint8_t, Bytes> by;
    for (size_t at = 0; at + 2 < line.size();) {
        size_t size = 0;
        if (protocol == kProtocolTarq) {
            size = line[at] == 0x68 ? line[at + 1] + 1u : 0;
        } else {
            const uint8_t function = line[at + 1];
            size = function == 0x03 ? 5u + line[at + 2] : function == 0x06 ? 8 : 5;
        }
        if (size == 0 || at + size > line.size()) break;
        Bytes& to = by[protocol == kProtocolTarq ? line[at + 2] : line[at]];
        to.insert(to.end(), line.begin() + static_cast<std::ptrdiff_t>(at),
                  line.begin() + static_cast<std::ptrdiff_t>(at + size));
        at += size;
    }
    return by;
}

// Each address's recorded rows, from the files named Tiltscope_A<addr>_....csv.
std::map<int, std::vector<Row>> FileRows(const std::string& folder) {
    static const std::regex kName(R"(Tiltscope_A(\d+)_\d{14}\.csv)");
    std::map<int, std::vector<Row>> rows;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
        std::smatch m;
        const std::string name = e.path().filename().string();
        if (!std::regex_match(name, m, kName)) continue;
        std::ostringstream text;
        text << std::ifstream(e.path(), std::ios::binary).rdbuf();
        std::vector<Row> file;
        EXPECT_TRUE(CsvRows(text.str(), file)) << name;
        std::vector<Row>& to = rows[std::stoi(m[1])];
        to.insert(to.end(), file.begin(), file.end());
    }
    return rows;
}

class WindowBusTest : public PortWindowFixture, public ::testing::WithParamInterface<BusCase> {
protected:
    std::unique_ptr<CTiltwiseDlg> StartBus(const std::vector<std::string>& simArgs,
                                           const std::string& addresses) {
        const BusCase& c = GetParam();
        std::vector<std::string> args{"--protocol", c.protocol};
        args.insert(args.end(), simArgs.begin(), simArgs.end());
        sim = std::make_unique<SimProcess>(args);
        EXPECT_TRUE(sim->Started());
        rig = std::make_unique<Rig>(sim->PtyPath(), c.requestSize);
        rig->PassRequests(1 << 30);
        ports.Link(150, rig->Link());
        ini->WriteString("LANGUAGE", "EN");
        ini->WriteInt("PROTOCOL", c.protocolIndex);
        ini->WriteString("ADDR", addresses);
        ini->WriteInt("BUS_INTERVAL_MS", 20);
        auto dlg = StartOnPort(150, 2);
        EXPECT_TRUE(dlg->Link().linkOpen);
        return dlg;
    }

    // Relays the line and runs the window, its timers ticked by hand, until `done`.
    bool RunUntil(const std::function<bool()>& done) {
        return ProcessUntil(
            [&] {
                rig->WaitFor([] { return false; }, std::chrono::milliseconds(5));
                timers.Tick(kPollTimer);
                if (timers.IsRunning(kBusTimer)) timers.Tick(kBusTimer);
                return done();
            },
            std::chrono::seconds(30));
    }

    size_t FramesFrom(uint8_t address) {
        const auto by = FramesByAddress(rig->delivered, GetParam().protocolIndex);
        const auto it = by.find(address);
        return it == by.end() ? 0
                              : WindowRows(it->second, GetParam().protocolIndex, address).size();
    }

    // Stops the requests and waits until every reply has come and been recorded.
    void StopAndRecordAll(CTiltwiseDlg& dlg) {
        rig->StopPassing();
        const int seen = rig->requestsSeen;
        ASSERT_TRUE(RunUntil([&] { return rig->requestsSeen > seen + 4; }));
        RecordButton(dlg)->click();
    }

    void ExpectFilesHoldTheirSensors(CTiltwiseDlg& dlg, const std::vector<uint8_t>& addresses) {
        const auto files = FileRows(dlg.CurrentSettings().CsvFolder);
        const auto by = FramesByAddress(rig->delivered, GetParam().protocolIndex);
        for (uint8_t a : addresses) {
            SCOPED_TRACE("address " + std::to_string(a));
            ASSERT_TRUE(files.count(a));
            EXPECT_EQ(files.at(a), WindowRows(by.at(a), GetParam().protocolIndex, a));
        }
    }

    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<Rig> rig;
};

TEST_P(WindowBusTest, EachFileHoldsItsSensorsRepliesAndTheAbsentOneIsShownSilent) {
    auto dlg = StartBus({"--address", "1-3"}, "1-4");
    RecordButton(*dlg)->click();
    ASSERT_TRUE(RunUntil([&] {
        return FramesFrom(1) >= 10 && FramesFrom(2) >= 10 && FramesFrom(3) >= 10 &&
               dlg->Bus().Bus() && dlg->Bus().Bus()->StateOf(3) == PolledBus::State::Silent;
    }));
    StopAndRecordAll(*dlg);
    ExpectFilesHoldTheirSensors(*dlg, {1, 2, 3});
    EXPECT_TRUE(FileRows(dlg->CurrentSettings().CsvFolder)[4].empty());
    // The review window opens the files together, one trace per sensor.
    std::vector<std::string> paths;
    for (const auto& e : std::filesystem::directory_iterator(dlg->CurrentSettings().CsvFolder))
        paths.push_back(e.path().string());
    CReviewWnd review(paths, Language::English);
    review.StartLoading();
    ASSERT_TRUE(ProcessUntil([&] { return review.IsLoaded(); }));
    std::map<int, size_t> traced;
    for (const RecordedTrace& t : review.Loaded()->traces) traced[t.address] = t.Size();
    for (int a : {1, 2, 3})
        EXPECT_EQ(traced[a], FileRows(dlg->CurrentSettings().CsvFolder)[a].size()) << a;

    timers.Tick(kReadoutTimer);
    ASSERT_NE(dlg->BusTable(), nullptr);
    EXPECT_TRUE(dlg->BusTable()->isVisible());
    const QString table = dlg->BusTable()->Table()->accessibleDescription();
    // The selected sensor shows in the readout: its own last values, each in turn.
    const auto files = FileRows(dlg->CurrentSettings().CsvFolder);
    for (uint8_t a : {2, 1}) {
        dlg->BusTable()->onSelect(a);
        EXPECT_EQ(dlg->Readout().XValueText(), files.at(a).back().x);
        EXPECT_EQ(dlg->Readout().YValueText(), files.at(a).back().y);
    }
    EXPECT_NE(files.at(1).back().x, files.at(2).back().x);
    // The absent sensor's row says so.
    dlg->BusTable()->onSelect(4);
    EXPECT_EQ(qobject_cast<QLabel*>(dlg->Control(1022))->text(), QStringLiteral("0HZ"));
    EXPECT_TRUE(dlg->BusTable()->Table()->accessibleDescription().contains("silent"))
        << table.toStdString();
    // Polling off: the table claims nothing of now.
    static_cast<QPushButton*>(dlg->Control(1026))->click();
    timers.Tick(kReadoutTimer);
    EXPECT_EQ(dlg->BusTable()->Table()->item(0, 6)->text(), QStringLiteral("not polled"));
    EXPECT_EQ(dlg->BusTable()->Table()->item(0, 1)->text(), QStringLiteral("-"));
    // Closed by the operator, the table stays closed.
    dlg->BusTable()->close();
    timers.Tick(kPollTimer);
    timers.Tick(kReadoutTimer);
    EXPECT_FALSE(dlg->BusTable()->isVisible());
}

INSTANTIATE_TEST_SUITE_P(BothProtocols, WindowBusTest,
                         ::testing::Values(BusCase{"tarq", 0, 5}, BusCase{"modbus", 1, 8}),
                         [](const auto& p) { return std::string(p.param.protocol); });

class WindowBusAddressTest : public WindowBusTest {};

TEST_P(WindowBusAddressTest, AnAddressChangeOfTheSelectedSensorLeavesTheOthersRowsUntouched) {
    auto dlg = StartBus({"--address", "1-3", "--standard"}, "1-3");
    RecordButton(*dlg)->click();
    ASSERT_TRUE(RunUntil([&] { return FramesFrom(1) >= 5 && FramesFrom(3) >= 5; }));
    ASSERT_NE(dlg->BusTable(), nullptr);
    dlg->BusTable()->onSelect(2);
    static_cast<QLineEdit*>(dlg->Control(1079))->setText("9");
    static_cast<QPushButton*>(dlg->Control(1013))->click();
    ASSERT_TRUE(RunUntil([&] {
        return dlg->Link().busAddresses == std::vector<uint8_t>{1, 9, 3} && FramesFrom(9) >= 5;
    })) << (messages.shown.empty() ? "" : messages.shown.back().text);
    const size_t before1 = FramesFrom(1);
    ASSERT_TRUE(RunUntil([&] { return FramesFrom(1) >= before1 + 5; }));
    StopAndRecordAll(*dlg);
    ExpectFilesHoldTheirSensors(*dlg, {1, 3});
    // The new address's file begins after the change: the command's own reads are not rows.
    const std::vector<Row> wire =
        WindowRows(FramesByAddress(rig->delivered, kProtocolModbus).at(9), kProtocolModbus, 9);
    const std::vector<Row> file = FileRows(dlg->CurrentSettings().CsvFolder)[9];
    ASSERT_GE(file.size(), 3u);
    ASSERT_LE(file.size(), wire.size());
    EXPECT_TRUE(std::equal(file.rbegin(), file.rend(), wire.rbegin()));
    EXPECT_EQ(static_cast<QLineEdit*>(dlg->Control(1080))->text(), QStringLiteral("1,9,3"));
}

INSTANTIATE_TEST_SUITE_P(StandardModbus, WindowBusAddressTest,
                         ::testing::Values(BusCase{"modbus", 1, 8}),
                         [](const auto&) { return std::string("modbus"); });

}  // namespace
