#include "FolmiraApp/Views/MainWindow.h"

#include "FolmiraApp/Model/AppModel.h"
#include "FolmiraApp/Views/DocumentView.h"

#include <QToolBar>

namespace FolmiraApp {

MainWindow::MainWindow(AppModel& model, QWidget* parent) : QMainWindow(parent), model_(model)
{
    setObjectName(QStringLiteral("main"));
    setMinimumSize(minimumWindowSize);
    resize(defaultWindowSize);
    toolBar_ = addToolBar(QStringLiteral("Toolbar"));
    toolBar_->setObjectName(QStringLiteral("toolbar"));
    toolBar_->setMovable(false);
    toolBar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolBar_->setIconSize(QSize(22, 22));
    document_ = new DocumentView(model_, this);
    document_->addToolBarItems(toolBar_);
    setCentralWidget(document_);
    setWindowTitle(document_->title());
    connect(document_, &DocumentView::titleChanged, this, &QMainWindow::setWindowTitle);
}

} // namespace FolmiraApp
