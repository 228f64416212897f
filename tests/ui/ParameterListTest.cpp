#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QTest>

#include "HexBytes.h"
#include "InPlaceEdit.h"
#include "ListCtrlEx.h"
#include "WindowFixture.h"

namespace {

using ListCtrlEx::CListCtrlEx;

class ParameterListTest : public WindowFixture {
protected:
    std::unique_ptr<CTiltwiseDlg> Show(const std::string& protocol = "0") {
        ini->WriteString("PROTOCOL", protocol);
        auto dlg = Make(Language::English);
        dlg->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
        return dlg;
    }
    // Click the cell, type, and finish with `key`, as an operator does.
    static void Edit(CListCtrlEx* list, int row, int column, const QString& text, Qt::Key key) {
        const auto rect = list->GetCellRect(row, column);
        ASSERT_TRUE(rect.has_value());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, rect->center());
        ASSERT_NE(list->InPlaceEdit(), nullptr);
        ASSERT_TRUE(list->InPlaceEdit()->isVisible());
        list->InPlaceEdit()->selectAll();
        QTest::keyClicks(list->InPlaceEdit(), text);
        QTest::keyClick(list->InPlaceEdit(), key);
    }
    static QString Label(CTiltwiseDlg& dlg, int id) {
        return qobject_cast<QLabel*>(dlg.Control(id))->text();
    }
};

TEST_F(ParameterListTest, ListHasItsRowsColumnsAndLocks) {
    auto dlg = Show();
    CListCtrlEx* list = dlg->ParameterList();
    ASSERT_EQ(list->rowCount(), 4);
    EXPECT_EQ(list->GetItemText(0, 0), QStringLiteral("Set rang"));
    EXPECT_EQ(list->GetItemText(1, 0), QStringLiteral("Set P.R."));
    EXPECT_EQ(list->GetItemText(2, 0), QStringLiteral("Value"));
    EXPECT_EQ(list->GetItemText(3, 0), QStringLiteral("Vpp"));
    EXPECT_EQ(list->GetItemText(2, 1), QStringLiteral("-"));  // nothing received yet
    EXPECT_TRUE(list->IsCellEnabled(1, 1));
    EXPECT_FALSE(list->IsCellEnabled(1, 2));
    EXPECT_FALSE(list->IsCellEnabled(2, 1));
    EXPECT_FALSE(list->IsCellEnabled(3, 2));
}

TEST_F(ParameterListTest, FrameProtocolShowsDashesAndLocksTheRanges) {
    auto dlg = Show("0");
    CListCtrlEx* list = dlg->ParameterList();
    EXPECT_EQ(list->GetItemText(0, 1), QStringLiteral("-"));
    EXPECT_FALSE(list->IsCellEnabled(0, 1));
    EXPECT_FALSE(list->IsCellEnabled(0, 2));
    EXPECT_EQ(list->GetItemText(1, 1), QStringLiteral("0.01"));
}

TEST_F(ParameterListTest, ModbusShowsTheConfiguredRangesEditable) {
    ini->WriteString("xRange", "45deg");
    auto dlg = Show("1");
    CListCtrlEx* list = dlg->ParameterList();
    EXPECT_EQ(list->GetItemText(0, 1), QStringLiteral("45deg"));
    EXPECT_EQ(list->GetItemText(0, 2), QStringLiteral("90deg"));
    EXPECT_TRUE(list->IsCellEnabled(0, 1));
    EXPECT_FLOAT_EQ(dlg->Decode().XRangeOffset, 45.0f);

    Edit(list, 0, 1, QStringLiteral("30deg"), Qt::Key_Return);
    EXPECT_FLOAT_EQ(dlg->Decode().XRangeOffset, 30.0f);
    EXPECT_EQ(ini->ReadString("xRange"), "30deg");
}

TEST_F(ParameterListTest, ResolutionEditChangesDecimalsFactorAndConfig) {
    auto dlg = Show();
    CListCtrlEx* list = dlg->ParameterList();
    Edit(list, 1, 1, QStringLiteral("0.001"), Qt::Key_Return);
    EXPECT_EQ(list->GetItemText(1, 1), QStringLiteral("0.001"));
    EXPECT_EQ(list->GetItemText(1, 2), QStringLiteral("0.001"));
    EXPECT_EQ(ini->ReadString("Ratio"), "0.001");
    EXPECT_FLOAT_EQ(dlg->Decode().ResolutionFactor, 0.001f);
    EXPECT_TRUE(dlg->isVisible()) << "Enter in the editor must not reach the dialog";

    dlg->DeliverMeasurement(Measurement{1.23456, 0, 20});
    timers.Tick(2);
    EXPECT_EQ(list->GetItemText(2, 1), QStringLiteral("1.235deg"));
    EXPECT_EQ(list->GetItemText(3, 1), QStringLiteral("-"));  // not plotted yet
    EXPECT_EQ(Label(*dlg, 1030), QStringLiteral("20.000Celsius"));
}

TEST_F(ParameterListTest, CoarseResolutionIsShownButConvertsAtOneHundredth) {
    auto dlg = Show();
    Edit(dlg->ParameterList(), 1, 1, QStringLiteral("0.1"), Qt::Key_Return);
    EXPECT_EQ(dlg->ParameterList()->GetItemText(1, 2), QStringLiteral("0.1"));
    EXPECT_EQ(ini->ReadString("Ratio"), "0.1");
    EXPECT_FLOAT_EQ(dlg->Decode().ResolutionFactor, 0.01f);
}

TEST_F(ParameterListTest, EscapeRestoresTheCellAndStillWritesIt) {
    auto dlg = Show();
    Edit(dlg->ParameterList(), 1, 1, QStringLiteral("0.0001"), Qt::Key_Escape);
    EXPECT_EQ(dlg->ParameterList()->GetItemText(1, 1), QStringLiteral("0.01"));
    EXPECT_EQ(ini->ReadString("Ratio"), "0.01");
    EXPECT_TRUE(dlg->isVisible());
}

TEST_F(ParameterListTest, ValueCellsOpenNoEditor) {
    auto dlg = Show();
    CListCtrlEx* list = dlg->ParameterList();
    const auto rect = list->GetCellRect(2, 1);
    ASSERT_TRUE(rect.has_value());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, rect->center());
    EXPECT_TRUE(list->InPlaceEdit() == nullptr || !list->InPlaceEdit()->isVisible());
}

TEST_F(ParameterListTest, RateCountsEveryFrameAndMiscountTheBadOnes) {
    auto dlg = Show();
    timers.Tick(2);
    EXPECT_EQ(Label(*dlg, 1022), QStringLiteral("0HZ"));
    EXPECT_EQ(Label(*dlg, 1029), QStringLiteral("0"));

    const auto good = Hex("68 0D 00 84 00 12 34 10 05 67 00 25 10 88");
    auto bad = good;
    bad.back() ^= 0xFF;
    for (int i = 0; i < 50; ++i) {
        const auto& frame = i % 17 == 0 ? bad : good;  // 3 of the 50
        dlg->Receive().OnRxTarq(frame.data(), frame.size());
    }
    timers.Tick(2);
    EXPECT_EQ(Label(*dlg, 1022), QStringLiteral("50HZ"));
    EXPECT_EQ(Label(*dlg, 1029), QStringLiteral("3"));
    EXPECT_EQ(Label(*dlg, 1030), QStringLiteral("25.10Celsius"));
    EXPECT_EQ(dlg->ParameterList()->GetItemText(2, 2), QStringLiteral("-5.67deg"));
    timers.Tick(2);
    EXPECT_EQ(Label(*dlg, 1022), QStringLiteral("0HZ"));
}

}  // namespace
