// What the operator confirmed is there again at the next start, and what is
// chosen on screen takes effect at once.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "WindowFixture.h"

namespace {

class KeptSettingsTest : public PortWindowFixture {};

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
