#include "platform/MessageBox.h"

#include <QApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QMessageBox>

namespace {

MessageBoxHook& Hook() {
    static MessageBoxHook hook;
    return hook;
}

QMessageBox::Icon IconOf(unsigned type) {
    switch (type & mb::ICONMASK) {
    case mb::ICONSTOP:
        return QMessageBox::Critical;
    case mb::ICONEXCLAMATION:
        return QMessageBox::Warning;
    case mb::ICONINFORMATION:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

// Every box has the one OK button, so closing it any other way also counts as OK.
int ShowBox(QWidget* owner, const MessageBoxRecord& record) {
    if (Hook())
        return Hook()(record);

    QMessageBox box(IconOf(record.type), record.caption, record.text, QMessageBox::Ok, owner);
    if (record.applicationModal) {
        box.setWindowModality(Qt::ApplicationModal);
        box.exec();
    } else if (owner) {
        box.setWindowModality(Qt::WindowModal);
        box.exec();
    } else {
        // QMessageBox starts out modal and exec() would make it application-modal; an ownerless box
        // waits in a loop of its own while the other windows stay usable.
        box.setWindowModality(Qt::NonModal);
        QEventLoop loop;
        QObject::connect(&box, &QMessageBox::finished, &loop, &QEventLoop::quit);
        box.show();
        loop.exec();
    }
    return mb::RESULT_OK;
}

} // namespace

int AfxMessageBox(const QString& text, unsigned type, unsigned /*helpId*/) {
    // Owned by the active window, so the box stands centred over the dialog the user is working in.
    return ShowBox(QApplication::activeWindow(), {text, ApplicationName(), type, true});
}

int SystemMessageBox(QWidget* owner, const QString& text, const QString& caption, unsigned type) {
    return ShowBox(owner, {text, caption, type, (type & mb::TASKMODAL) != 0});
}

QString ApplicationName() {
    if (!QCoreApplication::instance())
        return {};
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

void SetMessageBoxHook(MessageBoxHook hook) {
    Hook() = std::move(hook);
}
