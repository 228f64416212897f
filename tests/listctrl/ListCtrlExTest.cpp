#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDialog>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <ostream>
#include <tuple>
#include <vector>

#include "ListCtrlEx.h"

// Readable failures for texts.
void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace {

using ListCtrlEx::CInPlaceEdit;
using ListCtrlEx::CListCtrlEx;
using ListCtrlEx::EditColumn;
using ListCtrlEx::TextColumn;
using Cell = std::pair<int, int>;
using Edit = std::tuple<int, int, QString>;

bool SettleUntil(const std::function<bool()>& done) {
    QDeadlineTimer deadline(2000);
    while (!done() && !deadline.hasExpired()) QCoreApplication::processEvents();
    return done();
}

// The parameter list as the main window sets it up, inside a dialog with a default
// button, next to another field that can take the focus.
class ParameterListTest : public ::testing::Test {
protected:
    void SetUp() override {
        dialog.resize(400, 260);
        auto* ok = new QPushButton("OK", &dialog);
        ok->setDefault(true);
        ok->setGeometry(300, 220, 80, 30);
        QObject::connect(ok, &QPushButton::clicked, [this] { ++okClicks; });
        elsewhere = new QLineEdit(&dialog);
        elsewhere->setGeometry(10, 220, 100, 24);

        list = new CListCtrlEx(&dialog, {[this] { ++beeps; }, [this] { return clipboard; }});
        list->setGeometry(10, 10, 340, 150);
        list->InsertColumn(0, "      Item", 110, TextColumn, Qt::AlignHCenter);
        list->InsertColumn(1, "X", 110, EditColumn, Qt::AlignHCenter);
        list->InsertColumn(2, "Y", 110, EditColumn, Qt::AlignHCenter);
        list->SetRowHeight(22);
        const char* rows[4][3] = {{"Set rang", "90deg", "90deg"},
                                  {"Set P.R.", "0.01", "0.01"},
                                  {"Value", "0.00", "0.00"},
                                  {"Vpp", "0.00", "0.00"}};
        for (int r = 0; r < 4; ++r) {
            list->InsertItem(r, rows[r][0]);
            list->SetItemText(r, 1, rows[r][1]);
            list->SetItemText(r, 2, rows[r][2]);
        }
        for (const Cell& c : {Cell{1, 2}, Cell{2, 1}, Cell{2, 2}, Cell{3, 1}, Cell{3, 2}}) {
            list->SetCellEnabled(c.first, c.second, false);
        }

        QObject::connect(list, &CListCtrlEx::WM_LISTEX_LBUTTONDOWN,
                         [this](int r, int c) { downs.emplace_back(r, c); });
        QObject::connect(list, &CListCtrlEx::WM_LISTEX_LBUTTONDBLCLK,
                         [this](int r, int c) { doubleClicks.emplace_back(r, c); });
        QObject::connect(list, &CListCtrlEx::WM_LISTEX_RBUTTONDOWN,
                         [this](int r, int c) { rightDowns.emplace_back(r, c); });
        QObject::connect(list, &CListCtrlEx::WM_LISTEX_BEGINEDIT,
                         [this](int r, int c) { begins.emplace_back(r, c); });
        QObject::connect(list, &CListCtrlEx::WM_LISTEX_ENDEDIT,
                         [this](int r, int c, QString t) { ends.emplace_back(r, c, t); });
        QObject::connect(list, &CListCtrlEx::WM_LISTEX_ENABLECHANGED,
                         [this](int r, int c, bool e) { enables.emplace_back(r, c, e); });

        dialog.show();
        dialog.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    }

    QPoint Centre(int row, int column) const { return list->GetCellRect(row, column)->center(); }
    void Click(int row, int column, Qt::KeyboardModifiers modifiers = {}) {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, Centre(row, column));
    }
    CInPlaceEdit* Editor() const { return list->InPlaceEdit(); }
    bool EditorShown() const { return Editor() && Editor()->isVisible(); }
    bool EditorGone() const { return !Editor() || !Editor()->HasWindow(); }

    // The recorders outlive the dialog: closing it still ends an open edit.
    int okClicks = 0;
    int beeps = 0;
    QString clipboard;
    std::vector<Cell> downs, doubleClicks, rightDowns, begins;
    std::vector<Edit> ends;
    std::vector<std::tuple<int, int, bool>> enables;
    QDialog dialog;
    QLineEdit* elsewhere = nullptr;
    CListCtrlEx* list = nullptr;
};

// ---- ending an edit --------------------------------------------------------

TEST_F(ParameterListTest, ClickTypeEnterPutsTheTextInTheCellAndNotifiesTheOwner) {
    Click(1, 1);
    ASSERT_TRUE(EditorShown());
    EXPECT_EQ(begins, (std::vector<Cell>{{1, 1}}));
    EXPECT_EQ(Editor()->objectName(), "1000001");
    EXPECT_EQ(Editor()->geometry(), *list->GetCellRect(1, 1));
    EXPECT_EQ(Editor()->selectedText(), "0.01");
    EXPECT_TRUE(Editor()->hasFocus());

    QTest::keyClicks(Editor(), "0.001");
    QTest::keyClick(Editor(), Qt::Key_Return);

    EXPECT_EQ(ends, (std::vector<Edit>{{1, 1, "0.001"}}));
    EXPECT_EQ(list->GetItemText(1, 1), "0.001");
    EXPECT_EQ(list->GetItemText(1, 2), "0.01");
    EXPECT_TRUE(list->hasFocus());
    EXPECT_EQ(okClicks, 0) << "Enter must not press the dialog's default button";
    EXPECT_EQ(downs, (std::vector<Cell>{{1, 1}}));
    EXPECT_TRUE(SettleUntil([&] { return EditorGone(); }));
    EXPECT_FALSE(Editor()->isVisible());
}

TEST_F(ParameterListTest, EscapeRestoresTheOldTextAndStillNotifiesIt) {
    Click(0, 2);
    QTest::keyClicks(Editor(), "45");
    QTest::keyClick(Editor(), Qt::Key_Escape);

    EXPECT_EQ(ends, (std::vector<Edit>{{0, 2, "90deg"}}));
    EXPECT_EQ(list->GetItemText(0, 2), "90deg");
    EXPECT_TRUE(dialog.isVisible()) << "Escape must not close the dialog";

    // The next edit of the same cell is not cancelled any more.
    ASSERT_TRUE(SettleUntil([&] { return EditorGone(); }));
    Click(0, 2);
    QTest::keyClicks(Editor(), "45");
    QTest::keyClick(Editor(), Qt::Key_Enter);
    EXPECT_EQ(ends.back(), (Edit{0, 2, "45"}));
}

TEST_F(ParameterListTest, LosingTheFocusAnyOtherWayCommitsTheTypedText) {
    Click(0, 1);
    QTest::keyClicks(Editor(), "30");
    elsewhere->setFocus(Qt::OtherFocusReason);

    EXPECT_EQ(ends, (std::vector<Edit>{{0, 1, "30"}}));
    EXPECT_EQ(list->GetItemText(0, 1), "30");
    ASSERT_TRUE(SettleUntil([&] { return EditorGone(); }));

    Click(0, 2);
    QTest::keyClicks(Editor(), "7");
    dialog.close();
    EXPECT_EQ(ends.back(), (Edit{0, 2, "7"}));
}

TEST_F(ParameterListTest, AClickOnAnotherCellWhileEditingOnlyEndsThatEdit) {
    Click(0, 1);
    QTest::keyClicks(Editor(), "12");
    Click(0, 2);

    EXPECT_EQ(ends, (std::vector<Edit>{{0, 1, "12"}}));
    EXPECT_EQ(begins, (std::vector<Cell>{{0, 1}}));
    EXPECT_EQ(downs, (std::vector<Cell>{{0, 1}, {0, 2}}));
    ASSERT_TRUE(SettleUntil([&] { return EditorGone(); }));
    EXPECT_FALSE(Editor()->isVisible());

    Click(0, 2);
    ASSERT_TRUE(EditorShown());
    EXPECT_EQ(Editor()->Column(), 2);
    EXPECT_EQ(Editor()->selectedText(), "90deg");
    EXPECT_EQ(Editor()->geometry(), *list->GetCellRect(0, 2));
    EXPECT_FALSE(list->StartCellEdit(1, 1)) << "one edit at a time";
}

TEST_F(ParameterListTest, DestroyingTheListWithAnEditOpenDropsTheEdit) {
    Click(1, 1);
    QTest::keyClicks(Editor(), "5");
    delete list;
    QCoreApplication::processEvents();
    EXPECT_TRUE(ends.empty());
}

// ---- clicks that open nothing ----------------------------------------------

TEST_F(ParameterListTest, LockedTextAndEmptySpotsOpenNoEditorButReportTheClick) {
    Click(2, 1);  // a value cell
    Click(3, 2);  // a peak-to-peak cell
    Click(1, 2);  // the Y resolution
    Click(0, 0);  // the caption column
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      QPoint(3, list->viewport()->height() - 3));

    EXPECT_EQ(downs, (std::vector<Cell>{{2, 1}, {3, 2}, {1, 2}, {0, 0}, {-1, -1}}));
    EXPECT_EQ(list->InPlaceEdit(), nullptr);
    EXPECT_TRUE(begins.empty());
    EXPECT_TRUE(ends.empty());
}

TEST_F(ParameterListTest, ShiftOrCtrlClickOnlySelects) {
    Click(0, 1, Qt::ControlModifier);
    Click(1, 1, Qt::ShiftModifier);
    EXPECT_EQ(list->InPlaceEdit(), nullptr);
    EXPECT_TRUE(downs.empty());
    EXPECT_TRUE(list->selectionModel()->isRowSelected(1, {}));
}

TEST_F(ParameterListTest, DoubleAndRightClicksArePostedWithTheCell) {
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, Centre(3, 0));
    QTest::mouseClick(list->viewport(), Qt::RightButton, {}, Centre(2, 1));
    EXPECT_TRUE(doubleClicks.empty() && rightDowns.empty()) << "posted, not sent";

    ASSERT_TRUE(SettleUntil([&] { return !doubleClicks.empty() && !rightDowns.empty(); }));
    EXPECT_EQ(doubleClicks, (std::vector<Cell>{{3, 0}}));
    EXPECT_EQ(rightDowns, (std::vector<Cell>{{2, 1}}));
    EXPECT_TRUE(downs.empty());
}

TEST_F(ParameterListTest, SetCellEnabledLocksTheCellAndNotifiesForExistingCells) {
    list->SetCellEnabled(0, 1, false);
    Click(0, 1);
    EXPECT_FALSE(EditorShown());
    list->SetCellEnabled(0, 1, true);
    Click(0, 1);
    EXPECT_TRUE(EditorShown());

    list->SetCellEnabled(9, 1, false);
    EXPECT_FALSE(list->IsCellEnabled(9, 1));
    EXPECT_EQ(enables, (std::vector<std::tuple<int, int, bool>>{{0, 1, false}, {0, 1, true}}));
}

// ---- allowed characters ----------------------------------------------------

TEST_F(ParameterListTest, ARefusedCharacterBeepsAndIsNotTyped) {
    list->SetAllowedChars(1, 1, "0123456789.");
    Click(1, 1);
    QTest::keyClicks(Editor(), "0.5");
    EXPECT_EQ(beeps, 0);
    QTest::keyClick(Editor(), 'x');
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(Editor()->text(), "0.5");

    // Backspace, copy and cut edit; other control keys type a refused character.
    QTest::keyClick(Editor(), Qt::Key_Backspace);
    QTest::keyClick(Editor(), Qt::Key_C, Qt::ControlModifier);
    QTest::keyClick(Editor(), Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(beeps, 1);
    QTest::keyClick(Editor(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(beeps, 2);

    QTest::keyClick(Editor(), Qt::Key_Return);
    EXPECT_EQ(ends, (std::vector<Edit>{{1, 1, "0."}}));
}

TEST_F(ParameterListTest, APasteIsAllOrNothingAndSilent) {
    list->SetAllowedChars(1, 1, "0123456789.");
    Click(1, 1);
    clipboard = "0.5deg";
    QTest::keyClick(Editor(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Editor()->text(), "0.01");
    EXPECT_EQ(beeps, 0);

    clipboard = "0.005";
    QTest::keyClick(Editor(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Editor()->text(), "0.005");
}

TEST_F(ParameterListTest, WithoutAnAllowedSetEveryCharacterAndPasteIsTaken) {
    Click(0, 1);
    QTest::keyClicks(Editor(), "-1 deg");
    clipboard = "+x";
    QTest::keyClick(Editor(), Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(Editor(), Qt::Key_Return);
    EXPECT_EQ(ends, (std::vector<Edit>{{0, 1, "-1 deg+x"}}));
    EXPECT_EQ(beeps, 0);
}

// ---- rows, records and painting --------------------------------------------

TEST_F(ParameterListTest, EveryRowHasTheOwnersHeight) {
    for (int r = 0; r < 4; ++r) EXPECT_EQ(list->GetCellRect(r, 1)->height(), 22);
    list->SetRowHeight(31);
    list->InsertItem(4, "later");
    for (int r = 0; r < 5; ++r) EXPECT_EQ(list->GetCellRect(r, 2)->height(), 31);
}

TEST_F(ParameterListTest, CellTextStartsFivePixelsInAndSelectionIsNotPainted) {
    QPalette colours = list->palette();
    colours.setColor(QPalette::Base, Qt::white);
    colours.setColor(QPalette::Text, Qt::black);
    colours.setColor(QPalette::Highlight, Qt::blue);
    list->setPalette(colours);
    list->SetItemText(1, 1, "WWWW");
    list->selectRow(1);

    const QImage shot = list->viewport()->grab().toImage();
    const QRect cell = *list->GetCellRect(1, 1);
    auto inkBetween = [&](int x0, int x1) {
        int ink = 0;
        for (int y = cell.top(); y <= cell.bottom(); ++y) {
            for (int x = x0; x <= x1; ++x) ink += qGray(shot.pixel(x, y)) < 128 ? 1 : 0;
        }
        return ink;
    };
    EXPECT_EQ(inkBetween(cell.left(), cell.left() + 4), 0);
    EXPECT_GT(inkBetween(cell.left() + 5, cell.left() + 30), 0);
    for (int x = 0; x < shot.width(); ++x) {
        ASSERT_NE(shot.pixel(x, cell.center().y()), QColor(Qt::blue).rgb()) << "at x " << x;
    }
}

TEST(CellRecords, AreMadeOnFirstUseWithDefaultsAndNeverFail) {
    CListCtrlEx list(nullptr, {});
    list.InsertColumn(0, "A", 50);
    list.InsertColumn(1, "B", 50, EditColumn);
    list.InsertItem(0, "row");

    const ListCtrlEx::CellInfo& cell = list.GetCellInfo(0, 1);
    EXPECT_TRUE(cell.Enabled());
    EXPECT_FALSE(cell.Ticked());
    EXPECT_EQ(cell.image, -1);
    EXPECT_EQ(cell.group, 1);
    EXPECT_TRUE(cell.allowedChars.isEmpty());
    EXPECT_EQ(cell.progressMax, 100u);
    EXPECT_EQ(list.GetCellInfo(5, 7).group, 7);

    EXPECT_EQ(list.GetColumnKind(1), EditColumn);
    EXPECT_EQ(list.GetColumnKind(9), TextColumn);
    EXPECT_FALSE(list.GetCellRect(1, 0).has_value());
    EXPECT_FALSE(list.StartCellEdit(0, 2));
    EXPECT_EQ(list.SortHead()->SortColumn(), -1);
}

}  // namespace
