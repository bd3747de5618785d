#pragma once

#include <QDialog>
#include <optional>

class QSpinBox;
class QPushButton;

namespace tessel {

class TXYGraph;

// Asks for the width and height of a graph picture in pixels.
class TfrmPictureSize : public QDialog {
    Q_OBJECT
public:
    explicit TfrmPictureSize(QWidget *parent = nullptr);

    QSpinBox *sbWidth, *sbHeight;
    QPushButton *btnOk, *btnCancel;

    // Runs the dialog modally; the size chosen, or nothing on Cancel. The
    // first use in a run starts from the graph's size on screen, later ones
    // from the size chosen last.
    static std::optional<QSize> Ask(QWidget *parent, QSize onScreen);
};

// "Save Picture...": the size, then the file (PNG, SVG or PDF by its suffix);
// true when a file was written.
bool SaveGraphPicture(TXYGraph &graph, QWidget *parent);
// "Copy Picture": the size, then the picture onto the clipboard as an image.
bool CopyGraphPicture(TXYGraph &graph, QWidget *parent);

} // namespace tessel
