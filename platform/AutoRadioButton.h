#pragma once

#include <QGroupBox>
#include <QPointer>
#include <QRadioButton>

// An automatic radio button of a dialog template. A user's click checks it and clears the other
// automatic radio buttons of its group; code setting or clearing a check affects this button alone,
// which is why Qt's own exclusiveness stays off.
class AutoRadioButton : public QRadioButton {
    Q_OBJECT
public:
    AutoRadioButton(const QString& text, int group, QWidget* parent);

    // The group box framing the button, which names its group for a screen reader; may be null.
    QGroupBox* Frame() const { return m_grpFrame; }
    void SetFrame(QGroupBox* frame) { m_grpFrame = frame; }

protected:
    void nextCheckState() override;

private:
    int m_nGroup;
    QPointer<QGroupBox> m_grpFrame;
};
