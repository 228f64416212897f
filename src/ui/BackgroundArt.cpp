#include "BackgroundArt.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QString>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kSx = double(kBackgroundWidth) / kTemplateWidthDu;
constexpr double kSy = double(kBackgroundHeight) / kTemplateHeightDu;

// The panel grid, in dialog units. Every edge runs through a gap between the
// controls of the two templates; the comments name the tightest neighbours.
constexpr double kBannerBottom = 22;          // hidden controls only below; language buttons at 25
constexpr double kCardLeft = 20;              // chart at 24
constexpr double kCardRight = 662;            // traffic pane ends at 657, its help mark at 658
constexpr double kCardTop = 36;               // language buttons end at 33, help marks start at 38
constexpr double kCardBottom = 294;           // traffic pane ends at 291
constexpr double kSettingsBottom = 81.7;      // settings controls end at 79, chart help mark at 85
constexpr double kIllustrationRight = 51;     // protocol label and list at 55
constexpr double kConnectionRight = 310;      // address field ends at 301, "Set zero" at 319
constexpr double kRightColumnLeft = 528.2;    // chart ends at 526, parameter list at 530
constexpr double kParameterBottom = 164.2;    // parameter list ends at 163, help mark at 165
constexpr double kSettingsBandBottom = 46.8;  // address fields start at 48
constexpr double kChartBandBottom = 92.3;     // parameter list starts at 93
constexpr double kTrafficBandBottom = 173.7;  // traffic pane starts at 174
constexpr double kInfoLeft = 24;
constexpr double kInfoRight = 524;
constexpr double kInfoTop = 259;  // chart ends at 254, the information row starts at 272
constexpr double kInfoBottom = 289.5;

const QColor kBannerDark(0x0c, 0x37, 0x4e);
const QColor kBannerLight(0x1c, 0x6e, 0x8e);
const QColor kAccent(0x4c, 0xb5, 0x9a);
const QColor kHeadingText(0x14, 0x45, 0x5c);
const QColor kFrameLine(0x98, 0xaf, 0xbb);
const QColor kDivider(0xab, 0xc0, 0xca);
const QColor kBandTop(0xe7, 0xf0, 0xf4);
const QColor kBandBottom(0xd5, 0xe4, 0xeb);
const QColor kPanelTop(0xfd, 0xfe, 0xfe);
const QColor kPanelBottom(0xf1, 0xf5, 0xf7);
const QColor kHelpLight(0x46, 0x9d, 0xc6);
const QColor kHelpDark(0x1d, 0x66, 0x8e);
const QColor kLink(0x1c, 0x5c, 0x84);

double X(double du) {
    return du * kSx;
}
double Y(double du) {
    return du * kSy;
}
QRectF DuToPicture(double left, double top, double right, double bottom) {
    return QRectF(QPointF(X(left), Y(top)), QPointF(X(right), Y(bottom)));
}
QRectF DuToPicture(const DuRect& r) {
    return DuToPicture(r.x, r.y, r.x + r.width, r.y + r.height);
}
QRectF ControlArea(int id, Language lang) {
    return DuToPicture(ControlRect(*FindControl(id), lang));
}

QString Text(Language lang, const char* english, const char* chinese) {
    return QString::fromUtf8(lang == Language::Chinese ? chinese : english);
}

enum class Face { Sans, Serif };

QFont ArtFont(Language lang, Face face, double pixels, bool bold) {
    QFont font;
    if (lang == Language::Chinese) {
        // Latin text in the Chinese picture keeps the Latin face; the families
        // after the first only supply the glyphs it lacks.
        font.setFamilies(
            {face == Face::Serif ? "Liberation Serif" : "Liberation Sans", "WenQuanYi Micro Hei"});
    } else {
        font.setFamilies({face == Face::Serif ? "Liberation Serif" : "Liberation Sans"});
    }
    font.setPixelSize(int(std::lround(pixels)));
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

// Chinese headings use the CJK face first so that its own punctuation and spacing win.
QFont HeadingFont(Language lang, double pixels) {
    QFont font = ArtFont(lang, Face::Sans, pixels, true);
    if (lang == Language::Chinese) font.setFamilies({"WenQuanYi Micro Hei", "Liberation Sans"});
    return font;
}

double TextWidth(const QFont& font, const QString& text) {
    return QFontMetricsF(font).horizontalAdvance(text);
}

// Draws text with its left end at x, vertically centred on centreY.
void DrawTextAt(QPainter& p, const QFont& font, const QColor& colour, double x, double centreY,
                const QString& text) {
    const QFontMetricsF fm(font);
    const double baseline = centreY + (fm.ascent() - fm.descent()) / 2;
    p.setFont(font);
    p.setPen(colour);
    p.drawText(QPointF(x, baseline), text);
}

QRectF Circle(QPointF centre, double radius) {
    return QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
}

void DrawBody(QPainter& p) {
    QLinearGradient body(0, 0, 0, kBackgroundHeight);
    body.setColorAt(0, QColor(0xdc, 0xe4, 0xe9));
    body.setColorAt(1, QColor(0xcf, 0xd9, 0xe0));
    p.fillRect(QRectF(0, 0, kBackgroundWidth, kBackgroundHeight), body);
}

void DrawLogo(QPainter& p, Language lang) {
    const double centreY = Y(kBannerBottom) / 2;
    const QPointF centre(42, centreY);
    const QRectF disc = Circle(centre, 23);

    QRadialGradient fill(centre - QPointF(8, 10), 34);
    fill.setColorAt(0, QColor(0x8f, 0xe0, 0xc4));
    fill.setColorAt(1, QColor(0x2c, 0x94, 0x7c));
    p.setPen(QPen(QColor(255, 255, 255, 220), 2.2));
    p.setBrush(fill);
    p.drawEllipse(disc);

    // A tilted horizon with its bubble: the instrument the program serves.
    p.save();
    QPainterPath clip;
    clip.addEllipse(disc.adjusted(3, 3, -3, -3));
    p.setClipPath(clip);
    p.translate(centre);
    p.rotate(-14);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 235));
    p.drawRect(QRectF(-40, 3, 80, 40));
    p.setBrush(QColor(0x0c, 0x37, 0x4e, 200));
    p.drawRect(QRectF(-40, 3, 80, 2.2));
    p.setBrush(QColor(255, 255, 255, 245));
    p.drawEllipse(Circle(QPointF(6, -7), 5.2));
    p.restore();

    QFont letters = ArtFont(lang, Face::Sans, 23, true);
    letters.setFamilies({"Liberation Sans"});
    letters.setLetterSpacing(QFont::AbsoluteSpacing, 2.2);
    DrawTextAt(p, letters, Qt::white, disc.right() + 11, centreY, "TILTSCOPE");
}

void DrawBanner(QPainter& p, Language lang) {
    const QRectF band(0, 0, kBackgroundWidth, Y(kBannerBottom));
    QLinearGradient across(0, 0, kBackgroundWidth, 0);
    across.setColorAt(0, kBannerDark);
    across.setColorAt(0.55, QColor(0x15, 0x55, 0x72));
    across.setColorAt(1, kBannerLight);
    p.fillRect(band, across);
    QLinearGradient sheen(0, 0, 0, band.height());
    sheen.setColorAt(0, QColor(255, 255, 255, 28));
    sheen.setColorAt(0.5, QColor(255, 255, 255, 8));
    sheen.setColorAt(1, QColor(0, 0, 0, 18));
    p.fillRect(band, sheen);

    // Faint arcs at the right, like the scale of a dial seen edge on.
    p.save();
    p.setClipRect(band);
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 6; ++i) {
        p.setPen(QPen(QColor(255, 255, 255, 16 + 3 * i), 1.6));
        p.drawEllipse(Circle(QPointF(kBackgroundWidth - 150, 150), 100 + 22 * i));
    }
    p.restore();

    p.fillRect(QRectF(0, band.bottom() - 3, kBackgroundWidth, 3), kAccent);

    DrawLogo(p, lang);

    const QFont title = ArtFont(lang, Face::Sans, 38, true);
    QFont subtitle = ArtFont(lang, Face::Sans, 22, false);
    if (lang == Language::Chinese) subtitle.setFamilies({"WenQuanYi Micro Hei"});
    const QString name = "Tiltscope";
    const QString tagline = Text(lang, "Dual-axis tilt sensor software", "双轴倾角传感器软件");
    const double gap = 18;
    const double total = TextWidth(title, name) + 2 * gap + TextWidth(subtitle, tagline);
    const double left = (kBackgroundWidth - total) / 2;
    const double centreY = band.height() / 2 - 1;
    DrawTextAt(p, title, Qt::white, left, centreY, name);
    const double bar = left + TextWidth(title, name) + gap;
    p.setPen(QPen(QColor(255, 255, 255, 120), 1.6));
    p.drawLine(QPointF(bar, centreY - 15), QPointF(bar, centreY + 15));
    DrawTextAt(p, subtitle, QColor(0xd2, 0xe9, 0xf0), bar + gap, centreY + 1, tagline);
}

// The globe and the pill behind the two language buttons.
void DrawLanguageStrip(QPainter& p, Language lang) {
    const QRectF buttons =
        ControlArea(ctl::kChinese, lang).united(ControlArea(ctl::kEnglish, lang));
    const QRectF pill(buttons.left() - X(13), Y(23.4), buttons.width() + X(18), Y(11.3));
    p.setPen(QPen(QColor(0xb0, 0xc4, 0xce), 1.2));
    p.setBrush(QColor(0xfd, 0xfe, 0xfe));
    p.drawRoundedRect(pill, pill.height() / 2, pill.height() / 2);

    const QPointF centre(pill.left() + X(6.3), pill.center().y());
    const QRectF globe = Circle(centre, 9.5);
    p.setPen(QPen(QColor(0x2a, 0x7c, 0xa6), 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(globe);
    p.drawEllipse(
        QRectF(centre.x() - globe.width() / 4, globe.top(), globe.width() / 2, globe.height()));
    p.drawLine(QPointF(centre.x(), globe.top()), QPointF(centre.x(), globe.bottom()));
    p.drawLine(QPointF(globe.left(), centre.y()), QPointF(globe.right(), centre.y()));
}

QPainterPath CardPath() {
    QPainterPath card;
    card.addRoundedRect(DuToPicture(kCardLeft, kCardTop, kCardRight, kCardBottom), 9, 9);
    return card;
}

void FillSection(QPainter& p, const QRectF& r, const QColor& top, const QColor& bottom) {
    QLinearGradient fill(0, r.top(), 0, r.bottom());
    fill.setColorAt(0, top);
    fill.setColorAt(1, bottom);
    p.fillRect(r, fill);
}

void DrawBand(QPainter& p, const QRectF& r) {
    FillSection(p, r, kBandTop, kBandBottom);
    p.setPen(QPen(QColor(0xbc, 0xcf, 0xd8), 1));
    p.drawLine(QPointF(r.left(), r.bottom() - 0.5), QPointF(r.right(), r.bottom() - 0.5));
}

void DrawHelpMark(QPainter& p, const QRectF& area) {
    const QPointF centre = area.center();
    const double radius = std::min(area.height(), area.width()) / 2 - 1.2;
    QRadialGradient fill(centre - QPointF(3, 4), radius * 1.6);
    fill.setColorAt(0, kHelpLight);
    fill.setColorAt(1, kHelpDark);
    p.setPen(QPen(QColor(0x15, 0x50, 0x70), 1));
    p.setBrush(fill);
    p.drawEllipse(Circle(centre, radius));

    QFont mark = ArtFont(Language::English, Face::Sans, radius * 1.55, true);
    const QFontMetricsF fm(mark);
    const QString q = "?";
    DrawTextAt(p, mark, Qt::white, centre.x() - fm.horizontalAdvance(q) / 2 + 0.3, centre.y() + 0.5,
               q);
}

struct Heading {
    int helpId;  // the help area whose mark ends the heading
    const char* english;
    const char* chinese;
    double bandLeft;
    double bandTop;
};

// Each heading ends in its help mark; the text sits just before it.
void DrawHeading(QPainter& p, Language lang, const Heading& h) {
    const QRectF mark = ControlArea(h.helpId, lang);
    const QString text = Text(lang, h.english, h.chinese);
    const double right = mark.left() - 9;
    const double room = right - (X(h.bandLeft) + 16);
    double size = 22;
    QFont font = HeadingFont(lang, size);
    while (TextWidth(font, text) > room && size > 14) font = HeadingFont(lang, size -= 1);
    const double width = TextWidth(font, text);
    const double centreY = mark.center().y();
    p.setPen(Qt::NoPen);
    p.setBrush(kAccent);
    p.drawRoundedRect(QRectF(right - width - 10, centreY - 8, 4, 16), 2, 2);
    DrawTextAt(p, font, kHeadingText, right - width, centreY, text);
    DrawHelpMark(p, mark);
}

void DrawDial(QPainter& p, QPointF centre, double radius) {
    const QRectF outer = Circle(centre, radius);
    QLinearGradient bezel(outer.topLeft(), outer.bottomRight());
    bezel.setColorAt(0, QColor(0xff, 0xff, 0xff));
    bezel.setColorAt(1, QColor(0xb9, 0xcb, 0xd4));
    p.setPen(QPen(QColor(0x8a, 0xa5, 0xb2), 1.4));
    p.setBrush(bezel);
    p.drawEllipse(outer);

    const QRectF face = Circle(centre, radius * 0.84);
    QRadialGradient glass(centre - QPointF(radius * 0.25, radius * 0.3), radius);
    glass.setColorAt(0, QColor(0xff, 0xff, 0xff));
    glass.setColorAt(1, QColor(0xdc, 0xeb, 0xee));
    p.setPen(QPen(QColor(0xa3, 0xba, 0xc5), 1.2));
    p.setBrush(glass);
    p.drawEllipse(face);

    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x9c, 0xb6, 0xc2), 1.1));
    p.drawEllipse(Circle(centre, radius * 0.42));
    for (int deg = 0; deg < 360; deg += 15) {
        const double a = deg * kPi / 180;
        const double inner = deg % 45 == 0 ? 0.70 : 0.76;
        p.setPen(QPen(QColor(0x7d, 0x9c, 0xab), deg % 45 == 0 ? 1.6 : 1.0));
        p.drawLine(centre + QPointF(std::cos(a) * radius * inner, std::sin(a) * radius * inner),
                   centre + QPointF(std::cos(a) * radius * 0.84, std::sin(a) * radius * 0.84));
    }
    p.setPen(QPen(QColor(0x3b, 0x7f, 0xa3), 1.4));
    p.drawLine(centre - QPointF(radius * 0.84, 0), centre + QPointF(radius * 0.84, 0));
    p.drawLine(centre - QPointF(0, radius * 0.84), centre + QPointF(0, radius * 0.84));

    // The bubble, off centre the way a tilted sensor sees it.
    const QPointF bubble = centre + QPointF(radius * 0.26, -radius * 0.2);
    QRadialGradient drop(bubble - QPointF(3, 4), radius * 0.24);
    drop.setColorAt(0, QColor(0xd9, 0xf7, 0xea));
    drop.setColorAt(1, QColor(0x3f, 0xae, 0x8c));
    p.setPen(QPen(QColor(0x2a, 0x86, 0x6c), 1.2));
    p.setBrush(drop);
    p.drawEllipse(Circle(bubble, radius * 0.17));

    QFont axis = ArtFont(Language::English, Face::Sans, radius * 0.3, true);
    axis.setFamilies({"Liberation Sans"});
    DrawTextAt(p, axis, QColor(0x3b, 0x7f, 0xa3), outer.right() + 6, centre.y(), "X");
    DrawTextAt(p, axis, QColor(0x3b, 0x7f, 0xa3), centre.x() - TextWidth(axis, "Y") / 2,
               outer.top() - radius * 0.05 - 8, "Y");
}

void DrawInfoFrame(QPainter& p, Language lang) {
    const QRectF frame = DuToPicture(kInfoLeft, kInfoTop, kInfoRight, kInfoBottom);
    QLinearGradient fill(0, frame.top(), 0, frame.bottom());
    fill.setColorAt(0, QColor(0xfb, 0xfd, 0xfd));
    fill.setColorAt(1, QColor(0xf4, 0xf8, 0xf9));
    p.setPen(QPen(QColor(0xb3, 0xc7, 0xd0), 1.3));
    p.setBrush(fill);
    p.drawRoundedRect(frame, 6, 6);

    QFont font = HeadingFont(lang, 18);
    const QString text = Text(lang, "Device information", "设备信息");
    const double width = TextWidth(font, text);
    const QRectF tab(frame.left() + 16, frame.top() - 10, width + 24, 20);
    p.setPen(QPen(QColor(0xb3, 0xc7, 0xd0), 1.1));
    p.setBrush(kBandTop);
    p.drawRoundedRect(tab, 10, 10);
    DrawTextAt(p, font, kHeadingText, tab.left() + 12, tab.center().y(), text);
}

void DrawPanels(QPainter& p, Language lang) {
    const QPainterPath card = CardPath();

    // A soft shadow lifts the card off the page.
    p.setPen(Qt::NoPen);
    for (int i = 1; i <= 5; ++i) {
        p.setBrush(QColor(0x20, 0x3c, 0x4c, 9));
        p.drawPath(card.translated(0, 1.2 * i));
    }

    p.save();
    p.setClipPath(card);
    const double top = kCardTop;
    FillSection(p, DuToPicture(kCardLeft, top, kIllustrationRight, kSettingsBottom),
                QColor(0xef, 0xf5, 0xf7), QColor(0xe0, 0xeb, 0xef));
    FillSection(p, DuToPicture(kIllustrationRight, top, kCardRight, kSettingsBottom), kPanelTop,
                kPanelBottom);
    FillSection(p, DuToPicture(kCardLeft, kSettingsBottom, kRightColumnLeft, kCardBottom),
                kPanelTop, kPanelBottom);
    FillSection(p, DuToPicture(kRightColumnLeft, kSettingsBottom, kCardRight, kParameterBottom),
                kPanelTop, kPanelBottom);
    FillSection(p, DuToPicture(kRightColumnLeft, kParameterBottom, kCardRight, kCardBottom),
                kPanelTop, kPanelBottom);

    DrawBand(p, DuToPicture(kIllustrationRight, top, kCardRight, kSettingsBandBottom));
    DrawBand(p, DuToPicture(kCardLeft, kSettingsBottom, kCardRight, kChartBandBottom));
    DrawBand(p, DuToPicture(kRightColumnLeft, kParameterBottom, kCardRight, kTrafficBandBottom));

    p.setPen(QPen(kDivider, 1.5));
    auto across = [&](double y, double from, double to) {
        p.drawLine(QPointF(X(from), Y(y)), QPointF(X(to), Y(y)));
    };
    auto down = [&](double x, double from, double to) {
        p.drawLine(QPointF(X(x), Y(from)), QPointF(X(x), Y(to)));
    };
    across(kSettingsBottom, kCardLeft, kCardRight);
    across(kParameterBottom, kRightColumnLeft, kCardRight);
    down(kIllustrationRight, top, kSettingsBottom);
    down(kConnectionRight, top, kSettingsBottom);
    down(kRightColumnLeft, top, kCardBottom);
    p.restore();

    p.setPen(QPen(kFrameLine, 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawPath(card);

    const QRectF illustration = DuToPicture(kCardLeft, top, kIllustrationRight, kSettingsBottom);
    DrawDial(p, illustration.center() + QPointF(-4, 8), 30);

    static const Heading kHeadings[] = {
        {ctl::kHelpConnection, "Serial port", "串口设置", kIllustrationRight, kCardTop},
        {ctl::kHelpAddress, "Device", "设备设置", kConnectionRight, kCardTop},
        {ctl::kHelpSaving, "Data saving", "数据保存", kRightColumnLeft, kCardTop},
        {ctl::kHelpChart, "Data curve", "数据曲线", kCardLeft, kSettingsBottom},
        {ctl::kHelpParameters, "Parameters", "参数", kRightColumnLeft, kSettingsBottom},
        {ctl::kHelpTraffic, "Serial data", "串口数据", kRightColumnLeft, kParameterBottom},
    };
    for (const Heading& h : kHeadings) DrawHeading(p, lang, h);
    // The device settings have a second help: how to keep them in the sensor.
    DrawHelpMark(p, ControlArea(ctl::kHelpSettings, lang));

    DrawInfoFrame(p, lang);
}

void DrawFooter(QPainter& p, Language lang) {
    const QRectF link = ControlArea(ctl::kLogoArea, lang);
    const QString address = "www.tiltscope.example";
    double size = 21;
    QFont font = ArtFont(Language::English, Face::Sans, size, false);
    while (TextWidth(font, address) > link.width() - 8 && size > 12) {
        font = ArtFont(Language::English, Face::Sans, size -= 1, false);
    }
    const double width = TextWidth(font, address);
    const double left = link.center().x() - width / 2;
    DrawTextAt(p, font, kLink, left, link.center().y(), address);

    // Hairlines that fade out towards the edges frame the address.
    for (int side = -1; side <= 1; side += 2) {
        const double from = side < 0 ? left - 18 : left + width + 18;
        const double to = from + side * 300;
        QLinearGradient fade(from, 0, to, 0);
        fade.setColorAt(0, QColor(0x7a, 0x98, 0xa8, 230));
        fade.setColorAt(1, QColor(0x8d, 0xa8, 0xb6, 0));
        p.setPen(QPen(QBrush(fade), 1.2));
        p.drawLine(QPointF(from, link.center().y()), QPointF(to, link.center().y()));
    }
}

}  // namespace

const std::vector<PanelArea>& ControlPanels() {
    static const std::vector<PanelArea> panels = {
        {kIllustrationRight, kCardTop, kConnectionRight, kSettingsBottom},
        {kConnectionRight, kCardTop, kRightColumnLeft, kSettingsBottom},
        {kRightColumnLeft, kCardTop, kCardRight, kSettingsBottom},
        {kCardLeft, kSettingsBottom, kRightColumnLeft, kCardBottom},
        {kRightColumnLeft, kSettingsBottom, kCardRight, kParameterBottom},
        {kRightColumnLeft, kParameterBottom, kCardRight, kCardBottom},
    };
    return panels;
}

QImage DrawBackgroundPicture(Language lang) {
    QImage image(kBackgroundWidth, kBackgroundHeight, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                     QPainter::SmoothPixmapTransform);
    DrawBody(p);
    DrawBanner(p, lang);
    DrawLanguageStrip(p, lang);
    DrawPanels(p, lang);
    DrawFooter(p, lang);
    p.end();
    return image;
}

QImage DrawProgramIcon(int size) {
    QImage icon(size, size, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.setRenderHints(QPainter::Antialiasing);
    const double s = size;
    const bool tiny = size < 24;

    // Rounded tile; its corners stay transparent at every size.
    const double inset = tiny ? 0.5 : s * 0.04;
    const QRectF tile(inset, inset, s - 2 * inset, s - 2 * inset);
    QLinearGradient tileFill(0, 0, 0, s);
    tileFill.setColorAt(0, kBannerLight);
    tileFill.setColorAt(1, kBannerDark);
    p.setPen(Qt::NoPen);
    p.setBrush(tileFill);
    p.drawRoundedRect(tile, s * 0.22, s * 0.22);

    const QPointF centre(s / 2, s / 2);
    const double r = s * (tiny ? 0.36 : 0.34);
    QRadialGradient glass(centre - QPointF(r * 0.3, r * 0.35), r * 1.3);
    glass.setColorAt(0, Qt::white);
    glass.setColorAt(1, QColor(0xcf, 0xe6, 0xec));
    p.setBrush(glass);
    p.setPen(tiny ? Qt::NoPen : QPen(QColor(0xe8, 0xf4, 0xf7), s * 0.025));
    p.drawEllipse(centre, r, r);

    if (!tiny) {
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(0x8f, 0xb2, 0xc1), std::max(1.0, s * 0.012)));
        p.drawEllipse(centre, r * 0.5, r * 0.5);
        if (size >= 40) {
            for (int deg = 0; deg < 360; deg += 30) {
                const double a = deg * kPi / 180;
                const QPointF d(std::cos(a), std::sin(a));
                p.drawLine(centre + d * r * 0.8, centre + d * r * 0.94);
            }
        }
    }
    const double axisWidth = std::max(1.0, s * (size >= 48 ? 0.022 : 0.035));
    p.setPen(QPen(QColor(0x1f, 0x6a, 0x8e), axisWidth, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(centre - QPointF(r * 0.92, 0), centre + QPointF(r * 0.92, 0));
    p.drawLine(centre - QPointF(0, r * 0.92), centre + QPointF(0, r * 0.92));

    const QPointF bubble = centre + QPointF(r * 0.34, -r * 0.3);
    const double br = tiny ? std::max(2.2, r * 0.34) : r * 0.3;
    QRadialGradient drop(bubble - QPointF(br * 0.35, br * 0.4), br * 1.2);
    drop.setColorAt(0, QColor(0xc8, 0xf5, 0xe1));
    drop.setColorAt(1, QColor(0x2f, 0xa3, 0x80));
    p.setPen(QPen(QColor(0x1d, 0x7a, 0x5f), tiny ? 0.8 : std::max(1.0, s * 0.015)));
    p.setBrush(drop);
    p.drawEllipse(bubble, br, br);
    p.end();
    return icon;
}
