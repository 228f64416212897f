#include "DialogUnits.h"

#include <QFontMetrics>

namespace {

// Rounded a * b / c, as the dialog manager scales.
int MulDiv(int a, int b, int c) {
    const long long p = static_cast<long long>(a) * b;
    return static_cast<int>(p >= 0 ? (p + c / 2) / c : (p - c / 2) / c);
}

}  // namespace

DialogUnits::DialogUnits(const QFont& templateFont) : font_(templateFont) {
    const QFontMetrics fm(templateFont);
    const int letters = fm.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    baseX_ = (letters / 26 + 1) / 2;
    baseY_ = fm.height();
    if (baseX_ <= 0) baseX_ = 1;
    if (baseY_ <= 0) baseY_ = 1;
}

int DialogUnits::X(int du) const {
    return MulDiv(du, baseX_, 4);
}
int DialogUnits::Y(int du) const {
    return MulDiv(du, baseY_, 8);
}

QRect DialogUnits::Rect(const DuRect& r) const {
    return QRect(X(r.x), Y(r.y), X(r.width), Y(r.height));
}

QRect DialogUnits::TextPlace(const DuRect& r, const QString& text) const {
    QRect place = Rect(r);
    const int needed = QFontMetrics(font_).horizontalAdvance(text);
    if (needed > place.width()) place.setLeft(place.right() + 1 - needed);
    return place;
}

QFont TemplateFont(Language lang) {
    QFont f(lang == Language::Chinese ? QStringLiteral("微软雅黑")
                                      : QStringLiteral("Times New Roman"));
    f.setPixelSize(lang == Language::Chinese ? 13 : 15);  // 10 pt and 11 pt at 96 dpi
    return f;
}

void InstallFontSubstitutions() {
    QFont::insertSubstitution(QStringLiteral("Times New Roman"),
                              QStringLiteral("Liberation Serif"));
    QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Microsoft Sans Serif"),
                              QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("MS Shell Dlg"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"));
    QFont::insertSubstitution(QStringLiteral("微软雅黑"), QStringLiteral("WenQuanYi Micro Hei"));
    QFont::insertSubstitution(QStringLiteral("Microsoft YaHei"),
                              QStringLiteral("WenQuanYi Micro Hei"));
}

QFont CursorReadoutFont() {
    QFont readout(QStringLiteral("Times New Roman"));
    readout.setPixelSize(12);
    readout.setWeight(QFont::Medium);
    readout.setFixedPitch(true);
    readout.setStyleHint(QFont::TypeWriter);
    return readout;
}
