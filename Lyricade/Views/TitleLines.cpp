#include "Lyricade/Views/TitleLines.h"

#include <QFontMetrics>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>

namespace Lyricade {

QStringList titleLines(const QString& text, const QFont& font, int width, int maxLines)
{
    const QFontMetrics metrics(font);
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(std::max(width, 1));
        if (lines.size() + 1 == maxLines) {
            // The last line the row has room for takes the rest, cut at its end.
            lines << metrics.elidedText(text.mid(line.textStart()).simplified(), Qt::ElideRight, width);
            break;
        }
        lines << text.mid(line.textStart(), line.textLength()).trimmed();
    }
    layout.endLayout();
    if (lines.isEmpty()) lines << QString();
    return lines;
}

int titleHeight(const QString& text, const QFont& font, int width, int maxLines)
{
    return static_cast<int>(titleLines(text, font, width, maxLines).size()) * QFontMetrics(font).lineSpacing();
}

void drawLines(QPainter& painter, const QRect& area, const QStringList& lines, const QFont& font,
               Qt::Alignment alignment)
{
    const int step = QFontMetrics(font).lineSpacing();
    painter.save();
    painter.setFont(font);
    QRect line(area.left(), area.top(), area.width(), step);
    for (const QString& each : lines) {
        painter.drawText(line, static_cast<int>(alignment | Qt::AlignVCenter) | Qt::TextSingleLine, each);
        line.translate(0, step);
    }
    painter.restore();
}

void drawTitle(QPainter& painter, const QRect& area, const QString& text, const QFont& font, int maxLines,
               Qt::Alignment alignment)
{
    drawLines(painter, area, titleLines(text, font, area.width(), maxLines), font, alignment);
}

} // namespace Lyricade
