#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <cerrno>
#include <fstream>
#include <iterator>
#include <string>

#include "IniFile.h"
#include "SimServer.h"
#include "TiltwiseDlg.h"
#include "WindowFixture.h"

namespace {

class WindowTcpPortTest : public PortWindowFixture {
protected:
    void WriteServer(int portnr, const std::string& address) {
        std::ofstream(ports.Path() + "/" + PortName(portnr)) << address << "\n";
    }
};

TEST_F(WindowTcpPortTest, AComEntryNamingAServerIsListedOpenedAndRecorded) {
    SimServer server;
    ASSERT_TRUE(server.Listening());
    WriteServer(150, server.Address());
    ini->WriteString("LANGUAGE", "EN");
    auto dlg = StartOnPort(150, 4);

    EXPECT_TRUE(dlg->Link().linkOpen);
    EXPECT_TRUE(messages.shown.empty());
    auto* list = qobject_cast<QComboBox*>(dlg->Control(ctl::kPortList));
    ASSERT_EQ(list->currentText(), QStringLiteral("COM150"));
    EXPECT_EQ(list->itemData(list->currentIndex(), Qt::ToolTipRole).toString().toStdString(),
              server.Address() + ", through " + ports.Path() + "/COM150");

    RecordButton(*dlg)->click();
    ASSERT_TRUE(dlg->Recorder().IsRecording());
    const std::string file = qobject_cast<QLineEdit*>(dlg->Control(1073))->text().toStdString();
    for (int i = 0; i < 3; ++i) {
        const int before = server.Requests();
        timers.Tick(kPollTimer);
        ASSERT_TRUE(ProcessUntil([&] { return server.Requests() > before; })) << i;
    }
    ASSERT_TRUE(ProcessUntil([&] { return dlg->Receive().ReplySeen(); }));
    RecordButton(*dlg)->click();  // stop writes what is buffered
    EXPECT_GE(dlg->Recorder().Stats().rowsWritten, 1u);

    std::ifstream in(file, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text.rfind("X(deg),Y(deg),Temperature, Time\r\n", 0), 0u) << text;
    EXPECT_GE(std::count(text.begin(), text.end(), '\n'), 2) << text;
}

}  // namespace

namespace {

TEST_F(WindowTcpPortTest, ARefusedServerIsTheOpenFailedBoxWithTheSystemsReasonKept) {
    WriteServer(150, "tcp://127.0.0.1:" + std::to_string(SimServer::RefusingPort()));
    ini->WriteString("LANGUAGE", "EN");
    auto dlg = StartOnPort(150, 4);
    EXPECT_FALSE(dlg->Link().linkOpen);
    EXPECT_TRUE(messages.shown.empty());  // the start's own attempt stays quiet

    auto* list = qobject_cast<QComboBox*>(dlg->Control(ctl::kPortList));
    const int com150 = list->findText(QStringLiteral("COM150"));
    ASSERT_GE(com150, 0);
    if (list->currentIndex() == com150) {
        qobject_cast<QPushButton*>(dlg->Control(ctl::kOpen))->click();
    } else {
        list->setCurrentIndex(com150);
    }
    EXPECT_FALSE(dlg->Link().linkOpen);
    EXPECT_EQ(port->LastOpenError(), ECONNREFUSED);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Serial port open failed");
}

}  // namespace
