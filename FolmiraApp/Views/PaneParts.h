#pragma once

// The small pieces of the document panes: the header bar over each pane, the
// refusal shown in place of the large-print copy, and the status bar.

#include <QLabel>
#include <QWidget>

class QHBoxLayout;

namespace FolmiraApp {

class AppModel;

// A label that shortens its text in the middle when it does not fit.
class ElidedLabel : public QLabel {
    Q_OBJECT

public:
    explicit ElidedLabel(QWidget* parent = nullptr);
    void setFullText(const QString& text);
    const QString& fullText() const { return full_; }
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void refit();
    QString full_;
};

// The bar over a pane: its title, then a detail in the secondary colour.
// Read as one element: "Large print, 3 pages · 18 pt …".
class PaneHeader : public QWidget {
    Q_OBJECT

public:
    PaneHeader(const QString& title, QWidget* parent = nullptr);
    void setDetail(const QString& detail);
    QString title() const { return title_->text(); }
    QString detail() const { return detail_->fullText(); }

private:
    QLabel* title_;
    ElidedLabel* detail_;
};

class RefusalView : public QWidget {
    Q_OBJECT

public:
    explicit RefusalView(QWidget* parent = nullptr);
    void setMessage(const QString& message);
    QString message() const { return message_->text(); }

private:
    QLabel* message_;
};

// The bar along the bottom of the document view: the number of notes, which
// the settings panel lists under "What changed".
class StatusBar : public QWidget {
    Q_OBJECT

public:
    explicit StatusBar(AppModel& model, QWidget* parent = nullptr);
    QString text() const { return label_->text(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void refresh();
    AppModel& model_;
    QLabel* icon_;
    QLabel* label_;
};

// A row that centres a (wrapping) widget kept to its maximum width.
QHBoxLayout* centredRow(QWidget* widget);

// A horizontal line between a header and its pane.
QWidget* makeDivider(QWidget* parent);

} // namespace FolmiraApp
