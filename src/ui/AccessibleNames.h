#pragma once

#include <string>

#include "DialogTemplate.h"

// What assistive technology calls each control of the main window, in the
// interface language. Qt-free: the rules are the template's, like its captions.

// The control's name, given the text it shows now (UTF-8). Buttons and labels
// are named by their caption; lists, fields and values after the caption
// beside them; controls without a caption have names of their own.
std::string AccessibleName(int id, const std::string& shownText, Language lang);

// The label whose caption names a list or field, or 0: assistive technology
// on Linux names a drop-down list by its value and takes the caption from
// that label (its buddy).
int CaptionLabelOf(int id);

// The name of the chart command bar, which sits on placeholder 1070.
std::string ChartCommandBarName(Language lang);

// A caption without the colon and blanks that end it ("Data bit :" -> "Data bit").
std::string CaptionName(const std::string& caption);
