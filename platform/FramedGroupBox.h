#pragma once

#include <QGroupBox>

// A group box drawn as a thin frame in the palette's mid colour, its corners rounded by 2 px, with the
// title on the frame line: the title starts 6 px in and keeps 2 px clear of the line on either side,
// and the frame's top is half a line down so that controls placed just below the title stay clear.
// Painted here rather than through a style sheet: one style sheet on any widget makes Qt build a
// style-sheet style and polish widgets through it, a large share of the dialog's start-up.
class FramedGroupBox : public QGroupBox {
public:
    using QGroupBox::QGroupBox;

protected:
    void paintEvent(QPaintEvent* event) override;
};
