#pragma once

// Notes on song copyright: who owns songs, that printing them for a group
// usually needs a licence, and that the product neither downloads lyrics nor
// reports what is printed. Informative only; it reads and changes nothing.

#include <QDialog>

class QLabel;
class QPushButton;
class QScrollArea;

namespace Lyricade {

class LicensingSheet : public QDialog {
    Q_OBJECT

public:
    static constexpr int sheetWidth = 460; // longer texts make it taller, never wider

    explicit LicensingSheet(QWidget* parent = nullptr);

    QStringList paragraphs() const;
    QPushButton* okButton() const { return ok_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* first_;
    QLabel* second_;
    QPushButton* ok_;
    QScrollArea* scroll_;
};

} // namespace Lyricade
