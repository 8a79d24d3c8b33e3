#include "PdfView/Widgets/PagesAccessible.h"

#include "PdfView/Widgets/PdfPagesView.h"

#include <QAccessibleWidget>

namespace PdfView {

namespace {

class PagesAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit PagesAccessible(PdfPagesView* view) : QAccessibleWidget(view, QAccessible::Document) {}

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.readOnly = true;
        state.multiLine = true;
        return state;
    }

    QString text(int startOffset, int endOffset) const override
    {
        const QString page = shown();
        startOffset = std::clamp(startOffset, 0, int(page.size()));
        endOffset = endOffset < 0 ? int(page.size()) : std::clamp(endOffset, startOffset, int(page.size()));
        return page.mid(startOffset, endOffset - startOffset);
    }
    // (QAccessibleWidget::text(Text) stays the name and description.)
    using QAccessibleWidget::text;
    int characterCount() const override { return int(shown().size()); }
    void selection(int, int* startOffset, int* endOffset) const override { *startOffset = *endOffset = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QRect characterRect(int) const override { return QRect(); }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int* startOffset, int* endOffset) const override
    {
        *startOffset = *endOffset = offset;
        return QString();
    }

private:
    QString shown() const
    {
        auto* view = static_cast<PdfPagesView*>(widget());
        return view->pageText(view->currentPage());
    }
};

QAccessibleInterface* pagesFactory(const QString& className, QObject* object)
{
    if (className != QLatin1String(PdfPagesView::staticMetaObject.className())) return nullptr;
    auto* view = qobject_cast<PdfPagesView*>(object);
    return view ? new PagesAccessible(view) : nullptr;
}

} // namespace

void installPagesAccessible()
{
    static bool installed = false;
    if (installed) return;
    installed = true;
    QAccessible::installFactory(pagesFactory);
}

} // namespace PdfView
