#pragma once

#include <string>
#include <vector>

#include "BusTableWnd.h"
#include "DialogTemplate.h"

// The bus table's texts in both languages.

std::string BusTableTitle(Language language);
// The column headings, in the order of BusColumn.
std::vector<std::string> BusTableHeadings(Language language);
std::string BusTableStateText(BusTableRow::State state, Language language);
// What each cell of the row shows, in the order of BusColumn; a value the
// sensor never sent shows "-".
std::vector<std::string> BusTableCells(const BusTableRow& row, Language language);
// The row read out in one sentence, for assistive technology.
std::string BusTableRowSummary(const BusTableRow& row, Language language);
// The accessible name of the line under the table that tells the latest bus event.
std::string BusTableNewsName(const std::string& news, Language language);
