#pragma once

class QFont;
namespace ListCtrlEx {
class CListCtrlEx;
}

// Fits the parameter list's columns to what they hold: the captions' column as
// wide as its widest caption, X and Y sharing the rest evenly, so that every
// caption and every value of the widest kind shows whole. The list keeps the
// window's font unless even that split cannot hold such a value; then it takes
// the largest smaller size that can.
void FitParameterColumnsToTexts(ListCtrlEx::CListCtrlEx& list, const QFont& windowFont);
