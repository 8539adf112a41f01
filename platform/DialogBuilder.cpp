#include "platform/DialogBuilder.h"

#include "platform/AccessibleControls.h"
#include "platform/AutoRadioButton.h"
#include "platform/FramedGroupBox.h"
#include "platform/IPAddressCtrl.h"
#include "platform/WindowStyles.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHash>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QValidator>

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

// A control's id travels in its object name: finding a child by name is a string comparison, where a
// dynamic property is looked up among all of the class's own properties first.
constexpr QLatin1String ControlNamePrefix("control:");

QString ControlName(int id) {
    return ControlNamePrefix + QString::number(id);
}

// Rounds like the platform's MulDiv: half away from zero.
int ScaleRounded(int value, int numerator, int denominator) {
    return static_cast<int>(std::lround(static_cast<double>(value) * numerator / denominator));
}

// An es::NUMBER edit refuses any keystroke but the digits 0 to 9. Checked by hand: a regular
// expression would be compiled at start-up for a test this plain.
class DigitsValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        const bool digitsOnly = std::all_of(input.cbegin(), input.cend(), [](QChar c) {
            return c >= QLatin1Char('0') && c <= QLatin1Char('9');
        });
        return digitsOnly ? Acceptable : Invalid;
    }
};

QWidget* CreateButton(QWidget& host, const ControlTemplate& control, int radioGroup) {
    const unsigned type = control.style & bs::TYPEMASK;
    if (type == bs::GROUPBOX)
        return new FramedGroupBox(control.text, &host);
    if (type == bs::AUTORADIOBUTTON || type == bs::RADIOBUTTON)
        return new AutoRadioButton(control.text, radioGroup, &host);
    auto* button = new QPushButton(control.text, &host);
    button->setDefault(type == bs::DEFPUSHBUTTON);
    return button;
}

// A disabled edit shows a value the user cannot change, and says so to a screen reader as read-only;
// enabled again, it is editable again.
class TemplateEdit : public QLineEdit {
public:
    using QLineEdit::QLineEdit;

protected:
    void changeEvent(QEvent* event) override {
        if (event->type() == QEvent::EnabledChange)
            setReadOnly(!isEnabled());
        QLineEdit::changeEvent(event);
    }
};

QWidget* CreateEdit(QWidget& host, const ControlTemplate& control) {
    auto* edit = new TemplateEdit(control.text, &host);
    if (control.style & es::NUMBER)
        edit->setValidator(new DigitsValidator(edit));
    return edit;
}

QWidget* CreateStatic(QWidget& host, const ControlTemplate& control) {
    auto* label = new QLabel(&host);
    const unsigned type = control.style & ss::TYPEMASK;
    if (type == ss::ICON) {
        const QPixmap icon = LoadIconResource(control.text.mid(1).toInt());
        label->setPixmap(icon);
        return label;
    }
    label->setTextFormat(Qt::PlainText);
    label->setText(control.text);
    label->setWordWrap(type != ss::LEFTNOWORDWRAP);
    const Qt::Alignment horizontal = type == ss::RIGHT    ? Qt::AlignRight
                                     : type == ss::CENTER ? Qt::AlignHCenter
                                                          : Qt::AlignLeft;
    label->setAlignment(horizontal | Qt::AlignTop);
    return label;
}

QWidget* CreateComboBox(QWidget& host, const ControlTemplate& control, const DialogTemplate& dialogTemplate,
                        const ComboBoxMaker& makeComboBox) {
    QComboBox* combo = makeComboBox ? makeComboBox(host, control.id) : nullptr;
    if (combo == nullptr)
        combo = new QComboBox(&host);
    combo->setEditable((control.style & cbs::TYPEMASK) != cbs::DROPDOWNLIST);
    QStringList items;
    for (const auto& [id, strings] : dialogTemplate.initData)
        if (id == control.id)
            items += strings;
    if (control.style & cbs::SORT)
        std::stable_sort(items.begin(), items.end(), [](const QString& a, const QString& b) {
            return a.compare(b, Qt::CaseInsensitive) < 0;
        });
    combo->addItems(items);
    combo->setCurrentIndex(-1);
    return combo;
}

QWidget* CreateControl(QWidget& host, const ControlTemplate& control, const DialogTemplate& dialogTemplate,
                       int radioGroup, const ComboBoxMaker& makeComboBox) {
    const QString windowClass = control.windowClass.toUpper();
    if (windowClass == QLatin1String("BUTTON"))
        return CreateButton(host, control, radioGroup);
    if (windowClass == QLatin1String("EDIT"))
        return CreateEdit(host, control);
    if (windowClass == QLatin1String("STATIC"))
        return CreateStatic(host, control);
    if (windowClass == QLatin1String("COMBOBOX"))
        return CreateComboBox(host, control, dialogTemplate, makeComboBox);
    if (windowClass == QLatin1String("SYSIPADDRESS32"))
        return new CIPAddressCtrl(&host);
    // An unknown class still occupies its place and keeps its id, as an empty window would.
    return new QWidget(&host);
}

void PlaceControl(QWidget& widget, const ControlTemplate& control, const QSize& baseUnits) {
    QRect pixels = DialogUnitsToPixels(baseUnits, QRect(control.x, control.y, control.cx, control.cy));
    const QString windowClass = control.windowClass.toUpper();
    if (windowClass == QLatin1String("COMBOBOX")) {
        // The template height includes the dropped-down list; the closed box is one line high.
        auto* combo = static_cast<QComboBox*>(&widget);
        const int lineHeight = combo->sizeHint().height();
        combo->setMaxVisibleItems(std::max(1, (pixels.height() - lineHeight) / std::max(1, lineHeight)));
        pixels.setHeight(lineHeight);
    } else if (auto* label = qobject_cast<QLabel*>(&widget); label && !label->pixmap().isNull()) {
        // An icon static takes the size of its icon.
        pixels.setSize(label->pixmap().deviceIndependentSize().toSize());
    }
    widget.setGeometry(pixels);
}

// Windows groups controls from one ws::GROUP control up to the next one; the controls before the
// first ws::GROUP control belong to the last group, since the search wraps around the template.
std::vector<int> RadioGroups(const DialogTemplate& dialogTemplate) {
    const auto& controls = dialogTemplate.controls;
    std::vector<int> groups(controls.size(), 0);
    int group = 0;
    for (std::size_t i = 0; i < controls.size(); ++i) {
        if (controls[i].style & ws::GROUP)
            ++group;
        groups[i] = group;
    }
    for (std::size_t i = 0; i < controls.size() && !(controls[i].style & ws::GROUP); ++i)
        groups[i] = group;
    return groups;
}

void SetMnemonics(const std::vector<QWidget*>& widgets, const DialogTemplate& dialogTemplate) {
    for (std::size_t i = 0; i < widgets.size(); ++i) {
        auto* label = qobject_cast<QLabel*>(widgets[i]);
        const ControlTemplate& control = dialogTemplate.controls[i];
        if (!label || (control.style & ss::NOPREFIX) || !label->pixmap().isNull() ||
            !control.text.contains('&'))
            continue;
        QWidget* buddy = nullptr;
        for (std::size_t j = i + 1; j < widgets.size() && !buddy; ++j)
            if ((dialogTemplate.controls[j].style & ws::TABSTOP) && !qobject_cast<QLabel*>(widgets[j]))
                buddy = widgets[j];
        if (buddy) {
            label->setTextFormat(Qt::AutoText);
            label->setBuddy(buddy);
        } else {
            label->setText(WithoutMnemonic(control.text));
        }
    }
}

bool IsTextStatic(const ControlTemplate& control) {
    return control.windowClass.toUpper() == QLatin1String("STATIC") &&
           (control.style & ss::TYPEMASK) != ss::ICON && !control.text.isEmpty();
}

// Statics are texts themselves, and buttons and group boxes show their own; anything else (edits, lists,
// address controls, an untitled frame) is named after a static text.
bool HasOwnText(const ControlTemplate& control) {
    const QString windowClass = control.windowClass.toUpper();
    return windowClass == QLatin1String("STATIC") ||
           (windowClass == QLatin1String("BUTTON") && !control.text.isEmpty());
}

QRect DialogUnitsRect(const ControlTemplate& control) {
    return QRect(control.x, control.y, control.cx, control.cy);
}

// The static text that names control `index`: the one right before it in template order. A static
// text labels the control that follows it, not the ones after that: a second list or the frame around
// them borrows no name from it. A page that lists its labels after their fields has none before them;
// there the eye's pairing stands in: the nearest static text to the control's left whose line meets
// the control's.
std::optional<std::size_t> LabelOf(const DialogTemplate& dialogTemplate, std::size_t index) {
    const auto& controls = dialogTemplate.controls;
    if (std::any_of(controls.begin(), controls.begin() + std::ptrdiff_t(index), IsTextStatic))
        return index > 0 && IsTextStatic(controls[index - 1]) ? std::optional(index - 1) : std::nullopt;
    const QRect control = DialogUnitsRect(controls[index]);
    std::optional<std::size_t> nearest;
    for (std::size_t j = 0; j < controls.size(); ++j) {
        const QRect label = DialogUnitsRect(controls[j]);
        const bool onItsLine = label.top() <= control.bottom() && control.top() <= label.bottom();
        if (!IsTextStatic(controls[j]) || !onItsLine || label.right() >= control.left())
            continue;
        if (!nearest || label.right() > DialogUnitsRect(controls[*nearest]).right())
            nearest = j;
    }
    return nearest;
}

QLabel* BuddyLabelOf(const std::vector<QWidget*>& widgets, const QWidget* control) {
    for (QWidget* widget : widgets)
        if (auto* label = qobject_cast<QLabel*>(widget); label && label->buddy() == control)
            return label;
    return nullptr;
}

// A label names its control through its buddy, so the name follows the label when a page changes
// its text. A label has one buddy, and a control answers to the first label that has it as buddy:
// where the label already serves another control, or another label's mnemonic leads to this control,
// the control takes the label's text as its own name.
void SetAccessibleNames(const std::vector<QWidget*>& widgets, const DialogTemplate& dialogTemplate) {
    for (std::size_t i = 0; i < widgets.size(); ++i) {
        if (HasOwnText(dialogTemplate.controls[i]))
            continue;
        const std::optional<std::size_t> labelIndex = LabelOf(dialogTemplate, i);
        if (!labelIndex)
            continue;
        const ControlTemplate& labelControl = dialogTemplate.controls[*labelIndex];
        const QString name =
            labelControl.style & ss::NOPREFIX ? labelControl.text : WithoutMnemonic(labelControl.text);
        if (auto* address = qobject_cast<CIPAddressCtrl*>(widgets[i]))
            address->NameFields(name);
        auto* label = static_cast<QLabel*>(widgets[*labelIndex]);
        if (!label->buddy() && !BuddyLabelOf(widgets, widgets[i]))
            label->setBuddy(widgets[i]);
        else
            widgets[i]->setAccessibleName(name);
    }
}

// A radio button's group is named by the smallest titled group box whose frame holds the button.
void SetRadioFrames(const std::vector<QWidget*>& widgets, const DialogTemplate& dialogTemplate) {
    const auto& controls = dialogTemplate.controls;
    for (std::size_t i = 0; i < widgets.size(); ++i) {
        auto* radio = qobject_cast<AutoRadioButton*>(widgets[i]);
        if (!radio)
            continue;
        std::optional<std::size_t> smallest;
        for (std::size_t j = 0; j < widgets.size(); ++j) {
            const QRect frame = DialogUnitsRect(controls[j]);
            if (!qobject_cast<QGroupBox*>(widgets[j]) || controls[j].text.isEmpty() ||
                !frame.contains(DialogUnitsRect(controls[i])))
                continue;
            const QRect current = smallest ? DialogUnitsRect(controls[*smallest]) : QRect();
            if (!smallest || frame.width() * frame.height() < current.width() * current.height())
                smallest = j;
        }
        if (smallest)
            radio->SetFrame(static_cast<QGroupBox*>(widgets[*smallest]));
    }
}

// Each question to the font database about a family costs a font configuration lookup, and every
// template names the same face.
bool FamilyInstalled(const QString& family) {
    static QHash<QString, bool> known;
    auto found = known.constFind(family);
    if (found == known.constEnd())
        found = known.insert(family, QFontDatabase::hasFamily(family));
    return *found;
}

} // namespace

// Also what a static shows whose prefix finds no control to move to: never the ampersand itself.
QString WithoutMnemonic(const QString& text) {
    QString plain;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&') && i + 1 < text.size())
            ++i;
        plain += text[i];
    }
    return plain;
}

QFont DialogFont(const QString& fontName, int pointSize) {
    QFont font =
        FamilyInstalled(fontName) ? QFont(fontName) : QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    if (pointSize > 0)
        font.setPointSize(pointSize);
    return font;
}

QSize DialogBaseUnits(const QFont& font) {
    // Shaping the letters is the costly part, and all templates share one font: measured once per font.
    static QHash<QFont, QSize> measured;
    if (const auto found = measured.constFind(font); found != measured.constEnd())
        return *found;
    // The platform's own measure: the mean width of the 52 Latin letters, rounded, and the font height.
    static const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const QFontMetrics metrics(font);
    const int averageWidth = (metrics.horizontalAdvance(letters) / 26 + 1) / 2;
    return *measured.insert(font, QSize(std::max(1, averageWidth), std::max(1, metrics.height())));
}

QPoint DialogUnitsToPixels(const QSize& baseUnits, const QPoint& dialogUnits) {
    return QPoint(ScaleRounded(dialogUnits.x(), baseUnits.width(), 4),
                  ScaleRounded(dialogUnits.y(), baseUnits.height(), 8));
}

QRect DialogUnitsToPixels(const QSize& baseUnits, const QRect& dialogUnits) {
    const QPoint size = DialogUnitsToPixels(baseUnits, QPoint(dialogUnits.width(), dialogUnits.height()));
    return QRect(DialogUnitsToPixels(baseUnits, dialogUnits.topLeft()), QSize(size.x(), size.y()));
}

QPoint DialogUnitsToPixels(const QFont& font, const QPoint& dialogUnits) {
    return DialogUnitsToPixels(DialogBaseUnits(font), dialogUnits);
}

QRect DialogUnitsToPixels(const QFont& font, const QRect& dialogUnits) {
    return DialogUnitsToPixels(DialogBaseUnits(font), dialogUnits);
}

QPixmap LoadIconResource(int resourceId) {
    // Icon resources are PNG files. Naming the format and turning detection off keeps the reader from
    // loading every image format plugin to ask whether it reads the file, which costs more than the
    // decoding itself.
    QImageReader reader(QStringLiteral(":/icons/%1.png").arg(resourceId), "png");
    reader.setAutoDetectImageFormat(false);
    return QPixmap::fromImage(reader.read());
}

void BuildFromTemplate(QWidget& host, const DialogTemplate& dialogTemplate, const ComboBoxMaker& makeComboBox) {
    // Controls inherit the host's font and share its base units.
    const QFont font = DialogFont(dialogTemplate.fontName, dialogTemplate.pointSize);
    host.setFont(font);
    const QSize baseUnits = DialogBaseUnits(font);
    const QSize size =
        DialogUnitsToPixels(baseUnits, QRect(0, 0, dialogTemplate.cx, dialogTemplate.cy)).size();
    if (dialogTemplate.style & ws::CHILD) {
        host.resize(size);
    } else {
        host.setFixedSize(size);
        host.setWindowTitle(dialogTemplate.caption);
    }

    const std::vector<int> groups = RadioGroups(dialogTemplate);
    std::vector<QWidget*> widgets;
    widgets.reserve(dialogTemplate.controls.size());
    for (std::size_t i = 0; i < dialogTemplate.controls.size(); ++i) {
        const ControlTemplate& control = dialogTemplate.controls[i];
        QWidget* widget = CreateControl(host, control, dialogTemplate, groups[i], makeComboBox);
        widget->setObjectName(ControlName(control.id));
        if (!(control.style & ws::TABSTOP) && widget->focusPolicy() != Qt::NoFocus &&
            !qobject_cast<QRadioButton*>(widget))
            widget->setFocusPolicy(Qt::ClickFocus);
        PlaceControl(*widget, control, baseUnits);
        widget->setEnabled(!(control.style & ws::DISABLED));
        // A child of a host not shown yet appears with it; showing each one by hand costs as much as
        // creating it.
        if (!(control.style & ws::VISIBLE) || host.isVisible())
            widget->setVisible(control.style & ws::VISIBLE);
        widgets.push_back(widget);
    }
    for (QWidget* widget : widgets)
        if (qobject_cast<QGroupBox*>(widget))
            widget->lower();
    SetMnemonics(widgets, dialogTemplate);
    SetAccessibleNames(widgets, dialogTemplate);
    SetRadioFrames(widgets, dialogTemplate);
    InstallAccessibleControls();

    if (dialogTemplate.style & ws::CHILD)
        host.setVisible(dialogTemplate.style & ws::VISIBLE);
}

QWidget* GetDlgItem(const QWidget& host, int id) {
    return host.findChild<QWidget*>(ControlName(id), Qt::FindDirectChildrenOnly);
}

int GetDlgCtrlID(const QWidget& control) {
    const QString name = control.objectName();
    if (!name.startsWith(ControlNamePrefix))
        return NoControlId;
    bool ok = false;
    const int id = QStringView(name).sliced(ControlNamePrefix.size()).toInt(&ok);
    return ok ? id : NoControlId;
}
