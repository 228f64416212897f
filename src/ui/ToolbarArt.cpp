#include "ToolbarArt.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace {

const QColor kInk(40, 40, 40);
const QColor kBlue(30, 90, 170);

void Arrowhead(QPainter& p, QPointF tip, QPointF from) {
    const QPointF d = tip - from;
    const double len = std::hypot(d.x(), d.y());
    if (len <= 0) return;
    const QPointF u = d / len;
    const QPointF n(-u.y(), u.x());
    QPolygonF head;
    head << tip << tip - u * 3.5 + n * 2.5 << tip - u * 3.5 - n * 2.5;
    p.setBrush(p.pen().color());
    p.drawPolygon(head);
    p.setBrush(Qt::NoBrush);
}

void Letter(QPainter& p, const QString& text, const QColor& colour) {
    QFont f(QStringLiteral("Liberation Sans"));
    f.setPixelSize(15);
    f.setBold(true);
    p.setFont(f);
    p.setPen(colour);
    p.drawText(QRectF(0, 0, kToolPictureWidth, kToolPictureHeight), Qt::AlignCenter, text);
}

void Draw(QPainter& p, int index) {
    p.setPen(QPen(kInk, 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    switch (index) {
        case 0: {  // play
            p.setBrush(QColor(20, 140, 60));
            p.setPen(Qt::NoPen);
            p.drawPolygon(QPolygonF() << QPointF(5, 3) << QPointF(14, 8.5) << QPointF(5, 14));
            break;
        }
        case 1:  // pause
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(200, 120, 20));
            p.drawRect(QRectF(5, 3, 3, 11));
            p.drawRect(QRectF(10, 3, 3, 11));
            break;
        case 2: {  // mouse arrow
            QPolygonF arrow;
            arrow << QPointF(5, 2) << QPointF(5, 14) << QPointF(8, 11) << QPointF(10.5, 15.5)
                  << QPointF(12.5, 14.5) << QPointF(10, 10) << QPointF(14, 10);
            p.setBrush(QColor(250, 250, 250));
            p.setPen(QPen(kInk, 1.0));
            p.drawPolygon(arrow);
            break;
        }
        case 3:  // cross-hair
            p.setPen(QPen(kBlue, 1.2));
            p.drawLine(QPointF(9, 1.5), QPointF(9, 15.5));
            p.drawLine(QPointF(1.5, 8.5), QPointF(16.5, 8.5));
            p.drawEllipse(QPointF(9, 8.5), 3.5, 3.5);
            break;
        case 4:  // two horizontal lines with arrows: the X-axis ruler
            p.setPen(QPen(kBlue, 1.2));
            p.drawLine(QPointF(2, 4), QPointF(16, 4));
            p.drawLine(QPointF(2, 13), QPointF(16, 13));
            p.setPen(QPen(kInk, 1.0));
            p.drawLine(QPointF(9, 6), QPointF(9, 11));
            Arrowhead(p, QPointF(9, 5.5), QPointF(9, 9));
            Arrowhead(p, QPointF(9, 11.5), QPointF(9, 8));
            break;
        case 5:  // two vertical lines with arrows: the Y-axis ruler
            p.setPen(QPen(kBlue, 1.2));
            p.drawLine(QPointF(4, 2), QPointF(4, 15));
            p.drawLine(QPointF(14, 2), QPointF(14, 15));
            p.setPen(QPen(kInk, 1.0));
            p.drawLine(QPointF(6, 8.5), QPointF(12, 8.5));
            Arrowhead(p, QPointF(5.5, 8.5), QPointF(9, 8.5));
            Arrowhead(p, QPointF(12.5, 8.5), QPointF(9, 8.5));
            break;
        case 6:  // horizontal axis
            p.drawLine(QPointF(2, 12), QPointF(15, 12));
            Arrowhead(p, QPointF(16.5, 12), QPointF(10, 12));
            for (int x = 4; x <= 13; x += 3) p.drawLine(QPointF(x, 12), QPointF(x, 14.5));
            break;
        case 7:  // vertical axis
            p.drawLine(QPointF(6, 15), QPointF(6, 3));
            Arrowhead(p, QPointF(6, 1.5), QPointF(6, 8));
            for (int y = 5; y <= 14; y += 3) p.drawLine(QPointF(3.5, y), QPointF(6, y));
            break;
        case 8: {  // scissors
            p.setPen(QPen(kInk, 1.2));
            p.drawLine(QPointF(5, 2), QPointF(12, 11));
            p.drawLine(QPointF(13, 2), QPointF(6, 11));
            p.setPen(QPen(QColor(190, 30, 30), 1.4));
            p.drawEllipse(QPointF(5, 13), 2.5, 2.5);
            p.drawEllipse(QPointF(13, 13), 2.5, 2.5);
            break;
        }
        case 9:
            Letter(p, QStringLiteral("X"), QColor(255, 0, 0));
            break;
        case 10:
            Letter(p, QStringLiteral("Y"), QColor(0, 139, 0));
            break;
        default:
            break;
    }
}

}  // namespace

QImage DrawToolbarStrip() {
    QImage strip(kToolPictureWidth * kToolPictureCount, kToolPictureHeight, QImage::Format_RGB32);
    strip.fill(Qt::white);
    for (int i = 0; i < kToolPictureCount; ++i) {
        QImage picture(kToolPictureWidth, kToolPictureHeight, QImage::Format_RGB32);
        picture.fill(Qt::white);
        {
            QPainter p(&picture);
            p.setRenderHint(QPainter::Antialiasing, true);
            Draw(p, i);
        }
        QPainter s(&strip);
        s.drawImage(i * kToolPictureWidth, 0, picture);
    }
    return strip;
}

QImage ToolbarPicture(const QImage& strip, int index) {
    QImage picture = strip.copy(index * kToolPictureWidth, 0, kToolPictureWidth, kToolPictureHeight)
                         .convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < picture.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < picture.width(); ++x) {
            if ((line[x] & 0xFFFFFF) == 0xFFFFFF) line[x] = 0;
        }
    }
    return picture;
}
