#include "platform/AccessibleControls.h"

#include "platform/AutoRadioButton.h"
#include "platform/DialogBuilder.h"
#include "platform/IPAddressCtrl.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QGroupBox>

namespace {

class AccessibleRadioButton : public QAccessibleWidget {
public:
    explicit AccessibleRadioButton(AutoRadioButton* button)
        : QAccessibleWidget(button, QAccessible::RadioButton) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return WithoutMnemonic(Button()->text());
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.checkable = true;
        state.checked = Button()->isChecked();
        state.pressed = Button()->isDown();
        return state;
    }

    // The frame's title is what a screen reader announces on entering the group.
    QList<QPair<QAccessibleInterface*, QAccessible::Relation>>
    relations(QAccessible::Relation match) const override {
        auto related = QAccessibleWidget::relations(match);
        if ((match & QAccessible::Label) && Button()->Frame())
            related.append({QAccessible::queryAccessibleInterface(Button()->Frame()), QAccessible::Label});
        return related;
    }

    QStringList actionNames() const override {
        QStringList names;
        if (widget()->isEnabled())
            names << toggleAction();
        return names + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& action) override {
        if (action == toggleAction() || action == pressAction()) {
            if (widget()->isEnabled())
                Button()->click();
            return;
        }
        QAccessibleWidget::doAction(action);
    }

private:
    AutoRadioButton* Button() const { return static_cast<AutoRadioButton*>(widget()); }
};

QAccessibleInterface* TemplateControlInterface(const QString&, QObject* object) {
    if (auto* radio = qobject_cast<AutoRadioButton*>(object))
        return new AccessibleRadioButton(radio);
    if (auto* address = qobject_cast<CIPAddressCtrl*>(object))
        return new QAccessibleWidget(address, QAccessible::Grouping);
    return nullptr;
}

} // namespace

void InstallAccessibleControls() {
    [[maybe_unused]] static const bool installed = [] {
        QAccessible::installFactory(TemplateControlInterface);
        return true;
    }();
}
