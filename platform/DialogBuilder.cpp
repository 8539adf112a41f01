#include "platform/DialogBuilder.h"

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

// Checks itself and clears the other automatic radio buttons of its group on a user click only,
// so that code setting or clearing a check affects that button alone.
class AutoRadioButton : public QRadioButton {
public:
    AutoRadioButton(const QString& text, int group, QWidget* parent)
        : QRadioButton(text, parent), m_nGroup(group) {}

protected:
    void nextCheckState() override {
        setChecked(true);
        for (auto* other : parentWidget()->findChildren<AutoRadioButton*>(Qt::FindDirectChildrenOnly))
            if (other != this && other->m_nGroup == m_nGroup)
                other->setChecked(false);
    }

private:
    int m_nGroup;
};

// A static text with a prefix shows "&x" as a mnemonic and "&&" as "&"; without a control to move to
// it still must not show the ampersand itself.
QString WithoutMnemonic(const QString& text) {
    QString plain;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&') && i + 1 < text.size())
            ++i;
        plain += text[i];
    }
    return plain;
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
    if (type == bs::AUTORADIOBUTTON || type == bs::RADIOBUTTON) {
        auto* radio = new AutoRadioButton(control.text, radioGroup, &host);
        radio->setAutoExclusive(false);
        return radio;
    }
    auto* button = new QPushButton(control.text, &host);
    button->setDefault(type == bs::DEFPUSHBUTTON);
    return button;
}

QWidget* CreateEdit(QWidget& host, const ControlTemplate& control) {
    auto* edit = new QLineEdit(control.text, &host);
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
