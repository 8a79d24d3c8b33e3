#include "Lyricade/Views/SymbolIcons.h"

#include <QAbstractButton>
#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>
#include <QWidget>

namespace Lyricade {

namespace {

// A note head with its stem, in a unit square scaled to `s`.
void drawNote(QPainter& p, double x, double y, double s)
{
    p.save();
    p.translate(x, y);
    p.scale(s, s);
    p.drawEllipse(QRectF(0.0, 0.68, 0.42, 0.30));
    p.drawRect(QRectF(0.34, 0.05, 0.08, 0.78));
    p.drawRect(QRectF(0.34, 0.05, 0.38, 0.12));
    p.restore();
}

void draw(QPainter& p, Symbol symbol, double s, const QColor& ink)
{
    QPen pen(ink, std::max(1.0, s / 12.0), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    switch (symbol) {
    case Symbol::musicNote:
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        drawNote(p, s * 0.2, s * 0.08, s * 0.85);
        break;
    case Symbol::musicNoteList:
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        drawNote(p, s * 0.5, s * 0.05, s * 0.5);
        p.drawRect(QRectF(s * 0.05, s * 0.2, s * 0.38, s * 0.08));
        p.drawRect(QRectF(s * 0.05, s * 0.45, s * 0.38, s * 0.08));
        p.drawRect(QRectF(s * 0.05, s * 0.7, s * 0.9, s * 0.08));
        p.drawRect(QRectF(s * 0.05, s * 0.88, s * 0.9, s * 0.08));
        break;
    case Symbol::bookClosed:
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(s * 0.2, s * 0.08, s * 0.62, s * 0.84), s * 0.06, s * 0.06);
        p.drawLine(QPointF(s * 0.34, s * 0.08), QPointF(s * 0.34, s * 0.92));
        break;
    case Symbol::listNumber: {
        p.setPen(pen);
        QFont digits;
        digits.setPixelSize(std::max(6, static_cast<int>(s * 0.32)));
        p.setFont(digits);
        for (int i = 0; i < 3; ++i) {
            const double y = s * (0.2 + 0.3 * i);
            p.drawText(QRectF(0, y - s * 0.16, s * 0.3, s * 0.32), Qt::AlignCenter, QString::number(i + 1));
            p.drawLine(QPointF(s * 0.42, y), QPointF(s * 0.92, y));
        }
        break;
    }
    case Symbol::plus:
        pen.setWidthF(std::max(1.5, s / 9.0));
        p.setPen(pen);
        p.drawLine(QPointF(s * 0.5, s * 0.15), QPointF(s * 0.5, s * 0.85));
        p.drawLine(QPointF(s * 0.15, s * 0.5), QPointF(s * 0.85, s * 0.5));
        break;
    case Symbol::cCircle: {
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(s * 0.08, s * 0.08, s * 0.84, s * 0.84));
        QPainterPath c;
        c.arcMoveTo(QRectF(s * 0.32, s * 0.3, s * 0.38, s * 0.4), 45);
        c.arcTo(QRectF(s * 0.32, s * 0.3, s * 0.38, s * 0.4), 45, 270);
        p.drawPath(c);
        break;
    }
    case Symbol::question: {
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(s * 0.08, s * 0.08, s * 0.84, s * 0.84));
        QFont mark;
        mark.setPixelSize(std::max(6, static_cast<int>(s * 0.62)));
        mark.setBold(true);
        p.setFont(mark);
        p.drawText(QRectF(0, 0, s, s), Qt::AlignCenter, QStringLiteral("?"));
        break;
    }
    case Symbol::arrowUp:
    case Symbol::arrowDown: {
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        const bool up = symbol == Symbol::arrowUp;
        const double tip = up ? 0.22 : 0.78, base = up ? 0.72 : 0.28;
        p.drawPolygon(QPolygonF({QPointF(s * 0.15, s * base), QPointF(s * 0.85, s * base), QPointF(s * 0.5, s * tip)}));
        break;
    }
    }
}

// Draws a button's symbol again in its new colours.
class SymbolKeeper : public QObject {
public:
    SymbolKeeper(QAbstractButton& button, Symbol symbol, int size) : QObject(&button), symbol_(symbol), size_(size)
    {
        button.installEventFilter(this);
        draw(button);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::PaletteChange) draw(*static_cast<QAbstractButton*>(watched));
        return false;
    }

private:
    void draw(QAbstractButton& button) const { button.setIcon(symbolIcon(symbol_, &button, size_)); }

    Symbol symbol_;
    int size_;
};

} // namespace

QIcon symbolIcon(Symbol symbol, const QWidget* widget, int size)
{
    const qreal ratio = widget ? widget->devicePixelRatioF() : 1.0;
    QIcon icon;
    for (QIcon::Mode mode : {QIcon::Normal, QIcon::Disabled, QIcon::Selected}) {
        const QPalette palette = widget ? widget->palette() : QPalette();
        const QColor ink = mode == QIcon::Selected   ? palette.color(QPalette::HighlightedText)
                           : mode == QIcon::Disabled ? palette.color(QPalette::Disabled, QPalette::WindowText)
                                                     : palette.color(QPalette::WindowText);
        QPixmap pixmap(QSize(size, size) * ratio);
        pixmap.setDevicePixelRatio(ratio);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        draw(painter, symbol, size, ink);
        painter.end();
        icon.addPixmap(pixmap, mode);
    }
    return icon;
}

void showSymbol(QAbstractButton& button, Symbol symbol, int size)
{
    button.setIconSize(QSize(size, size));
    new SymbolKeeper(button, symbol, size);
}

} // namespace Lyricade
