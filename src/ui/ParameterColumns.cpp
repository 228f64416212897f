#include "ParameterColumns.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QHeaderView>
#include <QScrollBar>
#include <algorithm>

#include "ListCtrlEx.h"

namespace {

// The widest values the X and Y columns must show whole: the peak-to-peak of a
// full swing over the sensor's range and a reading near its end, both at the
// four decimals of the finest usual resolution.
const char* const kWidestValues[] = {"180.0000deg", "-89.9999deg"};
// Cell texts keep 5 px from the cell's left edge and 1 px from its right.
constexpr int kTextInsets = 5 + 1;
// Below this the values would be hard to read; a list that small cuts instead.
constexpr int kSmallestPixelSize = 9;

struct Needs {
    int caption = 0;
    int value = 0;
};

Needs Measure(const ListCtrlEx::CListCtrlEx& list, const QFont& font) {
    const QFontMetrics fm(font);
    Needs needs;
    for (int row = 0; row < list.rowCount(); ++row) {
        needs.caption = std::max(needs.caption, fm.horizontalAdvance(list.GetItemText(row, 0)));
        for (int column = 1; column < list.columnCount(); ++column)
            needs.value =
                std::max(needs.value, fm.horizontalAdvance(list.GetItemText(row, column)));
    }
    for (const char* text : kWidestValues)
        needs.value = std::max(needs.value, fm.horizontalAdvance(QString::fromLatin1(text)));
    needs.caption += kTextInsets;
    needs.value += kTextInsets;
    return needs;
}

}  // namespace

void FitParameterColumnsToTexts(ListCtrlEx::CListCtrlEx& list, const QFont& windowFont) {
    if (list.columnCount() != 3) return;
    int width = list.contentsRect().width();
    if (list.verticalScrollBar()->isVisible()) width -= list.verticalScrollBar()->width();

    QFont font = windowFont;
    Needs needs = Measure(list, font);
    for (int px = QFontInfo(font).pixelSize() - 1;
         needs.caption + 2 * needs.value > width && px >= kSmallestPixelSize; --px) {
        font.setPixelSize(px);
        needs = Measure(list, font);
    }
    if (list.font() != font) list.setFont(font);

    const int caption = std::max(needs.caption, list.horizontalHeader()->sectionSizeHint(0));
    const int x = (width - caption) / 2;
    list.setColumnWidth(0, caption);
    list.setColumnWidth(1, x);
    list.setColumnWidth(2, width - caption - x);
}
