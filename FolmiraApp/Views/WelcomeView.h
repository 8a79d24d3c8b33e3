#pragma once

// The welcome sheet over the main window on the first start: what the product
// does, a card for each mode, the import of the earlier songbook
// application's library, and Close. Only its own buttons and Escape end it;
// each marks the welcome screen as seen through the model's finishWelcome.

#include "FolmiraApp/Model/Kinds.h"

#include <QAbstractButton>
#include <QDialog>

#include <optional>

class QLabel;
class QPushButton;
class QScrollArea;

namespace FolmiraApp {

class AppModel;

// A large button for one mode: its icon, title and text, and a chevron.
// A click anywhere on it, the empty middle included, presses it.
class ModeCard : public QAbstractButton {
    Q_OBJECT

public:
    ModeCard(DocKind kind, const QString& title, const QString& text, QWidget* parent = nullptr);
    DocKind kind() const { return kind_; }
    QString title() const;
    QString text() const;
    // The mode's symbol, in the accent colour.
    QLabel* symbol() const { return symbol_; }
    QLabel* textLabel() const { return text_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    // Return chooses a focused card, as Space does, before the sheet's default button.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void paintSymbol();

    DocKind kind_;
    QLabel* symbol_;
    QLabel* title_;
    QLabel* text_;
};

class WelcomeView : public QDialog {
    Q_OBJECT

public:
    static constexpr int sheetWidth = 600;

    // Window-modal over `parent`. Closes itself when the model's showWelcome
    // turns false.
    WelcomeView(AppModel& model, QWidget* parent = nullptr);

    QString title() const;
    QString introduction() const;
    ModeCard* documentCard() const { return document_; }
    ModeCard* songbookCard() const { return songbook_; }
    QPushButton* importButton() const { return import_; }
    QPushButton* closeButton() const { return close_; }

signals:
    // "Import Tunequill Library…": sent on a later turn of the event loop,
    // after the sheet has been closed.
    void importRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void reject() override; // Escape: the same as Close

private:
    void finish(std::optional<DocKind> kind);
    void followModel();
    void fitToScreen();

    AppModel& model_;
    QLabel* title_;
    QLabel* introduction_;
    ModeCard* document_;
    ModeCard* songbook_;
    QPushButton* import_;
    QPushButton* close_;
    QScrollArea* scroller_;
    QWidget* content_; // what scrolls: the texts and the cards
    QWidget* footer_;  // the buttons, always in view
    bool ending_ = false;
};

} // namespace FolmiraApp
