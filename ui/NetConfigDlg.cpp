#include "ui/NetConfigDlg.h"

#include "app/NetConfigApp.h"
#include "platform/DialogBuilder.h"
#include "platform/MessageBox.h"
#include "platform/WindowStyles.h"
#include "res/AttributeMessages.h"
#include "res/MainDialogTemplate.h"
#include "res/ResourceIds.h"
#include "res/StringTable.h"
#include "seriallink/serial/PortName.h"
#include "ui/AboutDlg.h"
#include "ui/ComPortList.h"
#include "ui/EthernetPage.h"
#include "ui/FieldbusPage.h"
#include "ui/HelpTopic.h"
#include "ui/SystemMenu.h"

#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>

namespace {

// The Program button's caption for each network type that can be programmed.
const char* ProgramButtonText(int networkType) {
    switch (networkType) {
    case NetworkEthernet:
        return "Program Ethernet Attributes\n into TALVOR";
    case NetworkDeviceNet:
        return "Program DeviceNet Attributes\n into TALVOR";
    case NetworkProfibus:
        return "Program Profibus Attributes\n into TALVOR";
    default:
        return nullptr;
    }
}

CNetAttributes* ProgrammableRecord(int networkType) {
    switch (networkType) {
    case NetworkEthernet:
        return &theApp.m_EthernetAttr;
    case NetworkDeviceNet:
        return &theApp.m_DeviceNetAttr;
    case NetworkProfibus:
        return &theApp.m_ProfibusAttr;
    default:
        return nullptr;
    }
}

void FillWithIndexTexts(QComboBox& list, int count) {
    for (int i = 0; i < count; ++i)
        list.addItem(QString::number(i));
}

void SelectText(QComboBox& list, int value) {
    list.setCurrentIndex(list.findText(QString::number(value)));
}

} // namespace

CNetConfigDlg::CNetConfigDlg(QWidget* parent)
    : QDialog(parent), m_hIcon(QIcon(LoadIconResource(IDR_MAINFRAME))) {
    // Caption and system menu, a fixed frame, no minimise or maximise box.
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    BuildFromTemplate(*this, MainDialogTemplate(), [](QWidget& host, int id) -> QComboBox* {
        return id == IDC_CB_COMPORT ? new CComPortList(&host) : nullptr;
    });
    OnInitDialog();
}

CNetConfigDlg::~CNetConfigDlg() = default;

void CNetConfigDlg::DoDataExchange() {
    m_cbComPort = GetDlgItemAs<QComboBox>(*this, IDC_CB_COMPORT);
    m_cbHiddenSel2 = GetDlgItemAs<QComboBox>(*this, IDC_CB_HIDDEN_SEL2);
    m_cbHiddenSel1 = GetDlgItemAs<QComboBox>(*this, IDC_CB_HIDDEN_SEL1);
    m_rbProfibus = GetDlgItemAs<QRadioButton>(*this, IDC_RB_PROFIBUS);
    m_rbDeviceNet = GetDlgItemAs<QRadioButton>(*this, IDC_RB_DEVICENET);
    m_rbEthernet = GetDlgItemAs<QRadioButton>(*this, IDC_RB_ETHERNET);
    m_rbNone = GetDlgItemAs<QRadioButton>(*this, IDC_RB_NONE);
    m_grpPageFrame = GetDlgItemAs<QGroupBox>(*this, IDC_GRP_PAGE_FRAME);
    m_btnHelp = GetDlgItemAs<QPushButton>(*this, IDC_BTN_HELP);
}

void CNetConfigDlg::ConnectHandlers() {
    // `activated` fires for the user's choice only, not when code selects an entry.
    connect(m_cbComPort, &QComboBox::activated, this, &CNetConfigDlg::OnSelchangeComPort);
    connect(m_rbEthernet, &QAbstractButton::clicked, this, &CNetConfigDlg::OnSelectEthernet);
    connect(m_rbDeviceNet, &QAbstractButton::clicked, this, &CNetConfigDlg::OnSelectDeviceNet);
    connect(m_rbProfibus, &QAbstractButton::clicked, this, &CNetConfigDlg::OnSelectProfibus);
    connect(m_rbNone, &QAbstractButton::clicked, this, &CNetConfigDlg::OnSelectNone);
    connect(GetDlgItemAs<QPushButton>(*this, IDC_BTN_SET_DEFAULTS), &QAbstractButton::clicked, this,
            &CNetConfigDlg::OnSetDefaults);
    connect(GetDlgItemAs<QPushButton>(*this, IDC_BTN_DISABLE_ETHERNET), &QAbstractButton::clicked, this,
            &CNetConfigDlg::OnDisableEthernet);
    connect(GetDlgItemAs<QPushButton>(*this, IDC_BTN_PROGRAM), &QAbstractButton::clicked, this,
            &CNetConfigDlg::OnProgram);
    connect(m_btnHelp, &QAbstractButton::clicked, this, &CNetConfigDlg::OnHelpButton);
    // F1 anywhere in the window, the pages included, is the framework's Help command.
    connect(new QShortcut(QKeySequence::HelpContents, this), &QShortcut::activated, this,
            [] { theApp.OnCommand(id::HELP); });
}

bool CNetConfigDlg::OnInitDialog() {
    DoDataExchange();
    ConnectHandlers();

    if (CSystemMenu* systemMenu = CSystemMenu::GetSystemMenu(this)) {
        const QString aboutText = LoadResourceString(IDS_ABOUTBOX);
        if (!aboutText.isEmpty()) {
            systemMenu->AppendSeparator();
            systemMenu->AppendString(IDM_ABOUTBOX, aboutText);
            connect(systemMenu, &CSystemMenu::SysCommand, this, &CNetConfigDlg::OnSysCommand);
        }
    }

    setWindowIcon(m_hIcon);

    m_pFieldbusPage = new CFieldbusPage(this);
    m_pEthernetPage = new CEthernetPage(this);

    // The frame is a direct child, so its geometry already is in the dialog's client coordinates.
    const QRect pageArea = m_grpPageFrame->geometry();
    m_pFieldbusPage->setGeometry(pageArea);
    m_pEthernetPage->setGeometry(pageArea);

    switch (theApp.m_nNetworkType) {
    case NetworkNone:
        OnSelectNone();
        break;
    case NetworkEthernet:
        OnSelectEthernet();
        break;
    case NetworkDeviceNet:
        OnSelectDeviceNet();
        break;
    case NetworkProfibus:
        OnSelectProfibus();
        break;
    }

    FillWithIndexTexts(*m_cbHiddenSel1, 3);
    FillWithIndexTexts(*m_cbHiddenSel2, 9);
    SelectText(*m_cbHiddenSel1, theApp.m_nHiddenSel1);
    SelectText(*m_cbHiddenSel2, theApp.m_nHiddenSel2);

    m_cbComPort->clear();
    for (int port = FirstComPort; port <= LastComPort; ++port)
        m_cbComPort->addItem(QStringLiteral("Com%1").arg(port));
    m_cbComPort->setCurrentIndex(theApp.m_nComPort);
    return true;
}

void CNetConfigDlg::ShowControl(int id, bool show) {
    GetDlgItem(*this, id)->setVisible(show);
}

void CNetConfigDlg::OnSelectNone() {
    theApp.m_nNetworkType = NetworkNone;
    m_rbNone->setChecked(true);
    UpdateNetworkView();
}

void CNetConfigDlg::OnSelectEthernet() {
    theApp.m_nNetworkType = NetworkEthernet;
    m_rbEthernet->setChecked(true);
    UpdateNetworkView();
}

void CNetConfigDlg::OnSelectDeviceNet() {
    theApp.m_nNetworkType = NetworkDeviceNet;
    m_rbDeviceNet->setChecked(true);
    UpdateNetworkView();
}

void CNetConfigDlg::OnSelectProfibus() {
    theApp.m_nNetworkType = NetworkProfibus;
    m_rbProfibus->setChecked(true);
    UpdateNetworkView();
}

void CNetConfigDlg::UpdateNetworkView() {
    const int networkType = theApp.m_nNetworkType;
    switch (networkType) {
    case NetworkNone:
        m_pFieldbusPage->hide();
        m_pEthernetPage->hide();
        m_grpPageFrame->hide();
        ShowControl(IDC_BTN_DISABLE_ETHERNET, false);
        ShowControl(IDC_BTN_PROGRAM, false);
        return;
    case NetworkEthernet:
        m_pEthernetPage->show();
        m_pFieldbusPage->hide();
        break;
    case NetworkDeviceNet:
    case NetworkProfibus: {
        // The screen stays as it was while the controller is read.
        ByteString reply;
        if (!m_pFieldbusPage->ReadFromController(reply)) {
            // The link or the page has told the user why.
            (networkType == NetworkDeviceNet ? m_rbDeviceNet : m_rbProfibus)->setChecked(false);
            OnSelectNone();
            return;
        }
        m_pFieldbusPage->show();
        m_pEthernetPage->hide();
        break;
    }
    default:
        return;
    }

    ShowControl(IDC_GRP_ACTIONS, true);
    ShowControl(IDC_ST_USE, true);
    m_cbComPort->show();
    ShowControl(IDC_BTN_DISABLE_ETHERNET, networkType == NetworkEthernet);
    ShowControl(IDC_BTN_PROGRAM, true);
    GetDlgItemAs<QPushButton>(*this, IDC_BTN_PROGRAM)->setText(ProgramButtonText(networkType));
    if (networkType == NetworkEthernet)
        m_pEthernetPage->ShowRecord();
    else
        m_pFieldbusPage->ShowRecord();
}

bool CNetConfigDlg::ValidateAndStore() {
    bool stored = false;
    switch (theApp.m_nNetworkType) {
    case NetworkEthernet:
        stored = m_pEthernetPage->SaveToRecord();
        break;
    case NetworkDeviceNet:
    case NetworkProfibus:
        stored = m_pFieldbusPage->SaveToRecord();
        break;
    default:
        return false;
    }
    if (!stored)
        return false;
    theApp.m_nHiddenSel1 = m_cbHiddenSel1->currentIndex();
    theApp.m_nHiddenSel2 = m_cbHiddenSel2->currentIndex();
    return true;
}

void CNetConfigDlg::OnProgram() {
    // Validation and link failures have been reported where they were found.
    if (!ValidateAndStore())
        return;
    const int networkType = theApp.m_nNetworkType;
    const CNetAttributes* record = ProgrammableRecord(networkType);
    if (record && theApp.ProgramBlock(record->BuildBlock(), static_cast<NetworkType>(networkType)))
        AfxMessageBox(AttributeMessagesFor(networkType).programmed, mb::OK | mb::ICONINFORMATION);
}

void CNetConfigDlg::OnDisableEthernet() {
    if (theApp.ClearAttributes(NetworkEthernet))
        AfxMessageBox(AttributeMessagesFor(NetworkEthernet).cleared, mb::OK | mb::ICONINFORMATION);
}

void CNetConfigDlg::OnSetDefaults() {
    GetCurrentAttributes().SetDefaults();
    UpdateNetworkView();
    ValidateAndStore();
}

void CNetConfigDlg::OnSelchangeComPort() {
    const int selected = m_cbComPort->currentIndex();
    theApp.m_nComPort = selected >= 1 && selected <= LastComPort ? selected : 0;
}

void CNetConfigDlg::OnHelpButton() {
    OpenHelpTopic(this, AppHelpFilePath(), help::CONTEXT, HelpContextMainDialog);
}

void CNetConfigDlg::OnSysCommand(unsigned nID, qintptr /*lParam*/) {
    // The window manager moves and closes the window itself; only the About command is ours.
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg dlgAbout;
        dlgAbout.DoModal();
    }
}

void CNetConfigDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    m_cbComPort->setCurrentIndex(theApp.m_nComPort);
}

void CNetConfigDlg::keyPressEvent(QKeyEvent* event) {
    // A focused push button takes Enter itself and is pressed; anywhere else Enter ends the dialog
    // as Esc does, with nothing asked and nothing saved.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier)) {
        accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
