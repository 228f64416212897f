#pragma once

#include <QString>
#include <functional>

#include "DialogTemplate.h"

class QWidget;

// The help areas: each explains its panel with a string in the interface language.
class HelpTips {
public:
    using ControlLookup = std::function<QWidget*(int id)>;

    HelpTips(ControlLookup control, Language language)
        : control_(std::move(control)), language_(language) {}

    // The help text of a help area, or "" for any other control.
    QString Text(int id) const;
    // The plain text, for assistive technology.
    void Describe() const;
    // The tip the mouse shows over each help area.
    void Attach() const;

private:
    ControlLookup control_;
    Language language_;
};
