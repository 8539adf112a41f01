#pragma once

#include <QDialog>
#include <QIcon>

class CEthernetPage;
class CFieldbusPage;
class QComboBox;
class QGroupBox;
class QPushButton;
class QRadioButton;

// System command of the About item.
constexpr unsigned IDM_ABOUTBOX = 0x0010;
// The help topic the Help button opens.
constexpr quintptr HelpContextMainDialog = 0x30000;

// The utility's main window: COM port and network type choice, the page of the chosen type over one
// frame, and the actions that fit it. All attribute data stays in theApp; the view always matches
// theApp.m_nNetworkType and the checked radio button.
class CNetConfigDlg : public QDialog {
    Q_OBJECT
public:
    explicit CNetConfigDlg(QWidget* parent = nullptr);
    ~CNetConfigDlg() override;

    bool OnInitDialog();
    // For DeviceNet and Profibus this reads the controller first and falls back to None on failure.
    void UpdateNetworkView();
    // True when the visible page accepted its input and stored it into the current record.
    bool ValidateAndStore();
    void OnSysCommand(unsigned nID, qintptr lParam);

    CFieldbusPage* m_pFieldbusPage = nullptr;
    CEthernetPage* m_pEthernetPage = nullptr;
    QComboBox* m_cbComPort = nullptr;
    QComboBox* m_cbHiddenSel2 = nullptr;
    QComboBox* m_cbHiddenSel1 = nullptr;
    QRadioButton* m_rbProfibus = nullptr;
    QRadioButton* m_rbDeviceNet = nullptr;
    QRadioButton* m_rbEthernet = nullptr;
    QRadioButton* m_rbNone = nullptr;
    QGroupBox* m_grpPageFrame = nullptr;
    QPushButton* m_btnHelp = nullptr;
    QIcon m_hIcon;

protected:
    void DoDataExchange();
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void ConnectHandlers();
    void ShowControl(int id, bool show);

    void OnSelectNone();
    void OnSelectEthernet();
    void OnSelectDeviceNet();
    void OnSelectProfibus();
    void OnProgram();
    void OnDisableEthernet();
    void OnSetDefaults();
    void OnSelchangeComPort();
    void OnHelpButton();
};
