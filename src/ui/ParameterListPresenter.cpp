#include "ParameterListPresenter.h"

#include <QHeaderView>
#include <algorithm>
#include <limits>

#include "DeviceTypes.h"
#include "ListCtrlEx.h"
#include "ParameterColumns.h"
#include "Settings.h"
#include "SettingsStore.h"
#include "StringTable.h"

namespace {

// Rows and columns of the list.
constexpr int kRangeRow = 0;
constexpr int kResolutionRow = 1;
constexpr int kValueRow = 2;
constexpr int kVppRow = 3;
constexpr int kXColumn = 1;
constexpr int kYColumn = 2;

}  // namespace

void ParameterListPresenter::SetUp(int rowHeight) {
    using namespace ListCtrlEx;
    const int third = list_.contentsRect().width() / 3;
    list_.InsertColumn(0, QStringLiteral("      Item"), third, TextColumn, Qt::AlignHCenter, 0);
    list_.InsertColumn(kXColumn, QStringLiteral("X"), third, EditColumn, Qt::AlignHCenter, 0);
    list_.InsertColumn(kYColumn, QStringLiteral("Y"), third, EditColumn, Qt::AlignHCenter, 0);
    list_.SetRowHeight(rowHeight);
    const int captions[] = {IDS_SET_RANGE, IDS_SET_RESOLUTION, IDS_VALUE};
    for (int row = kRangeRow; row <= kValueRow; ++row)
        list_.InsertItem(row, QString::fromUtf8(LoadResourceString(captions[row], language_)));
    list_.InsertItem(kVppRow, QStringLiteral("Vpp"));
    const char* const starts[] = {"90deg", "0.01", LiveReadout::kNeverSent,
                                  LiveReadout::kNeverSent};
    for (int row = kRangeRow; row <= kVppRow; ++row) {
        list_.SetItemText(row, kXColumn, QString::fromLatin1(starts[row]));
        list_.SetItemText(row, kYColumn, QString::fromLatin1(starts[row]));
    }
    // The Y resolution follows the X one; values and peak-to-peak are shown only.
    for (const auto& [row, column] : {std::pair{kResolutionRow, kYColumn},
                                      {kValueRow, kXColumn},
                                      {kValueRow, kYColumn},
                                      {kVppRow, kXColumn},
                                      {kVppRow, kYColumn}})
        list_.SetCellEnabled(row, column, false);
}

void ParameterListPresenter::ShowProtocol(bool modbus) {
    const QString resolution = QString::fromStdString(settings_.ResolutionText);
    // Only Modbus sensors report raw counts that the ranges offset.
    list_.SetItemText(kRangeRow, kXColumn,
                      modbus ? QString::fromStdString(settings_.XRangeText) : QStringLiteral("-"));
    list_.SetItemText(kRangeRow, kYColumn,
                      modbus ? QString::fromStdString(settings_.YRangeText) : QStringLiteral("-"));
    list_.SetCellEnabled(kRangeRow, kXColumn, modbus);
    list_.SetCellEnabled(kRangeRow, kYColumn, modbus);
    list_.SetItemText(kResolutionRow, kXColumn, resolution);
    list_.SetItemText(kResolutionRow, kYColumn, resolution);
}

void ParameterListPresenter::Commit(int row, int column, const QString& text) {
    const std::string typed = text.toStdString();
    const float clamp = std::numeric_limits<float>::max();
    if (row == kRangeRow && (column == kXColumn || column == kYColumn)) {
        const float offset =
            static_cast<float>(std::clamp(LeadingNumber(typed), -double(clamp), double(clamp)));
        (column == kXColumn ? decode_.XRangeOffset : decode_.YRangeOffset) = offset;
        store_.WriteString(column == kXColumn ? "xRange" : "yRange", typed);
    } else if (row == kResolutionRow && column == kXColumn) {
        list_.SetItemText(kResolutionRow, kYColumn, text);
        settings_.ValueFormat = SelectValueFormat(typed, settings_.ValueFormat);
        readout_.SetValueFormat(settings_.ValueFormat);
        decode_.ResolutionFactor = ResolutionFromText(typed);
        store_.WriteString("Ratio", typed);
    }
}

void ParameterListPresenter::ShowValues(const LiveReadout::TickTexts& t) {
    list_.SetItemText(kValueRow, kXColumn, QString::fromStdString(t.xValue));
    list_.SetItemText(kValueRow, kYColumn, QString::fromStdString(t.yValue));
    list_.SetItemText(kVppRow, kXColumn, QString::fromStdString(t.xVpp));
    list_.SetItemText(kVppRow, kYColumn, QString::fromStdString(t.yVpp));
}

void ParameterListPresenter::FitColumns() {
    list_.setUpdatesEnabled(false);
    // Fitting starts from the window's font: an earlier fit may have made the list's smaller.
    FitParameterColumnsToTexts(list_, list_.window()->font());
    list_.setUpdatesEnabled(true);
}
