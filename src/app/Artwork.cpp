#include "app/Artwork.h"

#include <QPainter>
#include <QPainterPath>

namespace Artwork {
namespace {

const QColor kInk(0x26, 0x32, 0x38);
const QColor kBlue(0x1e, 0x6f, 0xc8);
const QColor kGreen(0x2e, 0x9d, 0x4f);
const QColor kRed(0xd0, 0x35, 0x2b);
const QColor kAmber(0xe8, 0x9b, 0x12);

// A stylised fingerprint: concentric open arcs inside a rounded pad, in a 100 x 100 box.
void fingerprint(QPainter &p, const QColor &ridge)
{
    p.setBrush(QColor(0xfb, 0xe9, 0xdc));
    p.setPen(QPen(ridge.darker(130), 2));
    p.drawRoundedRect(QRectF(24, 10, 52, 76), 26, 26);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(ridge, 3.2, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 5; ++i) {
        const qreal r = 6 + i * 5.5;
        const QRectF box(50 - r, 48 - r * 1.25, 2 * r, 2.5 * r);
        p.drawArc(box, (20 - i * 6) * 16, (230 + i * 10) * 16);
    }
}

void sensor(QPainter &p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    p.drawRoundedRect(QRectF(14, 80, 72, 14), 4, 4);
    p.setBrush(kBlue.lighter(150));
    p.drawRoundedRect(QRectF(30, 83, 40, 6), 2, 2);
}

void arrow(QPainter &p, QPointF from, QPointF to, const QColor &c)
{
    p.setPen(QPen(c, 6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(from, to);
    const QPointF d = (to - from) / std::max(1.0, std::hypot(to.x() - from.x(), to.y() - from.y()));
    const QPointF n(-d.y(), d.x());
    p.setBrush(c);
    p.drawPolygon(QPolygonF{to + d * 6, to - d * 10 + n * 9, to - d * 10 - n * 9});
}

void badge(QPainter &p, const QColor &c)
{
    p.setPen(QPen(Qt::white, 3));
    p.setBrush(c);
    p.drawEllipse(QRectF(58, 56, 38, 38));
}

void check(QPainter &p)
{
    p.setPen(QPen(Qt::white, 6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF{QPointF(67, 75), QPointF(75, 83), QPointF(89, 66)});
}

void cross(QPainter &p)
{
    p.setPen(QPen(Qt::white, 6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(69, 67), QPointF(85, 83));
    p.drawLine(QPointF(85, 67), QPointF(69, 83));
}

void plus(QPainter &p)
{
    p.setPen(QPen(Qt::white, 6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(77, 65), QPointF(77, 85));
    p.drawLine(QPointF(67, 75), QPointF(87, 75));
}

void warning(QPainter &p)
{
    p.setPen(QPen(kRed.darker(120), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(kAmber);
    p.drawPolygon(QPolygonF{QPointF(50, 8), QPointF(94, 88), QPointF(6, 88)});
    p.setPen(QPen(kInk, 9, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(50, 36), QPointF(50, 62));
    p.drawPoint(QPointF(50, 76));
}

void disk(QPainter &p)
{
    p.setPen(QPen(kInk, 2));
    p.setBrush(kBlue);
    p.drawRoundedRect(QRectF(10, 12, 56, 60), 6, 6);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(20, 12, 34, 20));
    p.setBrush(kBlue.darker(140));
    p.drawRect(QRectF(22, 46, 32, 26));
}

void plug(QPainter &p, bool connected)
{
    p.setPen(QPen(kInk, 5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(6, 50), QPointF(30, 50));
    p.drawLine(QPointF(70, 50), QPointF(94, 50));
    p.setPen(QPen(kInk, 2));
    p.setBrush(connected ? kGreen : QColor(0x9e, 0x9e, 0x9e));
    p.drawRoundedRect(QRectF(28, 36, 20, 28), 4, 4);
    p.drawRoundedRect(QRectF(52, 36, 20, 28), 4, 4);
    p.setPen(QPen(kAmber, 4, Qt::DotLine, Qt::RoundCap));
    if (!connected)
        p.drawArc(QRectF(30, 14, 40, 40), 30 * 16, 120 * 16);
}

void drawBanner(QPainter &p, int element)
{
    switch (static_cast<Banner>(element)) {
    case Banner::FingerOnSensor:
        fingerprint(p, kBlue);
        arrow(p, QPointF(88, 14), QPointF(88, 62), kGreen);
        sensor(p);
        break;
    case Banner::RemoveFinger:
        fingerprint(p, kBlue);
        arrow(p, QPointF(88, 62), QPointF(88, 14), kAmber);
        sensor(p);
        break;
    case Banner::Delete:
        fingerprint(p, kInk);
        badge(p, kRed);
        cross(p);
        break;
    case Banner::Complete:
        fingerprint(p, kGreen);
        badge(p, kGreen);
        check(p);
        break;
    case Banner::SaveUpload:
        disk(p);
        arrow(p, QPointF(70, 90), QPointF(90, 46), kGreen);
        break;
    case Banner::Enroll:
        fingerprint(p, kBlue);
        badge(p, kBlue);
        plus(p);
        break;
    case Banner::Error:
        warning(p);
        break;
    case Banner::Establishing:
        plug(p, false);
        break;
    case Banner::CommunicationError:
        plug(p, false);
        badge(p, kRed);
        cross(p);
        break;
    case Banner::Spare:
        fingerprint(p, kInk);
        break;
    }
}

QPixmap canvas(int logicalSize, qreal dpr, const std::function<void(QPainter &)> &draw)
{
    QPixmap pm(QSize(logicalSize, logicalSize) * dpr);
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(logicalSize / 100.0, logicalSize / 100.0);
    draw(p);
    return pm;
}

// A round sign filling the icon: a coloured disc with a white mark.
void sign(QPainter &p, const QColor &c, bool isPlus)
{
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(QRectF(8, 8, 84, 84));
    p.setPen(QPen(Qt::white, 12, Qt::SolidLine, Qt::RoundCap));
    if (isPlus) {
        p.drawLine(QPointF(50, 28), QPointF(50, 72));
        p.drawLine(QPointF(28, 50), QPointF(72, 50));
    } else {
        p.drawLine(QPointF(34, 34), QPointF(66, 66));
        p.drawLine(QPointF(66, 34), QPointF(34, 66));
    }
}

void drawButton(QPainter &p, Button which)
{
    switch (which) {
    case Button::Add:
        sign(p, kGreen, true);
        break;
    case Button::Edit:
        p.setPen(QPen(kInk, 3));
        p.setBrush(kAmber);
        p.drawPolygon(QPolygonF{QPointF(20, 70), QPointF(66, 24), QPointF(78, 36), QPointF(32, 82),
                                QPointF(16, 86)});
        break;
    case Button::Delete:
        sign(p, kRed, false);
        break;
    case Button::DeleteUser:
        fingerprint(p, kInk);
        badge(p, kRed);
        cross(p);
        break;
    case Button::Folder:
        p.setPen(QPen(kInk, 3));
        p.setBrush(kAmber);
        p.drawRoundedRect(QRectF(8, 24, 84, 60), 6, 6);
        p.setBrush(kAmber.lighter(130));
        p.drawRoundedRect(QRectF(8, 16, 36, 16), 4, 4);
        break;
    case Button::Reconnect:
        plug(p, true);
        break;
    case Button::Enroll:
        fingerprint(p, kBlue);
        badge(p, kBlue);
        plus(p);
        break;
    case Button::ViewUsers:
        p.setPen(Qt::NoPen);
        p.setBrush(kBlue);
        p.drawEllipse(QRectF(34, 10, 32, 32));
        p.drawRoundedRect(QRectF(18, 48, 64, 40), 18, 18);
        break;
    case Button::NewUnit:
        disk(p);
        badge(p, kGreen);
        plus(p);
        break;
    case Button::ResetPassword:
        p.setPen(QPen(kInk, 6, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(14, 30, 36, 36));
        p.drawLine(QPointF(50, 48), QPointF(90, 48));
        p.drawLine(QPointF(80, 48), QPointF(80, 62));
        break;
    }
}

} // namespace

QPixmap bannerPicture(int element, int logicalSize, qreal devicePixelRatio)
{
    return canvas(logicalSize, devicePixelRatio,
                  [element](QPainter &p) { drawBanner(p, element); });
}

QIcon applicationIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(canvas(size, 1.0, [](QPainter &p) {
            p.setPen(Qt::NoPen);
            p.setBrush(kBlue);
            p.drawRoundedRect(QRectF(2, 2, 96, 96), 18, 18);
            p.translate(6, 4);
            p.scale(0.88, 0.88);
            fingerprint(p, kBlue.darker(150));
        }));
    return icon;
}

QIcon buttonIcon(Button which)
{
    QIcon icon;
    for (int size : {16, 24, 32, 48})
        for (qreal dpr : {1.0, 2.0})
            icon.addPixmap(canvas(size, dpr, [which](QPainter &p) { drawButton(p, which); }));
    return icon;
}

} // namespace Artwork
