#include "FolmiraApp/Views/DocumentView.h"

#include "FolmiraApp/Model/AppModel.h"
#include "FolmiraApp/Model/QtText.h"
#include "FolmiraApp/Model/Wording.h"
#include "FolmiraApp/Views/EmptyStateView.h"
#include "FolmiraApp/Views/FocusKeeper.h"
#include "FolmiraApp/Views/Icons.h"
#include "FolmiraApp/Views/PaneParts.h"
#include "FolmiraApp/Views/Panes.h"
#include "FolmiraApp/Views/SettingsPanel.h"
#include "Lyricade/Views/ColumnFit.h"
#include "Lyricade/Views/TabOrder.h"

#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QScrollBar>
#include <QDragEnterEvent>
#include <QMenu>
#include <QMimeData>
#include <QSplitter>
#include <QStackedWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

namespace FolmiraApp {

using FolmiraKit::LargePrintPreset;

namespace {

// Runs `then` whenever `form` asks for a new layout (its fonts set, its
// choices filled) or shows.
class OnLayout : public QObject {
public:
    OnLayout(QWidget* form, std::function<void()> then) : QObject(form), then_(std::move(then))
    {
        form->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::LayoutRequest || event->type() == QEvent::Show) then_();
        return false;
    }

private:
    std::function<void()> then_;
};

} // namespace

DocumentView::DocumentView(AppModel& model, QWidget* parent) : QWidget(parent), model_(model)
{
    setAcceptDrops(true);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    columns_ = new QSplitter(Qt::Horizontal, this);
    columns_->setChildrenCollapsible(false);

    auto* documentSide = new QWidget(columns_);
    auto* sideColumn = new QVBoxLayout(documentSide);
    sideColumn->setContentsMargins(0, 0, 0, 0);
    sideColumn->setSpacing(0);
    area_ = new QStackedWidget(documentSide);
    empty_ = new EmptyStateView(model_, area_);
    area_->addWidget(empty_);
    status_ = new StatusBar(model_, documentSide);
    sideColumn->addWidget(area_, 1);
    sideColumn->addWidget(status_);

    inspector_ = new SettingsPanel(model_, columns_);
    inspector_->setMaximumWidth(inspectorMaxWidth);
    columns_->addWidget(documentSide);
    columns_->addWidget(inspector_);
    // On a screen too small for the columns' minimums (large fonts scale the
    // whole window), each gives way in proportion: the document side holds
    // the two panes at their minimums, so neither runs under the settings.
    auto* fit = new Lyricade::ColumnFit(columns_);
    fit->setMinimum(documentSide, originalMinWidth + columns_->handleWidth() + largePrintMinWidth);
    // The settings keep the width their form needs with its rows wrapped,
    // before the panes (which scale their pages) or the invitation (which
    // wraps its words and stacks its buttons) give way: else on a small
    // screen at large fonts the form is cut at its right and scrolls across.
    const auto fitInspector = [this, fit] {
        const int least = inspector_->widget()->minimumSizeHint().width() +
                          inspector_->verticalScrollBar()->sizeHint().width() + 2 * inspector_->frameWidth();
        fit->setMinimum(inspector_, std::max(inspectorMinWidth, least), least, least);
    };
    fitInspector();
    new OnLayout(inspector_->widget(), fitInspector);
    columns_->setStretchFactor(0, 1);
    columns_->setStretchFactor(1, 0);
    columns_->setSizes({10000, inspectorIdealWidth});
    outer->addWidget(columns_);

    connect(&model_, &AppModel::fileURLChanged, this, &DocumentView::refreshArea);
    connect(&model_, &AppModel::fileNameChanged, this, [this] { emit titleChanged(title()); });
    connect(&model_, &AppModel::showInspectorChanged, this,
            [this] { inspector_->setVisible(model_.showInspector()); });
    inspector_->setVisible(model_.showInspector());
    refreshArea();
    orderTabs();
}

QWidget* DocumentView::documentArea() const
{
    return area_->currentWidget();
}

QString DocumentView::title() const
{
    return model_.fileName().isEmpty() ? qstr(FolmiraKit::Brand::name) : model_.fileName();
}

void DocumentView::refreshArea()
{
    const QWidget* focus = QApplication::focusWidget();
    const auto within = [focus](const QWidget* part) { return part && (focus == part || part->isAncestorOf(focus)); };
    const bool fromEmpty = !focus || within(empty_);
    const bool fromPanes = focus && within(panes_);
    if (model_.fileURL()) buildPanes();
    QWidget* next = model_.fileURL() ? static_cast<QWidget*>(panes_) : empty_;
    if (area_->currentWidget() == next) return;
    // Let go first of a control that is about to hide, which Qt would hand
    // the focus on from (to Preset) before it reaches its place below.
    if (QWidget* leaving = QApplication::focusWidget(); leaving && within(area_->currentWidget()))
        leaving->clearFocus();
    area_->setCurrentWidget(next);
    // The focus was on what just went: it goes to a named place that a
    // keyboard user expects (the copy; the button that opens another), not
    // to whatever Qt picks next, such as the panes' unnamed splitter.
    if (next == panes_ && fromEmpty) largePrint_->takeFocus();
    else if (next == empty_ && fromPanes) empty_->chooseButton()->setFocus(Qt::OtherFocusReason);
}

void DocumentView::buildPanes()
{
    // Made with the first open file rather than at start-up: the two document
    // views are the costliest part of the window, and the empty state comes first.
    if (panes_) return;
    panes_ = new QSplitter(Qt::Horizontal, area_);
    panes_->setChildrenCollapsible(false);
    original_ = new OriginalPane(model_, panes_);
    largePrint_ = new LargePrintPane(model_, panes_);
    panes_->addWidget(original_);
    panes_->addWidget(largePrint_);
    // The panes share what the document side was given, in proportion.
    auto* fit = new Lyricade::ColumnFit(panes_);
    fit->setMinimum(original_, originalMinWidth);
    fit->setMinimum(largePrint_, largePrintMinWidth);
    panes_->setSizes({10000, 10000});
    area_->addWidget(panes_);
    orderTabs();
}

void DocumentView::orderTabs()
{
    // Tab reads the window as it stands: the document area, the settings
    // beside it from top to bottom, then the status bar. Parts made later
    // (the panes) would otherwise come last, and the status bar, made before
    // the settings, first.
    Lyricade::orderTabs({area_, inspector_, status_});
}

void DocumentView::addToolBarItems(QToolBar* toolBar, QWidget* middle)
{
    open_ = toolBar->addAction(themeIcon("document-open", QStyle::SP_DialogOpenButton), QStringLiteral("Open"));
    open_->setToolTip(QStringLiteral("Open a document (Ctrl+O)"));
    connect(open_, &QAction::triggered, &model_, &AppModel::chooseDocument);
    // Open leads; the other items sit at the trailing end.
    if (!middle) {
        middle = new QWidget(toolBar);
        middle->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    }
    toolBar->addWidget(middle);

    preset_ = new Lyricade::ChoiceButton(toolBar);
    preset_->setIcon(themeIcon("preferences-desktop-font", QStyle::SP_FileDialogDetailedView));
    preset_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    preset_->setAccessibleName(QStringLiteral("Presets"));
    preset_->setToolTip(QStringLiteral("Presets (Ctrl+1–4)"));
    auto* presets = new QMenu(preset_);
    for (const auto& preset : LargePrintPreset::all()) {
        const auto settings = preset.settings;
        presets->addAction(qstr(preset.name), &model_, [this, settings] { model_.setSettings(settings); });
    }
    preset_->setChoices(presets);
    toolBar->addWidget(preset_);

    smaller_ = toolBar->addAction(themeIcon("zoom-out", QStyle::SP_ArrowDown), QStringLiteral("Smaller"));
    smaller_->setToolTip(QStringLiteral("Smaller text (Ctrl+−)"));
    connect(smaller_, &QAction::triggered, &model_, &AppModel::smallerText);
    bigger_ = toolBar->addAction(themeIcon("zoom-in", QStyle::SP_ArrowUp), QStringLiteral("Bigger"));
    bigger_->setToolTip(QStringLiteral("Bigger text (Ctrl+=)"));
    connect(bigger_, &QAction::triggered, &model_, &AppModel::biggerText);

    print_ = toolBar->addAction(themeIcon("document-print", QStyle::SP_FileDialogListView), QStringLiteral("Print"));
    print_->setToolTip(QStringLiteral("Print the large-print copy (Ctrl+P)"));
    connect(print_, &QAction::triggered, &model_, &AppModel::printCopy);
    export_ = toolBar->addAction(themeIcon("document-save-as", QStyle::SP_DialogSaveButton),
                                 QStringLiteral("Export PDF"));
    export_->setToolTip(QStringLiteral("Save the large-print copy as a PDF (Ctrl+E)"));
    connect(export_, &QAction::triggered, &model_, &AppModel::exportPDF);
    settings_ = toolBar->addAction(themeIcon("view-right-pane", QStyle::SP_FileDialogInfoView),
                                   QStringLiteral("Settings"));
    settings_->setToolTip(QStringLiteral("Show or hide the settings (Ctrl+Alt+I)"));
    connect(settings_, &QAction::triggered, &model_, [this] { model_.setShowInspector(!model_.showInspector()); });
    // A toggle, read with its state: pressed while the settings show.
    settings_->setCheckable(true);
    settings_->setChecked(model_.showInspector());
    connect(&model_, &AppModel::showInspectorChanged, settings_,
            [this] { settings_->setChecked(model_.showInspector()); });

    connect(&model_, &AppModel::settingsChanged, this, &DocumentView::refreshToolBar);
    connect(&model_, &AppModel::copyReadyChanged, this, &DocumentView::refreshToolBar);
    keepFocusWhileOff(toolBar->widgetForAction(print_)); // they are off while a new copy is made
    keepFocusWhileOff(toolBar->widgetForAction(export_));
    refreshToolBar();
}

void DocumentView::refreshToolBar()
{
    if (!preset_) return;
    preset_->setChoice(presetTitle(model_.settings()));
    print_->setEnabled(model_.canPrintCopy());
    export_->setEnabled(model_.canExportCopy());
}

bool DocumentView::dropFiles(const QList<QUrl>& urls)
{
    if (urls.isEmpty()) return false;
    const QUrl first = urls.front();
    if (first.isLocalFile()) {
        const auto path = first.toLocalFile().toStdString();
        // After the drop has been answered, like any other opening.
        QTimer::singleShot(0, &model_, [model = &model_, path] { model->open(path); });
    }
    return true;
}

void DocumentView::setDropTargeted(bool targeted)
{
    dropTargeted_ = targeted;
    empty_->setTargeted(targeted);
}

bool DocumentView::overDocumentSide(const QPoint& position) const
{
    // The inspector is no drop target; the panes, empty state and status bar are.
    return !(inspector_->isVisible() && inspector_->rect().contains(inspector_->mapFrom(this, position)));
}

void DocumentView::dragEnterEvent(QDragEnterEvent* event)
{
    if (!event->mimeData()->hasUrls()) return;
    event->acceptProposedAction();
    setDropTargeted(overDocumentSide(event->position().toPoint()));
}

void DocumentView::dragMoveEvent(QDragMoveEvent* event)
{
    const bool over = overDocumentSide(event->position().toPoint());
    setDropTargeted(over);
    if (over) event->acceptProposedAction();
    else event->ignore();
}

void DocumentView::dragLeaveEvent(QDragLeaveEvent*)
{
    setDropTargeted(false);
}

void DocumentView::dropEvent(QDropEvent* event)
{
    setDropTargeted(false);
    if (!overDocumentSide(event->position().toPoint())) return;
    if (dropFiles(event->mimeData()->urls())) event->acceptProposedAction();
}

} // namespace FolmiraApp
