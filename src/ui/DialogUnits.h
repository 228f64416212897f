#pragma once

#include <QFont>
#include <QRect>

#include "DialogTemplate.h"

// Dialog units from the template font: a horizontal unit is a quarter of the
// font's average character width, a vertical unit an eighth of its height.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& templateFont);
    int BaseX() const { return baseX_; }
    int BaseY() const { return baseY_; }
    int X(int du) const;
    int Y(int du) const;
    QRect Rect(const DuRect& r) const;
    // A static text's place: its rectangle, widened to the left when the text
    // in the template font is wider, so that it still ends where the template
    // ends it and never runs into the control it names on its right.
    QRect TextPlace(const DuRect& r, const QString& text) const;

private:
    QFont font_;
    int baseX_;
    int baseY_;
};

// The template fonts: English "Times New Roman" 11 pt, Chinese "微软雅黑" 10 pt,
// sized in pixels at 96 dpi so the layout does not depend on the screen's dpi.
QFont TemplateFont(Language lang);
// Maps the Windows face names onto the installed metric twins, once at start.
void InstallFontSubstitutions();
// The cursor readout's font above the chart: "Times New Roman", 12 pixels,
// medium weight, fixed pitch.
QFont CursorReadoutFont();
