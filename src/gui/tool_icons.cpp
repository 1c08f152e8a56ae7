#include "gui/tool_icons.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>
#include <functional>

namespace kvr::gui {

namespace {

constexpr int S = kToolIconSize;
const QColor kInk(40, 40, 40);
const QColor kCurve(20, 110, 200);
const QColor kFrameFill(235, 235, 235);

// A tone curve y = f(x) on 0 … 1 inside small axes.
void curve(QPainter& g, const std::function<double(double)>& f, const QColor& colour = kCurve) {
    g.setPen(QPen(kInk, 1));
    g.drawLine(3, 2, 3, S - 3);
    g.drawLine(3, S - 3, S - 2, S - 3);
    QPainterPath path;
    const double x0 = 4, y0 = S - 4, w = S - 7, h = S - 7;
    for (int i = 0; i <= 16; ++i) {
        const double x = i / 16.0;
        const double y = std::clamp(f(x), 0.0, 1.0);
        const QPointF pt(x0 + x * w, y0 - y * h);
        if (i == 0)
            path.moveTo(pt);
        else
            path.lineTo(pt);
    }
    g.setPen(QPen(colour, 1.6));
    g.drawPath(path);
}

void floppy(QPainter& g, const QColor& body) {
    g.setPen(QPen(kInk, 1));
    g.setBrush(body);
    g.drawRect(2, 2, S - 5, S - 5);
    g.setBrush(Qt::white);
    g.drawRect(5, 2, S - 11, 6);
    g.setBrush(QColor(190, 190, 190));
    g.drawRect(5, 12, S - 11, 6);
}

void camera(QPainter& g, int x, int y, int w, int h, const QColor& body) {
    g.setPen(QPen(kInk, 1));
    g.setBrush(body);
    g.drawRoundedRect(x, y + h / 5, w, h - h / 5, 2, 2);
    g.drawRect(x + w / 5, y, w / 3, h / 5);
    g.setBrush(QColor(60, 90, 160));
    const int r = std::min(w, h) / 3;
    g.drawEllipse(QPoint(x + w / 2, y + h / 5 + (h - h / 5) / 2), r, r);
}

void sign(QPainter& g, const QString& text, const QColor& colour) {
    QFont font = g.font();
    font.setPixelSize(12);
    font.setBold(true);
    g.setFont(font);
    g.setPen(colour);
    g.drawText(QRect(0, 0, S, S), Qt::AlignCenter, text);
}

// Two overlapping frames and how they combine.
void two_frames(QPainter& g, const QString& operation, const QColor& colour) {
    for (int corner : {1, 7}) {
        g.setPen(QPen(kInk, 1));
        g.setBrush(kFrameFill);
        g.drawRect(corner, corner, 11, 11);
        g.setPen(Qt::NoPen);
        g.setBrush(kInk);
        g.drawEllipse(QPoint(corner + 5, corner + 5), 1, 1);
    }
    sign(g, operation, colour);
}

void draw(QPainter& g, int bitmap) {
    switch (bitmap) {
        case 24333:  // save
            floppy(g, QColor(40, 70, 160));
            break;
        case 24336:  // save as FITS
            floppy(g, QColor(30, 120, 70));
            sign(g, QStringLiteral("F"), Qt::white);
            break;
        case 24332: {  // open
            g.setPen(QPen(kInk, 1));
            g.setBrush(QColor(230, 190, 60));
            g.drawRect(2, 5, S - 6, S - 8);
            g.setBrush(QColor(250, 220, 110));
            const QPointF flap[] = {{2, S - 3}, {6, 9}, {S - 1, 9}, {S - 4, S - 3}};
            g.drawPolygon(flap, 4);
            break;
        }
        case 1000:  // main camera
            camera(g, 1, 3, S - 2, S - 6, QColor(150, 150, 160));
            break;
        case 1001:  // guider camera: a small head and its cross-hairs
            camera(g, 1, 7, 11, 10, QColor(150, 150, 160));
            g.setPen(QPen(QColor(200, 30, 30), 1));
            g.drawEllipse(QPoint(15, 6), 4, 4);
            g.drawLine(15, 0, 15, 12);
            g.drawLine(9, 6, S - 1, 6);
            break;
        case 1002:  // display stretch off: press to use it
            curve(g, [](double x) { return 25 * x / (x * 24 + 1); });
            break;
        case 1003:  // display stretch on: press to stop it
            curve(
                g, [](double x) { return 25 * x / (x * 24 + 1); }, QColor(200, 60, 30));
            g.setPen(QPen(QColor(200, 30, 30), 2));
            g.drawLine(3, 3, S - 3, S - 3);
            break;
        case 1904:  // max stretch settings
            curve(g, [](double x) { return 8 * x / (x * 7 + 1); });
            g.setPen(QPen(kInk, 1));
            g.setBrush(QColor(250, 250, 250));
            g.drawRect(11, 11, 6, 4);
            break;
        case 121:  // program defaults: a check list
            g.setPen(QPen(kInk, 1));
            g.setBrush(Qt::white);
            g.drawRect(3, 1, S - 7, S - 3);
            for (int y = 5; y < S - 3; y += 4) {
                g.drawLine(6, y, 8, y + 2);
                g.drawLine(8, y + 2, 10, y - 1);
                g.drawLine(11, y, S - 6, y);
            }
            break;
        case 1903:  // photometry: star in its measuring rings
            g.setPen(QPen(kCurve, 1));
            g.setBrush(Qt::NoBrush);
            g.drawEllipse(QPoint(S / 2, S / 2), 8, 8);
            g.drawEllipse(QPoint(S / 2, S / 2), 5, 5);
            g.setBrush(kInk);
            g.drawEllipse(QPoint(S / 2, S / 2), 2, 2);
            break;
        case 1:  // normal stretch
            curve(g, [](double x) { return x; });
            break;
        case 117:  // non-linear stretch
            curve(g, [](double x) { return 0.5 - 0.5 * std::cos(x * M_PI); });
            break;
        case 2:  // power law
            curve(g, [](double x) { return x * x; });
            break;
        case 120:  // remove background
            curve(g, [](double x) { return x < 0.35 ? 0.0 : (x - 0.35) / 0.65; });
            break;
        case 106: {  // unsharp mask: an edge with its overshoot
            curve(g, [](double x) {
                return x < 0.45 ? 0.2 - (x > 0.35 ? 0.15 : 0) : 0.8 + (x < 0.6 ? 0.15 : 0);
            });
            break;
        }
        case 3:  // median: the 3 × 3 neighbourhood
            g.setPen(Qt::NoPen);
            for (int r = 0; r < 3; ++r)
                for (int c = 0; c < 3; ++c) {
                    g.setBrush(r == 1 && c == 1 ? kCurve : QColor(120, 120, 120));
                    g.drawRect(3 + 5 * c, 3 + 5 * r, 4, 4);
                }
            break;
        case 110:  // subtract an image
            two_frames(g, QStringLiteral("−"), QColor(200, 30, 30));
            break;
        case 115: {  // flat field
            QLinearGradient shade(0, 0, S, 0);
            shade.setColorAt(0, QColor(90, 90, 90));
            shade.setColorAt(1, QColor(230, 230, 230));
            g.setPen(QPen(kInk, 1));
            g.setBrush(shade);
            g.drawRect(2, 2, S - 5, S - 5);
            sign(g, QStringLiteral("÷"), kCurve);
            break;
        }
        case 111:  // add an image
            two_frames(g, QStringLiteral("+"), QColor(20, 140, 40));
            break;
        case 24:  // telescope on its mount
            g.setPen(QPen(kInk, 1));
            g.setBrush(QColor(220, 220, 230));
            g.save();
            g.translate(10, 8);
            g.rotate(-30);
            g.drawRect(-9, -3, 17, 6);
            g.restore();
            g.drawLine(10, 10, 5, S - 1);
            g.drawLine(10, 10, 15, S - 1);
            g.drawLine(10, 10, 10, S - 1);
            break;
        default:
            break;
    }
}

}  // namespace

QIcon tool_icon(int bitmap) {
    QImage image(S, S, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter g(&image);
        g.setRenderHint(QPainter::Antialiasing);
        draw(g, bitmap);
    }
    // A picture left fully transparent means the number is not one of the tool bar's.
    for (int y = 0; y < S; ++y)
        for (int x = 0; x < S; ++x)
            if (qAlpha(image.pixel(x, y)) != 0) return QIcon(QPixmap::fromImage(image));
    return {};
}

}  // namespace kvr::gui
