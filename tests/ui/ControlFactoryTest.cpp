#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QLineEdit>
#include <QRadioButton>
#include <QValidator>
#include <QWidget>

#include "ControlFactory.h"

TEST(ControlFactory, EveryTemplateControlIsMadeOnItsParentNamedByItsId) {
    for (Language lang : {Language::English, Language::Chinese}) {
        QWidget window;
        const DialogUnits units(TemplateFont(lang));
        const auto controls = ControlFactory(window, units, lang).CreateControls();
        ASSERT_EQ(controls.size(), DialogControls().size());
        for (const ControlSpec& spec : DialogControls()) {
            QWidget* w = controls.at(spec.id);
            EXPECT_EQ(w->parentWidget(), &window) << spec.id;
            EXPECT_EQ(w->objectName(), QString::number(spec.id));
            EXPECT_EQ(w->geometry(), ControlGeometry(units, spec, lang)) << spec.id;
            EXPECT_EQ(w->isVisibleTo(&window), spec.shown) << spec.id;
            if (auto* e = qobject_cast<QLineEdit*>(w)) {
                // Digits-only fields refuse what is not a digit.
                QString typed = QStringLiteral("12a");
                int at = 0;
                const bool refused =
                    e->validator() && e->validator()->validate(typed, at) == QValidator::Invalid;
                EXPECT_EQ(refused, (spec.style & kDigitsOnly) != 0) << spec.id;
            }
        }
        // The language buttons exclude each other.
        auto* chinese = qobject_cast<QRadioButton*>(controls.at(ctl::kChinese));
        auto* english = qobject_cast<QRadioButton*>(controls.at(ctl::kEnglish));
        ASSERT_TRUE(chinese && english);
        ASSERT_NE(chinese->group(), nullptr);
        EXPECT_EQ(chinese->group(), english->group());
        EXPECT_TRUE(chinese->group()->exclusive());
    }
}
