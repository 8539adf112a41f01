#pragma once

#include <QRect>
#include <QWidget>

#include <utility>
#include <vector>

class QGroupBox;
class QLineEdit;

// Common base of the attribute pages: a child window built from a dialog template and laid into a
// parent dialog. Enter and Escape inside a page do nothing and are not passed on, so typing in a page
// can never close or otherwise act on the dialog around it.
class CAttributePage : public QWidget {
    Q_OBJECT
public:
    ~CAttributePage() override;

protected:
    CAttributePage(int templateId, QWidget* parent);

    // Builds the page from its template, then runs OnInitDialog. A derived page calls it at the end of
    // its constructor, once its members exist, so that its own OnInitDialog runs.
    bool Create();

    // Binds the control members to their controls; the base binds nothing.
    virtual void DoDataExchange();
    virtual bool OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

    // Numeric edits hold decimal text; see TextToNumber for how text is read back.
    static void SetNumber(QLineEdit& edit, int value);
    static int GetNumber(const QLineEdit& edit);

    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void FitFrames();

    int m_nTemplateId;
    std::vector<std::pair<QGroupBox*, QRect>> m_frames; // each group box with its template rectangle
};
