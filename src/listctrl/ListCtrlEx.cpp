#include "ListCtrlEx.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

namespace ListCtrlEx {

namespace {
// Cell text keeps clear of the cell's left edge by 5 px and of its right edge by 1 px.
constexpr int kTextInsetLeft = 5;
constexpr int kTextInsetRight = 1;
}  // namespace

CListCtrlExSortHead::CListCtrlExSortHead(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
    setSectionsClickable(false);
    setHighlightSections(false);
}

CListCtrlEx::CListCtrlEx(QWidget* parent, EditServices services)
    : QTableWidget(parent),
      services_(std::move(services)),
      sortHead_(new CListCtrlExSortHead(this)) {
    setHorizontalHeader(sortHead_);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    setShowGrid(false);
    setWordWrap(false);
    setSelectionBehavior(SelectRows);
    setSelectionMode(ExtendedSelection);
    // The in-place editor is the only editor; a click must not scroll a partly
    // visible row under the pointer.
    setEditTriggers(NoEditTriggers);
    setTabKeyNavigation(false);
    setAutoScroll(false);
}

CListCtrlEx::~CListCtrlEx() {
    // An edit still open now is dropped rather than reported: the owner may be going too.
    if (editor_) {
        QObject::disconnect(editor_, nullptr, this, nullptr);
        delete editor_;
    }
}

int CListCtrlEx::InsertColumn(int column, const QString& heading, int width, ColumnKind kind,
                              Qt::Alignment format, int sortKind) {
    if (column < 0 || column > columnCount()) column = columnCount();
    columnKinds_[column] = kind;
    columnSortKinds_[column] = sortKind;
    insertColumn(column);
    auto* header = new QTableWidgetItem(heading);
    if (!(format & Qt::AlignVertical_Mask)) format |= Qt::AlignVCenter;
    header->setTextAlignment(format);
    setHorizontalHeaderItem(column, header);
    setColumnWidth(column, width);
    return column;
}

int CListCtrlEx::InsertItem(int row, const QString& text) {
    if (row < 0 || row > rowCount()) row = rowCount();
    insertRow(row);
    SetItemText(row, 0, text);
    return row;
}

bool CListCtrlEx::SetItemText(int row, int column, const QString& text) {
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount()) return false;
    if (QTableWidgetItem* cell = item(row, column)) {
        cell->setText(text);
    } else {
        setItem(row, column, new QTableWidgetItem(text));
    }
    return true;
}

QString CListCtrlEx::GetItemText(int row, int column) const {
    const QTableWidgetItem* cell = item(row, column);
    return cell ? cell->text() : QString();
}

ColumnKind CListCtrlEx::GetColumnKind(int column) const {
    const auto found = columnKinds_.find(column);
    return found == columnKinds_.end() ? TextColumn : found->second;
}

void CListCtrlEx::SetColumnKind(int column, ColumnKind kind) {
    columnKinds_[column] = kind;
}

int CListCtrlEx::GetColumnSortKind(int column) const {
    const auto found = columnSortKinds_.find(column);
    return found == columnSortKinds_.end() ? 0 : found->second;
}

CellInfo& CListCtrlEx::GetCellInfo(int row, int column) {
    if (cells_.empty()) {
        for (int r = 0; r < rowCount(); ++r) {
            for (int c = 0; c < columnCount(); ++c) cells_.try_emplace({r, c}, c);
        }
    }
    return cells_.try_emplace({row, column}, column).first->second;
}

std::optional<QRect> CListCtrlEx::GetCellRect(int row, int column) const {
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount()) return std::nullopt;
    const QRect cell = visualRect(model()->index(row, column));
    if (!cell.isValid()) return std::nullopt;
    return cell;
}

void CListCtrlEx::SetCellEnabled(int row, int column, bool enabled) {
    CellInfo& cell = GetCellInfo(row, column);
    cell.flags = enabled ? (cell.flags | CellInfo::kEnabled) : (cell.flags & ~CellInfo::kEnabled);
    const std::optional<QRect> rect = GetCellRect(row, column);
    if (!rect) return;
    viewport()->update(*rect);
    emit WM_LISTEX_ENABLECHANGED(row, column, enabled);
}

void CListCtrlEx::SetAllowedChars(int row, int column, const QString& chars) {
    GetCellInfo(row, column).allowedChars = chars;
}

void CListCtrlEx::SetRowHeight(int height) {
    rowHeight_ = height;
    verticalHeader()->setDefaultSectionSize(height);
}

bool CListCtrlEx::StartCellEdit(int row, int column) {
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount()) return false;
    // Still open or closing: the click that took the focus from it only ends that edit.
    if (editor_ && editor_->HasWindow()) return false;
    const QString text = GetItemText(row, column);
    const std::optional<QRect> rect = GetCellRect(row, column);
    if (!rect) return false;

    emit WM_LISTEX_BEGINEDIT(row, column);
    if (!editor_) {
        editor_ = new CInPlaceEdit(this, services_);
        connect(editor_, &CInPlaceEdit::EndLabelEdit, this, &CListCtrlEx::EndLabelEdit);
    }
    return editor_->EditCell(*rect, row, column, GetCellInfo(row, column).allowedChars, text);
}

void CListCtrlEx::EndLabelEdit(int row, int column, const QString& text) {
    SetItemText(row, column, text);
    emit WM_LISTEX_ENDEDIT(row, column, text);
}

std::pair<int, int> CListCtrlEx::HitCell(const QPoint& pos) const {
    const QModelIndex index = indexAt(pos);
    if (!index.isValid()) return {-1, -1};
    return {index.row(), index.column()};
}

void CListCtrlEx::MakeRowVisible(int row, int column) {
    const QModelIndex index = model()->index(row, column);
    const QRect cell = visualRect(index);
    if (cell.bottom() >= 0 && cell.top() < viewport()->height()) return;
    scrollTo(index, EnsureVisible);
}

template <typename Signal>
void CListCtrlEx::Post(Signal signal, int row, int column) {
    QMetaObject::invokeMethod(
        this, [this, signal, row, column] { emit(this->*signal)(row, column); },
        Qt::QueuedConnection);
}

void CListCtrlEx::mousePressEvent(QMouseEvent* event) {
    if (forwardingDoubleClick_) {
        // The view turns some double-clicks back into presses; the second click of a
        // double-click is not a new press for the owner.
        QTableWidget::mousePressEvent(event);
        return;
    }
    const auto [row, column] = HitCell(event->position().toPoint());
    QTableWidget::mousePressEvent(event);
    if (event->button() == Qt::RightButton) {
        Post(&CListCtrlEx::WM_LISTEX_RBUTTONDOWN, row, column);
        return;
    }
    if (event->button() != Qt::LeftButton) return;
    if (event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier)) return;
    if (row >= 0 && GetCellInfo(row, column).Enabled() && GetColumnKind(column) == EditColumn) {
        MakeRowVisible(row, column);
        StartCellEdit(row, column);
    }
    emit WM_LISTEX_LBUTTONDOWN(row, column);
}

void CListCtrlEx::mouseDoubleClickEvent(QMouseEvent* event) {
    const auto [row, column] = HitCell(event->position().toPoint());
    forwardingDoubleClick_ = true;
    QTableWidget::mouseDoubleClickEvent(event);
    forwardingDoubleClick_ = false;
    if (event->button() == Qt::LeftButton) Post(&CListCtrlEx::WM_LISTEX_LBUTTONDBLCLK, row, column);
}

void CListCtrlEx::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    const int first = rowAt(event->rect().top());
    if (first < 0) return;
    int last = rowAt(event->rect().bottom());
    if (last < 0) last = rowCount() - 1;
    painter.setPen(palette().color(QPalette::Text));
    for (int row = first; row <= last; ++row) DrawItem(painter, row);
}

void CListCtrlEx::DrawItem(QPainter& painter, int row) const {
    for (int column = 0; column < columnCount(); ++column) {
        const QRect label = visualRect(model()->index(row, column))
                                .adjusted(kTextInsetLeft, 0, -kTextInsetRight, 0);
        painter.drawText(label, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         GetItemText(row, column));
    }
}

}  // namespace ListCtrlEx
