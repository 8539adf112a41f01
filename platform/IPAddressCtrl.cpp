#include "platform/IPAddressCtrl.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QValidator>

#include <algorithm>

namespace {

// Digits only, and never a value above 255: the field refuses a keystroke that would leave it invalid.
class OctetValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        if (input.size() > 3)
            return Invalid;
        for (QChar c : input)
            if (!c.isDigit() || c.unicode() > '9')
                return Invalid;
        return input.isEmpty() || input.toInt() <= 255 ? Acceptable : Invalid;
    }
};

} // namespace

CIPAddressCtrl::CIPAddressCtrl(QWidget* parent) : QFrame(parent) {
    // Framed like an edit, since it stands where a user expects one.
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 1, 2, 1);
    layout->setSpacing(0);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);

    auto* validator = new OctetValidator(this);
    for (int i = 0; i < FieldCount; ++i) {
        if (i > 0) {
            auto* dot = new QLabel(QStringLiteral("."), this);
            dot->setAlignment(Qt::AlignCenter);
            layout->addWidget(dot);
        }
        auto* field = new QLineEdit(this);
        field->setFrame(false);
        field->setAlignment(Qt::AlignCenter);
        field->setValidator(validator);
        field->setMaxLength(3);
        field->installEventFilter(this);
        // One tab stop for the whole control, as a single window would have.
        if (i > 0)
            field->setFocusPolicy(Qt::ClickFocus);
        connect(field, &QLineEdit::textEdited, this, [this, i](const QString& text) {
            if (text.size() == 3 && i + 1 < FieldCount) {
                m_edFields[i + 1]->setFocus(Qt::OtherFocusReason);
                m_edFields[i + 1]->selectAll();
            }
        });
        m_edFields[i] = field;
        layout->addWidget(field, 1);
    }
    setFocusProxy(m_edFields[0]);
    setFocusPolicy(Qt::StrongFocus);
}

void CIPAddressCtrl::SetAddress(std::uint32_t address) {
    for (int i = 0; i < FieldCount; ++i)
        m_edFields[i]->setText(QString::number((address >> (8 * (FieldCount - 1 - i))) & 0xFFu));
}

int CIPAddressCtrl::GetAddress(std::array<std::uint8_t, FieldCount>& octets) const {
    int nonBlank = 0;
    for (int i = 0; i < FieldCount; ++i) {
        const QString text = m_edFields[i]->text();
        octets[i] = static_cast<std::uint8_t>(text.isEmpty() ? 0 : text.toInt());
        nonBlank += text.isEmpty() ? 0 : 1;
    }
    return nonBlank;
}

int CIPAddressCtrl::GetAddress(std::uint8_t& f0, std::uint8_t& f1, std::uint8_t& f2, std::uint8_t& f3) const {
    std::array<std::uint8_t, FieldCount> octets{};
    const int nonBlank = GetAddress(octets);
    f0 = octets[0], f1 = octets[1], f2 = octets[2], f3 = octets[3];
    return nonBlank;
}

QLineEdit* CIPAddressCtrl::Field(int index) const {
    return index >= 0 && index < FieldCount ? m_edFields[index] : nullptr;
}

void CIPAddressCtrl::NameFields(const QString& controlName) {
    for (int i = 0; i < FieldCount; ++i)
        m_edFields[i]->setAccessibleName(
            QStringLiteral("%1, part %2 of %3").arg(controlName).arg(i + 1).arg(FieldCount));
}

bool CIPAddressCtrl::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return QFrame::eventFilter(watched, event);
    const int index =
        static_cast<int>(std::find(m_edFields.begin(), m_edFields.end(), watched) - m_edFields.begin());
    if (index >= FieldCount)
        return QFrame::eventFilter(watched, event);

    const auto* key = static_cast<QKeyEvent*>(event);
    QLineEdit* field = m_edFields[index];
    if (key->key() == Qt::Key_Period && index + 1 < FieldCount && !field->text().isEmpty()) {
        m_edFields[index + 1]->setFocus(Qt::OtherFocusReason);
        m_edFields[index + 1]->selectAll();
        return true;
    }
    if (key->key() == Qt::Key_Backspace && index > 0 && field->cursorPosition() == 0 &&
        !field->hasSelectedText()) {
        m_edFields[index - 1]->setFocus(Qt::OtherFocusReason);
        m_edFields[index - 1]->end(false);
        return true;
    }
    return QFrame::eventFilter(watched, event);
}
