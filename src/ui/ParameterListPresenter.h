#pragma once

#include <QString>

#include "DialogTemplate.h"
#include "LiveReadout.h"

namespace ListCtrlEx {
class CListCtrlEx;
}
struct DecodeParameters;
struct Settings;
class SettingsStore;

// The parameter list beside the chart: the ranges and the resolution the
// operator edits, the latest values and their peak-to-peak.
class ParameterListPresenter {
public:
    ParameterListPresenter(ListCtrlEx::CListCtrlEx& list, Settings& settings,
                           DecodeParameters& decode, LiveReadout& readout, SettingsStore& store,
                           Language language)
        : list_(list),
          settings_(settings),
          decode_(decode),
          readout_(readout),
          store_(store),
          language_(language) {}

    // Columns, rows, start texts and the locked cells, once.
    void SetUp(int rowHeight);
    // The ranges apply to Modbus only; the resolution to both protocols.
    void ShowProtocol(bool modbus);
    // The end of an edit: ranges and resolution take effect and are stored.
    void Commit(int row, int column, const QString& text);
    // The once-a-second values and peak-to-peak.
    void ShowValues(const LiveReadout::TickTexts& t);
    // Columns 0 and 1 a third of the list each, the last one the rest.
    void FitColumns();

private:
    ListCtrlEx::CListCtrlEx& list_;
    Settings& settings_;
    DecodeParameters& decode_;
    LiveReadout& readout_;
    SettingsStore& store_;
    Language language_;
};
