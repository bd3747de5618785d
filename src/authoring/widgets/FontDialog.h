#pragma once

#include <QDialog>
#include <QFont>
#include <functional>

class QCheckBox;
class QFontComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace tessel {

// "Font" for the protocol text: family, size (5 points and up), bold,
// italic, underline and strike-out, with a sample. Apply hands the font over
// while the dialog stays open; OK does the same and closes.
class TfrmFont : public QDialog {
    Q_OBJECT
public:
    static constexpr int kMinSize = 5;
    static constexpr int kMaxSize = 72;

    explicit TfrmFont(const QFont &font, QWidget *parent = nullptr);

    QFont SelectedFont() const;
    // Apply and OK.
    std::function<void(const QFont &)> OnApply;

    QFontComboBox *cbFamily = nullptr;
    QSpinBox *edSize = nullptr;
    QCheckBox *cbBold = nullptr, *cbItalic = nullptr, *cbUnderline = nullptr, *cbStrikeOut = nullptr;
    QLabel *lbSample = nullptr;
    QPushButton *btnOk = nullptr, *btnCancel = nullptr, *btnApply = nullptr;

private:
    void updateSample();
};

// Point size of a font set in pixels (as the protocol text is) or points.
int FontPointSize(const QFont &font, int dpi);

} // namespace tessel
