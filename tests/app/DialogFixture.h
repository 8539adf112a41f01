#pragma once

#include "app/NetConfigApp.h"
#include "platform/DialogBuilder.h"
#include "platform/IPAddressCtrl.h"
#include "res/MainDialogTemplate.h"
#include "tests/support/SimulatedControllerTest.h"
#include "ui/EthernetPage.h"
#include "ui/FieldbusPage.h"
#include "ui/NetConfigDlg.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <memory>
#include <vector>

// Fieldbus page controls.
constexpr int kAddressEdit = 12006;
constexpr int kInputWordsEdit = 12007;
constexpr int kOutputWordsEdit = 12008;
constexpr int kBaudRateList = 2556;
// Ethernet page control.
constexpr int kIpAddressCtrl = 2573;

// The main dialog, shown on the offscreen platform, with theApp fresh and its link on the in-process
// simulator behind "Com1".
class DialogTest : public SimulatedControllerTest {
protected:
    void SetUp() override {
        SimulatedControllerTest::SetUp();
        ResetApplicationState();
        dlg = std::make_unique<CNetConfigDlg>();
        dlg->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
    }

    void TearDown() override {
        dlg.reset();
        ResetApplicationState();
        SimulatedControllerTest::TearDown();
    }

    static void ResetApplicationState() {
        theApp.m_ProfibusAttr = CNetAttributes(NetworkProfibus);
        theApp.m_DeviceNetAttr = CNetAttributes(NetworkDeviceNet);
        theApp.m_EthernetAttr = CNetAttributes(NetworkEthernet);
        theApp.m_nNetworkType = NetworkNone;
        theApp.m_nHiddenSel1 = 1;
        theApp.m_nHiddenSel2 = 1;
        theApp.m_nComPort = 0;
    }

    template <class T = QWidget> T* Item(int id) const { return GetDlgItemAs<T>(*dlg, id); }
    template <class T = QWidget> T* FieldbusItem(int id) const {
        return GetDlgItemAs<T>(*dlg->m_pFieldbusPage, id);
    }
    CIPAddressCtrl* IpAddress() const {
        return GetDlgItemAs<CIPAddressCtrl>(*dlg->m_pEthernetPage, kIpAddressCtrl);
    }

    void Click(int id) const { QTest::mouseClick(Item<QAbstractButton>(id), Qt::LeftButton); }

    // Replaces an edit's text as a user would: select everything, type.
    static void Retype(QLineEdit* edit, const QString& text) {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }

    // Programs the controller with a DeviceNet or Profibus block before the user picks the type.
    void PreloadFieldbus(NetworkType type) { sim.Preload(type, CNetAttributes(type).BuildBlock()); }

    std::vector<int> RequestCodes() const {
        std::vector<int> codes;
        for (const auto& request : sim.Requests())
            codes.push_back(request.msgCode);
        return codes;
    }

    std::vector<QString> BoxTexts() const {
        std::vector<QString> texts;
        for (const auto& box : recorder.boxes)
            texts.push_back(box.text);
        return texts;
    }

    std::unique_ptr<CNetConfigDlg> dlg;
};
