// Renders the attribute pages and the About box to PNG files, for looking at them as a user would.
// Usage: render_dialogs <output folder>
#include "app/NetConfigApp.h"
#include "ui/AboutDlg.h"
#include "ui/EthernetPage.h"
#include "ui/FieldbusPage.h"

#include <QApplication>
#include <QDir>

#include <cstdio>

namespace {

bool Save(QWidget& widget, const QDir& folder, const char* name) {
    widget.show();
    QApplication::processEvents();
    const QString path = folder.filePath(name);
    const bool saved = widget.grab().save(path);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
    return saved;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    bool ok = QDir().mkpath(folder.path());

    CAboutDlg about;
    ok = Save(about, folder, "about.png") && ok;

    QWidget ethernetHost;
    CEthernetPage ethernet(&ethernetHost);
    ethernetHost.resize(ethernet.size());
    ok = Save(ethernetHost, folder, "ethernet-page.png") && ok;

    QWidget fieldbusHost;
    CFieldbusPage fieldbus(&fieldbusHost);
    fieldbusHost.resize(fieldbus.size());
    for (auto [type, name] : {std::pair{NetworkDeviceNet, "devicenet-page.png"},
                              std::pair{NetworkProfibus, "profibus-page.png"}}) {
        theApp.m_nNetworkType = type;
        fieldbus.ShowRecord();
        ok = Save(fieldbusHost, folder, name) && ok;
    }
    return ok ? 0 : 1;
}
