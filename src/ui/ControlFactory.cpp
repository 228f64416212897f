#include "ControlFactory.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSlider>
#include <algorithm>

#include "ChartCtrl.h"
#include "ListCtrlEx.h"
#include "TrafficPane.h"

namespace {

const QColor kStaticTextColour(0, 66, 0);

// A drop-down list's template height is that of its opened list; closed, it is
// one line high, as tall as a push button.
constexpr int kClosedListHeightDu = 12;

}  // namespace

DuRect ShownRect(const ControlSpec& spec, Language lang) {
    DuRect r = ControlRect(spec, lang);
    if (spec.kind == ControlKind::DropDownList) r.height = kClosedListHeightDu;
    return r;
}

QRect ControlGeometry(const DialogUnits& units, const ControlSpec& spec, Language lang) {
    const DuRect r = ShownRect(spec, lang);
    if (spec.kind == ControlKind::StaticText)
        return units.TextPlace(r, QString::fromUtf8(ControlText(spec, lang)));
    return units.Rect(r);
}

std::map<int, QWidget*> ControlFactory::CreateControls() {
    std::map<int, QWidget*> controls;
    auto* languages = new QButtonGroup(&parent_);
    for (const ControlSpec& spec : DialogControls()) {
        QWidget* w = CreateControl(spec);
        w->setObjectName(QString::number(spec.id));
        w->setGeometry(ControlGeometry(units_, spec, language_));
        w->setVisible(spec.shown);
        controls[spec.id] = w;
        if (spec.kind == ControlKind::RadioButton)
            languages->addButton(static_cast<QRadioButton*>(w));
    }
    return controls;
}

QWidget* ControlFactory::CreateControl(const ControlSpec& spec) {
    QWidget* const parent = &parent_;
    const QString text = QString::fromUtf8(::ControlText(spec, language_));
    const DuRect& du = ControlRect(spec, language_);
    switch (spec.kind) {
        case ControlKind::Chart:
            return new CChartCtrl(parent);
        case ControlKind::PushButton: {
            auto* b = new QPushButton(text, parent);
            b->setAutoDefault(false);
            b->setFocusPolicy(Qt::StrongFocus);
            return b;
        }
        case ControlKind::StaticText: {
            auto* l = new QLabel(text, parent);
            Qt::Alignment a = Qt::AlignLeft | Qt::AlignTop;
            if (spec.style & kRightAligned) a = Qt::AlignRight | Qt::AlignTop;
            if (spec.style & kCentred) a = Qt::AlignHCenter | Qt::AlignTop;
            if (spec.style & kVCentred) a = (a & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter;
            l->setAlignment(a);
            // Static texts are drawn over the picture: dark green, no background.
            QPalette p = l->palette();
            p.setColor(QPalette::WindowText, kStaticTextColour);
            l->setPalette(p);
            l->setAttribute(Qt::WA_TranslucentBackground);
            return l;
        }
        case ControlKind::DropDownList: {
            auto* c = new QComboBox(parent);
            const int itemHeight = units_.Y(kClosedListHeightDu);
            c->setMaxVisibleItems(std::max(1, units_.Y(du.height) / std::max(1, itemHeight) - 1));
            return c;
        }
        case ControlKind::Edit: {
            auto* e = new QLineEdit(parent);
            if (spec.style & kDigitsOnly) {
                e->setValidator(new QRegularExpressionValidator(
                    QRegularExpression(QStringLiteral("[0-9]*")), e));
            }
            e->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            return e;
        }
        case ControlKind::TrafficPane:
            return new TrafficPane(parent);
        case ControlKind::Slider: {
            auto* s = new QSlider(Qt::Horizontal, parent);
            s->setTickPosition(QSlider::NoTicks);
            return s;
        }
        case ControlKind::RadioButton:
            return new QRadioButton(text, parent);
        case ControlKind::ListView:
            return new ListCtrlEx::CListCtrlEx(parent);
        case ControlKind::Placeholder: {
            auto* w = new QWidget(parent);
            w->setAttribute(Qt::WA_TransparentForMouseEvents);
            return w;
        }
    }
    return new QWidget(parent);
}
