// What the operator confirmed is there again at the next start, and what is
// chosen on screen takes effect at once.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "WindowFixture.h"

namespace {

class KeptSettingsTest : public PortWindowFixture {
protected:
    static QComboBox* List(CTiltwiseDlg& dlg, int id) {
        return qobject_cast<QComboBox*>(dlg.Control(id));
    }
    // As the operator picks an entry.
    static void Choose(CTiltwiseDlg& dlg, int id, const QString& entry) {
        QComboBox* list = List(dlg, id);
        list->setCurrentIndex(list->findText(entry));
        emit list->activated(list->currentIndex());
    }
    // One request answered, then the tick that follows the answer.
    bool Poll(CTiltwiseDlg& dlg) {
        const uint64_t before = dlg.Stats().measurements;
        timers.Tick(kPollTimer);
        const bool answered = ProcessUntil([&] { return dlg.Stats().measurements > before; });
        timers.Tick(kPollTimer);
        return answered;
    }
    // The next start, with the same Config.ini.
    void Restart(std::unique_ptr<CTiltwiseDlg>& dlg) {
        dlg.reset();
        dlg = StartWindow();
    }
};

TEST_F(KeptSettingsTest, WhatTheOperatorChoseAndTheSensorConfirmedIsThereAtTheNextStart) {
    SimProcess first({}), second({"--protocol", "modbus"});
    ports.Link(150, first.PtyPath());
    ports.Link(151, second.PtyPath());
    auto dlg = StartOnPort(150, 2);
    ASSERT_TRUE(Poll(*dlg));  // the start-up open is confirmed
    EXPECT_FALSE(dlg->Control(ctl::kProtocolList)->isHidden());
    EXPECT_FALSE(dlg->Control(ctl::kProtocolLabel)->isHidden());
    Choose(*dlg, ctl::kProtocolList, "Modbus");
    EXPECT_EQ(List(*dlg, ctl::kFrequencyList)->itemText(1).toStdString(), "10");
    Choose(*dlg, ctl::kPortList, "COM151");
    Choose(*dlg, ctl::kBaudList, "38400");
    Choose(*dlg, ctl::kParityList, "O");
    ASSERT_TRUE(Poll(*dlg));  // only a Modbus request is answered there
    qobject_cast<QLineEdit*>(dlg->Control(ctl::kNewAddress))->setText("7");
    qobject_cast<QPushButton*>(dlg->Control(ctl::kSetAddress))->click();
    ASSERT_TRUE(ProcessUntil([&] { return dlg->Commands().AnswersAwaited() == 1; }));
    timers.Tick(kPollTimer);  // the sensor is looked for at the new address
    ASSERT_TRUE(ProcessUntil([&] { return dlg->Commands().OperationKind() == 0; }));

    Restart(dlg);
    EXPECT_EQ(List(*dlg, ctl::kProtocolList)->currentText().toStdString(), "Modbus");
    EXPECT_EQ(List(*dlg, ctl::kPortList)->currentText().toStdString(), "COM151");
    EXPECT_EQ(List(*dlg, ctl::kBaudList)->currentText().toStdString(), "38400");
    EXPECT_EQ(List(*dlg, ctl::kParityList)->currentText().toStdString(), "O");
    // Set parity moves the sensor only where the operator asks.
    EXPECT_EQ(List(*dlg, ctl::kDeviceParityList)->currentText().toStdString(), "O");
    EXPECT_EQ(qobject_cast<QLineEdit*>(dlg->Control(ctl::kAddress))->text().toStdString(), "7");
    EXPECT_EQ(ini->ReadString("ADDR"), "7");
    EXPECT_TRUE(Poll(*dlg));
}

TEST_F(KeptSettingsTest, ATypedAddressIsTakenOnEnterAndWhenTheBoxIsLeft) {
    auto dlg = Make(Language::English);
    dlg->show();
    dlg->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dlg.get()));
    auto* box = qobject_cast<QLineEdit*>(dlg->Control(ctl::kAddress));
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, "9");
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(dlg->Link().deviceAddress, 9);
    box->selectAll();
    QTest::keyClicks(box, "12");
    dlg->Control(ctl::kOpen)->setFocus();
    EXPECT_EQ(dlg->Link().deviceAddress, 12);
    EXPECT_EQ(ini->ReadString("ADDR"), "12");
}

}  // namespace
