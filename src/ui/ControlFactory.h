#pragma once

#include <QRect>
#include <map>

#include "DialogTemplate.h"
#include "DialogUnits.h"

class QWidget;

// A control's place in dialog units as it shows: a drop-down list closed.
DuRect ShownRect(const ControlSpec& spec, Language lang);
// Where a control of the template sits in pixels, for the given units.
QRect ControlGeometry(const DialogUnits& units, const ControlSpec& spec, Language lang);

// Makes the template's controls on the main window: each of its kind, with its
// caption, place and visibility, named by its identifier.
class ControlFactory {
public:
    ControlFactory(QWidget& parent, const DialogUnits& units, Language language)
        : parent_(parent), units_(units), language_(language) {}

    // Every control of the template, by identifier; the language buttons form one group.
    std::map<int, QWidget*> CreateControls();

private:
    QWidget* CreateControl(const ControlSpec& spec);

    QWidget& parent_;
    const DialogUnits& units_;
    Language language_;
};
