#pragma once

#include <QHeaderView>
#include <QString>
#include <QStringList>
#include <QTableWidget>
#include <cstdint>
#include <map>
#include <optional>
#include <utility>

#include "InPlaceEdit.h"

namespace ListCtrlEx {

// How a column's cells react to a click. Other kinds (check box, radio button,
// drop-down, progress bar) are not built: no list of this program uses them.
enum ColumnKind : int {
    TextColumn = 0,  // plain text, never edited
    EditColumn = 4,  // a click opens the in-place editor
};

// The record every cell carries. Only `enabled` and `allowedChars` drive behaviour
// here; the rest keeps its place for the cell kinds that are not built.
struct CellInfo {
    static constexpr uint32_t kEnabled = 1u << 0;
    static constexpr uint32_t kTicked = 1u << 1;

    explicit CellInfo(int column = 0) : group(column) {}

    bool Enabled() const { return (flags & kEnabled) != 0; }
    bool Ticked() const { return (flags & kTicked) != 0; }

    uint32_t flags = kEnabled;
    int image = -1;
    int group;
    QStringList choices;
    QString allowedChars;  // empty: every character is accepted
    uint32_t progressPos = 0;
    uint32_t progressMax = 100;
};

// The list's column header. Sorting by header click is off, so a header press neither
// sorts nor selects; it only remembers that no column is sorted.
class CListCtrlExSortHead : public QHeaderView {
    Q_OBJECT

public:
    explicit CListCtrlExSortHead(QWidget* parent = nullptr);
    int SortColumn() const { return sortColumn_; }

private:
    int sortColumn_ = -1;
};

// A report-view list whose cells can be edited in place. Rows have one fixed height
// given by the owner; cell text is painted by the list itself and nothing else is
// (no selection highlight). The owner hears about clicks and edits through the
// WM_LISTEX_* signals; every one carries row and column by value, (-1, -1) for a
// click outside any cell.
class CListCtrlEx : public QTableWidget {
    Q_OBJECT

public:
    explicit CListCtrlEx(QWidget* parent = nullptr, EditServices services = DesktopEditServices());
    ~CListCtrlEx() override;

    // Adds a column at `column` (appended when out of range); returns its index.
    // `format` aligns the heading.
    int InsertColumn(int column, const QString& heading, int width, ColumnKind kind = TextColumn,
                     Qt::Alignment format = Qt::AlignLeft, int sortKind = 0);
    // Adds a row at `row` (appended when out of range) with `text` in column 0;
    // returns its index.
    int InsertItem(int row, const QString& text);
    bool SetItemText(int row, int column, const QString& text);
    QString GetItemText(int row, int column) const;

    // A column never given a kind is a TextColumn.
    ColumnKind GetColumnKind(int column) const;
    void SetColumnKind(int column, ColumnKind kind);
    int GetColumnSortKind(int column) const;

    // Never fails: a missing record is made with the defaults. The first call makes
    // the records of every cell that exists at that moment.
    CellInfo& GetCellInfo(int row, int column);
    // In viewport coordinates; empty for a cell that does not exist.
    std::optional<QRect> GetCellRect(int row, int column) const;
    // Notifies WM_LISTEX_ENABLECHANGED when the cell exists.
    void SetCellEnabled(int row, int column, bool enabled);
    bool IsCellEnabled(int row, int column) { return GetCellInfo(row, column).Enabled(); }
    void SetAllowedChars(int row, int column, const QString& chars);

    // Every row is this high from now on.
    void SetRowHeight(int height);
    int RowHeight() const { return rowHeight_; }

    // Opens the in-place editor over the cell; false when the cell does not exist or
    // an edit is still open or closing.
    bool StartCellEdit(int row, int column);
    // Null until the first edit.
    CInPlaceEdit* InPlaceEdit() const { return editor_; }
    CListCtrlExSortHead* SortHead() const { return sortHead_; }

signals:
    void WM_LISTEX_LBUTTONDOWN(int row, int column);
    void WM_LISTEX_LBUTTONDBLCLK(int row, int column);  // queued
    void WM_LISTEX_RBUTTONDOWN(int row, int column);    // queued
    void WM_LISTEX_ENABLECHANGED(int row, int column, bool enabled);
    void WM_LISTEX_ENDEDIT(int row, int column, QString text);
    void WM_LISTEX_BEGINEDIT(int row, int column);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    std::pair<int, int> HitCell(const QPoint& pos) const;
    void MakeRowVisible(int row, int column);
    void DrawItem(QPainter& painter, int row) const;
    void EndLabelEdit(int row, int column, const QString& text);
    template <typename Signal>
    void Post(Signal signal, int row, int column);

    EditServices services_;
    CListCtrlExSortHead* sortHead_;
    CInPlaceEdit* editor_ = nullptr;
    std::map<std::pair<int, int>, CellInfo> cells_;
    std::map<int, ColumnKind> columnKinds_;
    std::map<int, int> columnSortKinds_;  // ascending is always false; sorting is off
    int rowHeight_ = 0;
    bool forwardingDoubleClick_ = false;
};

}  // namespace ListCtrlEx
