#pragma once

// What the document side shows while no file is open: an invitation to drop
// or choose a file, the samples, the way to Songbook mode, and the refusal of
// a file of a kind Folmira does not read.

#include <QWidget>

class QBoxLayout;
class QLabel;
class QScrollArea;
class QVBoxLayout;
class QMenu;
class QPushButton;
class QToolButton;

namespace FolmiraApp {

class AppModel;

class EmptyStateView : public QWidget {
    Q_OBJECT

public:
    explicit EmptyStateView(AppModel& model, QWidget* parent = nullptr);

    // True while files are dragged over the window: the outline takes the accent colour.
    void setTargeted(bool targeted);
    bool targeted() const { return targeted_; }
    QColor outlineColor() const;

    QPushButton* chooseButton() const { return choose_; }
    QMenu* samplesMenu() const { return samples_; }
    QLabel* errorLabel() const { return error_; }
    QScrollArea* scroller() const { return scroller_; }
    QLabel* title() const { return title_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void refreshError();
    void fillSamples();
    void returnPressed();
    // Narrow or short (a small screen at large fonts), the invitation keeps
    // every word and both start buttons in view: its buttons stack, the
    // Songbook link takes two lines, and margins, gaps and the symbol give way.
    void fitRoom();

    AppModel& model_;
    bool targeted_ = false;
    QPushButton* choose_;
    QMenu* samples_;
    QLabel* error_;
    QWidget* content_; // the scrolled invitation, which draws the outline
    QScrollArea* scroller_;
    QVBoxLayout* column_;
    QBoxLayout* buttons_;
    QWidget* symbol_;
    QLabel* title_;
    QLabel* kinds_;
    QPushButton* songbook_;
    static constexpr int titleSize = 30; // pixels, as the invitation's own heading
};

} // namespace FolmiraApp
