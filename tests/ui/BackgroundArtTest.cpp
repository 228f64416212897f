#include <gtest/gtest.h>

#include <QImage>
#include <QRect>
#include <algorithm>
#include <cmath>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "BackgroundArt.h"
#include "DialogTemplate.h"

namespace {

// Static texts are drawn in RGB(0, 66, 0) straight onto the picture; panel
// interiors are near white, while headings, frame lines, help marks and the page
// around the panels are all darker than this.
constexpr double kPanelLuminance = 232;

// A closed drop-down list is one text line plus its border high; the template
// gives the height of the opened list.
constexpr int kClosedListHeightDu = 13;

double Luminance(QRgb c) {
    return 0.2126 * qRed(c) + 0.7152 * qGreen(c) + 0.0722 * qBlue(c);
}

const char* Name(Language lang) {
    return lang == Language::Chinese ? "Chinese" : "English";
}

// The pixels of the picture that a rectangle in dialog units touches.
QRect PictureRect(double x, double y, double w, double h) {
    const double sx = double(kBackgroundWidth) / kTemplateWidthDu;
    const double sy = double(kBackgroundHeight) / kTemplateHeightDu;
    const int left = int(std::floor(x * sx));
    const int top = int(std::floor(y * sy));
    const int right = int(std::ceil((x + w) * sx));
    const int bottom = int(std::ceil((y + h) * sy));
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

QRect PictureRect(const ControlSpec& c, Language lang) {
    const DuRect& r = ControlRect(c, lang);
    const int height =
        c.kind == ControlKind::DropDownList ? std::min(r.height, kClosedListHeightDu) : r.height;
    return PictureRect(r.x, r.y, r.width, height);
}

bool ShownAtSomeTime(const ControlSpec& c) {
    // The protocol switch shows the Modbus-only parity controls.
    return c.shown || c.id == 1021 || c.id == 1024 || c.id == 1095;
}

bool IsHelpArea(const ControlSpec& c) {
    return (c.style & kNotify) != 0;
}

constexpr int kLinkArea = 1058;

class BackgroundArtTest : public ::testing::Test {
protected:
    // Drawn once: every check reads the same two pictures. The test main owns
    // the application object that the fonts need.
    static void SetUpTestSuite() {
        english_ = std::make_unique<QImage>(DrawBackgroundPicture(Language::English));
        chinese_ = std::make_unique<QImage>(DrawBackgroundPicture(Language::Chinese));
    }
    static void TearDownTestSuite() {
        english_.reset();
        chinese_.reset();
    }

    static const QImage& Picture(Language lang) {
        return lang == Language::Chinese ? *chinese_ : *english_;
    }

    static constexpr Language kLanguages[] = {Language::English, Language::Chinese};

private:
    static std::unique_ptr<QImage> english_;
    static std::unique_ptr<QImage> chinese_;
};

std::unique_ptr<QImage> BackgroundArtTest::english_;
std::unique_ptr<QImage> BackgroundArtTest::chinese_;

struct Darkest {
    double luminance = 1e9;
    QPoint at;
};

Darkest DarkestPixel(const QImage& image, const QRect& r) {
    Darkest d;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
            const double l = Luminance(image.pixel(x, y));
            if (l < d.luminance) d = {l, QPoint(x, y)};
        }
    }
    return d;
}

double ShareBelow(const QImage& image, const QRect& r, double luminance) {
    int count = 0;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
            if (Luminance(image.pixel(x, y)) < luminance) ++count;
        }
    }
    return double(count) / (r.width() * r.height());
}

// Centre of the pixels darker than the threshold; false when there are none.
bool CentreOfDark(const QImage& image, const QRect& r, double luminance, QPointF* centre) {
    double sx = 0, sy = 0;
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
            if (Luminance(image.pixel(x, y)) < luminance) {
                sx += x + 0.5;
                sy += y + 0.5;
                ++n;
            }
        }
    }
    if (n == 0) return false;
    *centre = QPointF(sx / n, sy / n);
    return true;
}

TEST_F(BackgroundArtTest, PicturesAreFullSizeOpaqueRgb) {
    for (Language lang : kLanguages) {
        SCOPED_TRACE(Name(lang));
        const QImage& image = Picture(lang);
        EXPECT_EQ(image.width(), kBackgroundWidth);
        EXPECT_EQ(image.height(), kBackgroundHeight);
        EXPECT_FALSE(image.hasAlphaChannel());
        EXPECT_FALSE(image.isGrayscale());
    }
}

TEST_F(BackgroundArtTest, ChineseAndEnglishPicturesDifferInTheirHeadings) {
    // The heading band above the chart, left of its help mark in either layout.
    const QRect band = PictureRect(24, 83, 480, 9);
    int differing = 0;
    for (int y = band.top(); y <= band.bottom(); ++y) {
        for (int x = band.left(); x <= band.right(); ++x) {
            const double a = Luminance(Picture(Language::English).pixel(x, y));
            const double b = Luminance(Picture(Language::Chinese).pixel(x, y));
            if (std::abs(a - b) > 60) ++differing;
        }
    }
    EXPECT_GT(differing, 200);
}

TEST_F(BackgroundArtTest, EveryShownControlLiesOnPlainPanelInterior) {
    for (Language lang : kLanguages) {
        const QImage& image = Picture(lang);
        const QRect whole = image.rect();
        for (const ControlSpec& c : DialogControls()) {
            if (!ShownAtSomeTime(c) || IsHelpArea(c) || c.id == kLinkArea) continue;
            // One pixel of slack on every side: the window rounds control edges
            // and the stretched picture independently.
            const QRect r = PictureRect(c, lang).adjusted(-1, -1, 1, 1);
            ASSERT_TRUE(whole.contains(r)) << c.id;
            const Darkest d = DarkestPixel(image, r);
            EXPECT_GE(d.luminance, kPanelLuminance)
                << Name(lang) << " control " << c.id << " overlaps artwork at (" << d.at.x() << ", "
                << d.at.y() << ")";
        }
    }
}

struct PanelGroup {
    const char* name;
    std::vector<int> ids;
};

const std::vector<PanelGroup>& PanelGroups() {
    static const std::vector<PanelGroup> groups = {
        {"connection", {1001, 1003, 1004, 1017, 1025, 1026, 1035, 1036, 1037, 1040, 1045, 1080}},
        {"device settings",
         {1005, 1007, 1009, 1010, 1011, 1013, 1021, 1024, 1028, 1031, 1079, 1085, 1086, 1087,
          1095}},
        {"save options", {1008, 1016, 1073}},
        {"chart",
         {1000, 1070, 1075, 1076, 1077, 1078, 1022, 1029, 1030, 1041, 1042, 1047, 1052, 1072,
          1074}},
        {"parameter list", {1062}},
        {"traffic", {1015}},
    };
    return groups;
}

// Walks from a point away from the controls until the picture stops being plain
// panel; returns the distance walked in pixels, or -1 when it never does.
int DistanceToEdge(const QImage& image, QPoint from, QPoint step, int limit) {
    QPoint p = from;
    for (int i = 0; i <= limit; ++i, p += step) {
        if (!image.rect().contains(p)) return -1;
        if (Luminance(image.pixel(p)) < kPanelLuminance) return i;
    }
    return -1;
}

TEST_F(BackgroundArtTest, EachPanelIsFramedCloseAroundItsControls) {
    // Twenty dialog units is wider than any margin a panel needs; a frame
    // further out belongs to some other layout.
    const int limitAcross = int(20 * double(kBackgroundWidth) / kTemplateWidthDu);
    const int limitDown = int(20 * double(kBackgroundHeight) / kTemplateHeightDu);
    for (Language lang : kLanguages) {
        const QImage& image = Picture(lang);
        for (const PanelGroup& g : PanelGroups()) {
            QRect box;
            for (int id : g.ids) box |= PictureRect(*FindControl(id), lang);
            const QPoint mid = box.center();
            struct Side {
                const char* name;
                QPoint from;
                QPoint step;
                int limit;
            };
            const Side sides[] = {
                {"left", QPoint(box.left() - 2, mid.y()), QPoint(-1, 0), limitAcross},
                {"right", QPoint(box.right() + 2, mid.y()), QPoint(1, 0), limitAcross},
                {"top", QPoint(mid.x(), box.top() - 2), QPoint(0, -1), limitDown},
                {"bottom", QPoint(mid.x(), box.bottom() + 2), QPoint(0, 1), limitDown},
            };
            for (const Side& s : sides) {
                EXPECT_GE(DistanceToEdge(image, s.from, s.step, s.limit), 0)
                    << Name(lang) << " " << g.name << " panel has no edge to the " << s.name;
            }
        }
    }
}

TEST_F(BackgroundArtTest, HelpMarksLieCentredUnderTheHelpAreas) {
    for (Language lang : kLanguages) {
        const QImage& image = Picture(lang);
        int areas = 0;
        for (const ControlSpec& c : DialogControls()) {
            if (!IsHelpArea(c)) continue;
            ++areas;
            const QRect r = PictureRect(c, lang);
            std::ostringstream where;
            where << Name(lang) << " help area " << c.id;
            // A filled mark, not plain panel or heading band...
            EXPECT_GT(ShareBelow(image, r, 170), 0.3) << where.str();
            // ...with a light question mark inside it...
            const QRect inner =
                r.adjusted(r.width() / 3, r.height() / 4, -r.width() / 3, -r.height() / 4);
            EXPECT_GT(1 - ShareBelow(image, inner, 200), 0.1) << where.str();
            // ...centred on the area, so a mark drawn for the other layout fails.
            QPointF centre;
            ASSERT_TRUE(CentreOfDark(image, r.adjusted(-6, -6, 6, 6), 170, &centre)) << where.str();
            const QPointF expected = QRectF(r).center();
            EXPECT_NEAR(centre.x(), expected.x(), 2.0) << where.str();
            EXPECT_NEAR(centre.y(), expected.y(), 2.0) << where.str();
        }
        EXPECT_EQ(areas, 7);
    }
}

TEST_F(BackgroundArtTest, WebAddressIsCentredInTheLinkArea) {
    for (Language lang : kLanguages) {
        const QImage& image = Picture(lang);
        const QRect link = PictureRect(*FindControl(kLinkArea), lang);
        // Look wider than the link area: text spilling out of it would not be clickable.
        const QRect around = link.adjusted(-40, -6, 40, 6);
        int left = around.right(), right = around.left(), top = around.bottom(),
            bottom = around.top();
        for (int y = around.top(); y <= around.bottom(); ++y) {
            for (int x = around.left(); x <= around.right(); ++x) {
                if (Luminance(image.pixel(x, y)) < 150) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
            }
        }
        SCOPED_TRACE(Name(lang));
        ASSERT_LT(left, right) << "no text under the link area";
        EXPECT_GT(right - left, link.width() / 2);
        EXPECT_GE(left, link.left());
        EXPECT_LE(right, link.right());
        EXPECT_GE(top, link.top());
        EXPECT_LE(bottom, link.bottom());
        // The two layouts place the link area two dialog units apart (about five
        // pixels); the address follows its own layout.
        EXPECT_NEAR((left + right + 1) / 2.0, QRectF(link).center().x(), 2.5);
    }
}

TEST_F(BackgroundArtTest, BannerRunsAcrossTheTopWithTheLogoLeftOfTheHiddenControls) {
    for (Language lang : kLanguages) {
        const QImage& image = Picture(lang);
        SCOPED_TRACE(Name(lang));
        // The banner is dark at both ends of the top edge.
        EXPECT_LT(Luminance(image.pixel(2, 2)), 120);
        EXPECT_LT(Luminance(image.pixel(kBackgroundWidth - 3, 2)), 120);

        // The logo's lettering is bright on the banner and ends before the first
        // hidden control on the left, the model label.
        const QRect logo = PictureRect(2, 2, 90, 18);
        EXPECT_GT(1 - ShareBelow(image, logo, 200), 0.05);
        const DuRect& label = ControlRect(*FindControl(1044), lang);
        const QRect clear = PictureRect(label.x, 2, 230 - label.x, 18);
        EXPECT_EQ(1 - ShareBelow(image, clear, 150), 0.0);
    }
}

TEST_F(BackgroundArtTest, ProgramIconIsSquareWithTransparentCornersAndOpaqueCentre) {
    for (int size : {16, 32, 48, 256}) {
        SCOPED_TRACE(size);
        const QImage icon = DrawProgramIcon(size);
        ASSERT_EQ(icon.size(), QSize(size, size));
        ASSERT_TRUE(icon.hasAlphaChannel());
        const int last = size - 1;
        for (QPoint corner : {QPoint(0, 0), QPoint(last, 0), QPoint(0, last), QPoint(last, last)}) {
            EXPECT_EQ(qAlpha(icon.pixel(corner)), 0) << corner.x() << "," << corner.y();
        }
        EXPECT_EQ(qAlpha(icon.pixel(size / 2, size / 2)), 255);
        // The tile reaches close to the edges, so the icon fills its square.
        const int nearEdge = std::max(1, size / 12);
        EXPECT_EQ(qAlpha(icon.pixel(size / 2, nearEdge)), 255);
        EXPECT_EQ(qAlpha(icon.pixel(nearEdge, size / 2)), 255);
    }
}

}  // namespace
