#include "PdfView/Widgets/PagesAccessible.h"

#include "PdfView/Widgets/PdfPagesView.h"
#include "PdfView/Widgets/ShownText.h"

#include <QAccessibleWidget>

namespace PdfView {

namespace {

class PagesAccessible : public QAccessibleWidget, public ShownTextAccessible {
public:
    explicit PagesAccessible(PdfPagesView* view) : QAccessibleWidget(view, QAccessible::Document) {}

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface) return static_cast<ShownTextAccessible*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.readOnly = true;
        state.multiLine = true;
        return state;
    }

    // (Its name and description are the widget's.)
    using QAccessibleWidget::text;
    using ShownTextAccessible::text;

private:
    QString shownText() const override
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
