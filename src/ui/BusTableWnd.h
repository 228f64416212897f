#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "DialogTemplate.h"

class QLabel;
class QTableWidget;

// One sensor of the bus as the table shows it.
struct BusTableRow {
    // NotPolled: the line is closed or polling is off; nothing is known of now.
    enum class State { NeverAnswered, Answering, Silent, NotPolled };
    uint8_t address = 0;
    std::string x, y, temperature;  // value texts as the readout formats them; "" = never sent
    int rate = 0;                   // good replies in the last second
    uint64_t unanswered = 0;        // polls that got no good reply, since polling began
    State state = State::NeverAnswered;
};

// The table's columns, left to right.
enum class BusColumn { Address, X, Y, Temperature, Rate, Unanswered, State, Count };

// A window of its own listing every sensor polled on the bus, one row each,
// with the latest bus event on a line under the table. The operator picks a
// sensor by its row; the main window hears of that choice only, never of the
// selection it makes itself.
class CBusTableWnd : public QWidget {
    Q_OBJECT
public:
    explicit CBusTableWnd(Language language, QWidget* parent = nullptr);

    // The rows as they are now, once a second. Cells change in place; the
    // selected address stays selected wherever its row goes.
    void ShowRows(const std::vector<BusTableRow>& rows);
    // Selects the row of `address` without calling onSelect. An address not
    // shown now is selected once a row of it appears.
    void Select(uint8_t address);
    // The address of the selected row, if one is selected.
    std::optional<uint8_t> Selected() const;
    // One line under the table; "" clears it.
    void ShowNews(const std::string& text);

    // The operator chose a sensor (click or keyboard).
    std::function<void(uint8_t address)> onSelect;

    QTableWidget* Table() const { return table_; }
    QLabel* News() const { return news_; }

private:
    int RowOf(uint8_t address) const;
    void SelectChosenRow();
    void OnSelectionChanged();
    void DescribeSelectedRow();

    Language language_;
    QTableWidget* table_ = nullptr;
    QLabel* news_ = nullptr;
    std::vector<BusTableRow> rows_;
    // The address the operator or the program chose last; kept while its row
    // is gone, so that it is selected again when the row comes back.
    std::optional<uint8_t> chosen_;
    bool selecting_ = false;  // the program is changing the selection
};
