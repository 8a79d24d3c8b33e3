#include "PdfView/Widgets/LeftOutPage.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPalette>
#include <QPen>

#include <algorithm>

namespace PdfView {

QString leftOutNote(int number)
{
    return QStringLiteral("Page %1 was left out: its text is too large for Folmira to read.").arg(number);
}

void paintLeftOutPage(QPainter& painter, const QRectF& page, const QRectF& shown, int number,
                      const QPalette& palette, const QFont& font)
{
    painter.save();
    painter.setClipRect(page);
    painter.fillRect(page, palette.color(QPalette::Base));
    // The view's own type size, so the note is as legible as the rest of the
    // window at any zoom; a margin of a type size keeps it off the edges.
    painter.setFont(font);
    const double margin = std::min(QFontMetricsF(font).height(), page.width() / 8);
    const QRectF text = shown.intersected(page).adjusted(margin, margin, -margin, -margin);
    painter.setPen(QPen(palette.color(QPalette::Text)));
    painter.drawRect(page.adjusted(0.5, 0.5, -0.5, -0.5));
    painter.drawText(text, Qt::AlignCenter | Qt::TextWordWrap, leftOutNote(number));
    painter.restore();
}

} // namespace PdfView
