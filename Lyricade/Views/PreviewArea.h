#pragma once

// The detail column while a songbook or set list is selected: the book as it
// prints, as pages (one under another, or facing) or as booklet sheets. The
// bar switches between the two and offers facing pages or the sheet; the
// footer gives the booklet's printing instruction and the preview's warnings.
// Everything shown is the model's, except the facing-pages preference, which
// lives in the user's defaults under "facingPages".


#include <QWidget>

#include <memory>

class QBoxLayout;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QSettings;
class QStackedWidget;
class QVBoxLayout;

namespace Lyricade {

class AppModel;
class LineList;
class NoContentView;
class PreviewPages;
class RowFit;

class PreviewArea : public QWidget {
    Q_OBJECT

public:
    static constexpr const char* facingKey = "facingPages";

    // `defaults` holds the facing-pages preference; none: the application's.
    explicit PreviewArea(AppModel& model, std::shared_ptr<QSettings> defaults = nullptr, QWidget* parent = nullptr);
    ~PreviewArea() override;

    bool facing() const;
    void setFacing(bool on);

    QButtonGroup* modePicker() const { return mode_; }
    QComboBox* sheetPicker() const { return sheet_; }
    QCheckBox* facingToggle() const { return facingToggle_; }
    PreviewPages* pages() const { return pages_; }
    NoContentView* emptyState() const { return empty_; }
    // The footer's lines as shown, top to bottom.
    QStringList footerLines() const;
    QWidget* footer() const { return footer_; }
    LineList* warningList() const { return warnings_; }

    static constexpr int warningLines = 4; // shown at once; the rest scrolls

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // The page view keeps at least half the height; the warnings give way.
    void fitFooter();
    void refreshBar();
    void refreshPreview();
    void refreshFooter();

    AppModel& model_;
    std::shared_ptr<QSettings> defaults_;
    QButtonGroup* mode_;
    QLabel* sheetLabel_;
    QComboBox* sheet_;
    QCheckBox* facingToggle_;
    QStackedWidget* stack_;
    PreviewPages* pages_;
    NoContentView* empty_;
    QBoxLayout* bar_;
    RowFit* barFit_;
    QWidget* picker_;
    QWidget* options_;
    QWidget* footer_;
    QWidget* instruction_;
    LineList* warnings_;
};

} // namespace Lyricade
