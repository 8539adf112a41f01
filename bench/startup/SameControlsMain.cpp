// The yardstick for start-up: the utility's main dialog and both attribute pages as a plain Qt program
// would build them. The controls, their texts and places come from the same templates, but each is a
// stock Qt widget put at an absolute pixel rectangle, with none of the utility's own machinery but the
// conversion from dialog units. The pages
// are created and hidden, as the utility starts with no network type chosen.
#include "platform/DialogBuilder.h"
#include "platform/WindowStyles.h"
#include "res/EthernetPageTemplate.h"
#include "res/FieldbusPageTemplate.h"
#include "res/MainDialogTemplate.h"
#include "seriallink/serial/PortName.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>

namespace {

// Four number fields with dots between them.
QWidget* AddressFields(QWidget* parent) {
    auto* frame = new QFrame(parent);
    frame->setFrameShape(QFrame::StyledPanel);
    auto* layout = new QHBoxLayout(frame);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);
    for (int field = 0; field < 4; ++field) {
        if (field > 0)
            layout->addWidget(new QLabel(QStringLiteral("."), frame));
        auto* edit = new QLineEdit(frame);
        edit->setFrame(false);
        edit->setMaxLength(3);
        layout->addWidget(edit, 1);
    }
    return frame;
}

QWidget* Control(const ControlTemplate& control, const DialogTemplate& dialogTemplate, QWidget* parent) {
    if (control.windowClass == QLatin1String("BUTTON")) {
        const unsigned type = control.style & bs::TYPEMASK;
        if (type == bs::GROUPBOX)
            return new QGroupBox(control.text, parent);
        if (type == bs::AUTORADIOBUTTON) {
            auto* radio = new QRadioButton(control.text, parent);
            radio->setChecked(control.id == IDC_RB_NONE);
            return radio;
        }
        return new QPushButton(control.text, parent);
    }
    if (control.windowClass == QLatin1String("STATIC")) {
        auto* label = new QLabel(control.text, parent);
        label->setWordWrap(true);
        label->setAlignment(((control.style & ss::TYPEMASK) == ss::RIGHT ? Qt::AlignRight : Qt::AlignLeft) |
                            Qt::AlignTop);
        return label;
    }
    if (control.windowClass == QLatin1String("EDIT"))
        return new QLineEdit(parent);
    if (control.windowClass == QLatin1String("COMBOBOX")) {
        auto* combo = new QComboBox(parent);
        for (const auto& [id, items] : dialogTemplate.initData)
            if (id == control.id)
                combo->addItems(items);
        if (control.id == IDC_CB_COMPORT)
            for (int port = FirstComPort; port <= LastComPort; ++port)
                combo->addItem(QStringLiteral("Com%1").arg(port));
        return combo;
    }
    return AddressFields(parent);
}

QRect Pixels(const QSize& baseUnits, const ControlTemplate& control) {
    return DialogUnitsToPixels(baseUnits, QRect(control.x, control.y, control.cx, control.cy));
}

// As the utility starts, with no network type chosen: no page frame, no Program or Disable button.
bool ShownAtStart(const ControlTemplate& control) {
    return (control.style & ws::VISIBLE) && control.id != IDC_GRP_PAGE_FRAME &&
           control.id != IDC_BTN_PROGRAM && control.id != IDC_BTN_DISABLE_ETHERNET;
}

void AddControls(QWidget& host, const DialogTemplate& dialogTemplate, const QSize& baseUnits) {
    for (const ControlTemplate& control : dialogTemplate.controls) {
        QWidget* widget = Control(control, dialogTemplate, &host);
        QRect rect = Pixels(baseUnits, control);
        if (control.windowClass == QLatin1String("COMBOBOX"))
            rect.setHeight(widget->sizeHint().height());
        widget->setGeometry(rect);
        widget->setEnabled(!(control.style & ws::DISABLED));
        widget->setVisible(ShownAtStart(control));
    }
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Same controls"));
    const DialogTemplate& mainDialog = MainDialogTemplate();
    QFont font = dialog.font();
    font.setPointSize(mainDialog.pointSize);
    dialog.setFont(font);
    // The utility's conversion from dialog units, so that both windows come out the same size.
    const QSize baseUnits = DialogBaseUnits(font);
    dialog.setFixedSize(DialogUnitsToPixels(baseUnits, QRect(0, 0, mainDialog.cx, mainDialog.cy)).size());
    AddControls(dialog, mainDialog, baseUnits);

    // Both pages exist from the start, hidden, in the page frame's place.
    const auto frame =
        std::find_if(mainDialog.controls.begin(), mainDialog.controls.end(),
                     [](const ControlTemplate& control) { return control.id == IDC_GRP_PAGE_FRAME; });
    for (const DialogTemplate* page : {&EthernetPageTemplate(), &FieldbusPageTemplate()}) {
        auto* pageWidget = new QWidget(&dialog);
        pageWidget->setGeometry(Pixels(baseUnits, *frame));
        AddControls(*pageWidget, *page, baseUnits);
        pageWidget->hide();
    }
    return dialog.exec();
}
