// The table of the sensors on a bus, as real widgets.

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QTest>
#include <vector>

#include "BusTableWnd.h"

namespace {

using State = BusTableRow::State;

BusTableRow Row(uint8_t address, State state, std::string x = "", std::string y = "",
                std::string temperature = "", int rate = 0, uint64_t unanswered = 0) {
    return {address, std::move(x), std::move(y), std::move(temperature), rate, unanswered, state};
}

QStringList Cells(const QTableWidget& table, int row) {
    QStringList texts;
    for (int c = 0; c < table.columnCount(); ++c) texts << table.item(row, c)->text();
    return texts;
}

const std::vector<BusTableRow> kRows = {
    Row(1, State::Answering, "1.25", "-0.50", "24.10", 5, 0),
    Row(2, State::NeverAnswered, "", "", "", 0, 7),
    Row(3, State::Silent, "0.10", "0.20", "", 0, 3),
};

TEST(BusTable, NeverSentValuesShowADashAndStatesReadInBothLanguages) {
    CBusTableWnd english(Language::English);
    english.ShowRows(kRows);
    EXPECT_EQ(english.windowTitle(), "Sensors on the bus");
    EXPECT_EQ(english.Table()->horizontalHeaderItem(3)->text(), "Temperature(Celsius)");
    EXPECT_EQ(Cells(*english.Table(), 0),
              QStringList({"1", "1.25", "-0.50", "24.10", "5", "0", "answering"}));
    EXPECT_EQ(Cells(*english.Table(), 1),
              QStringList({"2", "-", "-", "-", "0", "7", "never answered"}));
    EXPECT_EQ(Cells(*english.Table(), 2),
              QStringList({"3", "0.10", "0.20", "-", "0", "3", "silent"}));
    EXPECT_TRUE(english.Table()->item(2, 6)->font().bold());
    EXPECT_FALSE(english.Table()->item(0, 6)->font().bold());

    CBusTableWnd chinese(Language::Chinese);
    chinese.ShowRows(kRows);
    EXPECT_EQ(chinese.windowTitle(), "总线上的传感器");
    EXPECT_EQ(chinese.Table()->horizontalHeaderItem(3)->text(), "温度(℃)");
    EXPECT_EQ(chinese.Table()->item(0, 6)->text(), "应答中");
    EXPECT_EQ(chinese.Table()->item(1, 6)->text(), "从未应答");
    EXPECT_EQ(chinese.Table()->item(2, 6)->text(), "无应答");
}

TEST(BusTable, SelectedAddressStaysAndOnlyTheOperatorsChoiceIsTold) {
    CBusTableWnd window(Language::English);
    std::vector<uint8_t> told;
    window.onSelect = [&told](uint8_t address) { told.push_back(address); };
    window.Select(2);  // before any row: selected once its row appears
    window.ShowRows(kRows);
    window.show();
    EXPECT_EQ(window.Selected(), 2);
    EXPECT_TRUE(told.empty());

    window.ShowRows({kRows[2], kRows[1], kRows[0]});
    EXPECT_EQ(window.Selected(), 2);
    EXPECT_EQ(window.Table()->selectionModel()->selectedRows().front().row(), 1);
    window.ShowRows({kRows[0], kRows[2]});  // address 2 left the bus
    EXPECT_EQ(window.Selected(), std::nullopt);
    window.ShowRows(kRows);  // and came back
    EXPECT_EQ(window.Selected(), 2);
    EXPECT_TRUE(told.empty());

    QTableWidget& table = *window.Table();
    QTest::mouseClick(table.viewport(), Qt::LeftButton, {},
                      table.visualItemRect(table.item(2, 1)).center());
    QTest::keyClick(&table, Qt::Key_Up);
    EXPECT_EQ(told, std::vector<uint8_t>({3, 2}));
    window.Select(1);
    EXPECT_EQ(window.Selected(), 1);
    EXPECT_EQ(told.size(), 2u);
}

TEST(BusTable, DescriptionFollowsTheSelectedRowAndTheNewsIsNamed) {
    CBusTableWnd window(Language::English);
    window.ShowRows(kRows);
    EXPECT_EQ(window.Table()->accessibleName(), "Sensors on the bus");
    EXPECT_EQ(window.Table()->accessibleDescription(), "");
    window.Select(1);
    EXPECT_EQ(window.Table()->accessibleDescription(),
              "address 1: X 1.25 deg, Y -0.50 deg, 24.10 Celsius, 5 Hz, 0 unanswered, answering");
    window.ShowRows({Row(1, State::Silent, "1.30", "-0.50", "24.10", 0, 4), kRows[1]});
    EXPECT_EQ(window.Table()->accessibleDescription(),
              "address 1: X 1.30 deg, Y -0.50 deg, 24.10 Celsius, 0 Hz, 4 unanswered, silent");
    window.Select(2);
    EXPECT_EQ(window.Table()->accessibleDescription(),
              "address 2: X not received, Y not received, temperature not received, 0 Hz, "
              "7 unanswered, never answered");

    window.ShowNews("address 4 does not answer");
    EXPECT_EQ(window.News()->text(), "address 4 does not answer");
    EXPECT_EQ(window.News()->accessibleName(), "Latest bus event: address 4 does not answer");
    window.ShowNews("");
    EXPECT_EQ(window.News()->accessibleName(), "Latest bus event: none");

    CBusTableWnd chinese(Language::Chinese);
    chinese.ShowRows(kRows);
    chinese.Select(3);
    EXPECT_EQ(chinese.Table()->accessibleDescription(),
              "地址 3：X 0.10 度，Y 0.20 度，温度 未收到，0 Hz，3 次未应答，无应答");
}

}  // namespace
