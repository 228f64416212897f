#include "BusTableWnd.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "BusTableTexts.h"

namespace {

// A silent sensor's state stands out; its text says it, the colour only helps.
const QColor kSilentText(176, 0, 0);

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

constexpr int Col(BusColumn column) {
    return static_cast<int>(column);
}

}  // namespace

CBusTableWnd::CBusTableWnd(Language language, QWidget* parent)
    : QWidget(parent, Qt::Window), language_(language) {
    setWindowTitle(Q(BusTableTitle(language_)));

    table_ = new QTableWidget(0, Col(BusColumn::Count), this);
    table_->setObjectName(QStringLiteral("busTable"));
    table_->setAccessibleName(Q(BusTableTitle(language_)));
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSortingEnabled(false);
    // Tab leaves the table; the arrows move within it.
    table_->setTabKeyNavigation(false);
    table_->verticalHeader()->hide();
    QStringList headings;
    for (const std::string& h : BusTableHeadings(language_)) headings << Q(h);
    table_->setHorizontalHeaderLabels(headings);
    // Widths fixed once, wide enough for heading and value, so that the
    // columns do not jump as the numbers change.
    const QFontMetrics metrics(table_->font());
    const int value = metrics.horizontalAdvance(QStringLiteral("-000.0000"));
    const int padding = metrics.horizontalAdvance(QStringLiteral("MM"));
    for (int c = 0; c < headings.size(); ++c) {
        table_->setColumnWidth(c,
                               std::max(metrics.horizontalAdvance(headings[c]), value) + padding);
    }
    table_->horizontalHeader()->setStretchLastSection(true);
    connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { OnSelectionChanged(); });

    news_ = new QLabel(this);
    news_->setObjectName(QStringLiteral("busNews"));
    news_->setWordWrap(false);
    news_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    news_->setAccessibleName(Q(BusTableNewsName("", language_)));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_, 1);
    layout->addWidget(news_);
    resize(760, 320);
}

void CBusTableWnd::ShowRows(const std::vector<BusTableRow>& rows) {
    selecting_ = true;
    if (table_->rowCount() != static_cast<int>(rows.size())) {
        table_->setRowCount(static_cast<int>(rows.size()));
    }
    for (size_t r = 0; r < rows.size(); ++r) {
        const std::vector<std::string> cells = BusTableCells(rows[r], language_);
        const bool silent = rows[r].state == BusTableRow::State::Silent;
        for (int c = 0; c < Col(BusColumn::Count); ++c) {
            QTableWidgetItem* item = table_->item(static_cast<int>(r), c);
            if (!item) {
                item = new QTableWidgetItem;
                item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
                item->setTextAlignment(c == Col(BusColumn::State)
                                           ? Qt::AlignLeft | Qt::AlignVCenter
                                           : Qt::AlignRight | Qt::AlignVCenter);
                table_->setItem(static_cast<int>(r), c, item);
            }
            const QString text = Q(cells[c]);
            if (item->text() != text) item->setText(text);
        }
        QTableWidgetItem* state = table_->item(static_cast<int>(r), Col(BusColumn::State));
        if (state->font().bold() != silent) {
            QFont font = state->font();
            font.setBold(silent);
            state->setFont(font);
            if (silent) {
                state->setForeground(kSilentText);
            } else {
                state->setData(Qt::ForegroundRole, QVariant());
            }
        }
    }
    rows_ = rows;
    // A row whose address moved, or came back, is selected where it is now.
    SelectChosenRow();
    selecting_ = false;
    DescribeSelectedRow();
}

void CBusTableWnd::Select(uint8_t address) {
    chosen_ = address;
    selecting_ = true;
    SelectChosenRow();
    selecting_ = false;
    DescribeSelectedRow();
}

std::optional<uint8_t> CBusTableWnd::Selected() const {
    const QModelIndexList selected = table_->selectionModel()->selectedRows();
    if (selected.isEmpty()) return std::nullopt;
    const int row = selected.front().row();
    if (row < 0 || row >= static_cast<int>(rows_.size())) return std::nullopt;
    return rows_[row].address;
}

void CBusTableWnd::ShowNews(const std::string& text) {
    const QString shown = Q(text);
    if (news_->text() != shown) news_->setText(shown);
    const QString name = Q(BusTableNewsName(text, language_));
    if (news_->accessibleName() != name) news_->setAccessibleName(name);
}

int CBusTableWnd::RowOf(uint8_t address) const {
    for (size_t r = 0; r < rows_.size(); ++r) {
        if (rows_[r].address == address) return static_cast<int>(r);
    }
    return -1;
}

void CBusTableWnd::SelectChosenRow() {
    const int row = chosen_ ? RowOf(*chosen_) : -1;
    if (row < 0) {
        if (table_->selectionModel()->hasSelection()) table_->clearSelection();
        return;
    }
    const QModelIndexList selected = table_->selectionModel()->selectedRows();
    if (selected.size() == 1 && selected.front().row() == row) return;
    table_->selectRow(row);
}

void CBusTableWnd::OnSelectionChanged() {
    DescribeSelectedRow();
    if (selecting_) return;
    const std::optional<uint8_t> address = Selected();
    // The operator taking the selection away leaves no sensor chosen.
    chosen_ = address;
    if (address && onSelect) onSelect(*address);
}

void CBusTableWnd::DescribeSelectedRow() {
    const std::optional<uint8_t> address = Selected();
    const int row = address ? RowOf(*address) : -1;
    const QString description = row < 0 ? QString() : Q(BusTableRowSummary(rows_[row], language_));
    if (table_->accessibleDescription() != description) {
        table_->setAccessibleDescription(description);
    }
}
