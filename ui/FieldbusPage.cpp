#include "ui/FieldbusPage.h"

#include "app/NetConfigApp.h"
#include "model/AttributeRules.h"
#include "platform/DialogBuilder.h"
#include "platform/MessageBox.h"
#include "res/FieldbusPageTemplate.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

namespace {

// A rule the user's values break: its message, and the field to fix.
bool Refuse(const RuleBreach& breach, QLineEdit* field) {
    AfxMessageBox(breach.message, mb::ICONSTOP);
    if (field)
        field->setFocus();
    return false;
}

QString MacIdLabel() {
    return QStringLiteral("MAC ID (%1-%2)").arg(MacIdMin).arg(MacIdMax);
}

QString NodeAddressLabel() {
    return QStringLiteral("Node Address (%1-%2)").arg(NodeAddressMin).arg(NodeAddressMax);
}

} // namespace

CFieldbusPage::CFieldbusPage(QWidget* parent) : CAttributePage(IDD_FIELDBUS_PAGE, parent) {
    Create();
}

CFieldbusPage::~CFieldbusPage() = default;

void CFieldbusPage::DoDataExchange() {
    m_stMaxString = GetDlgItemAs<QLabel>(*this, IDC_ST_MAX_STRING);
    m_stTimeoutLabel = GetDlgItemAs<QLabel>(*this, IDC_ST_TIMEOUT_LABEL);
    m_stTimeoutUnit = GetDlgItemAs<QLabel>(*this, IDC_ST_TIMEOUT_UNIT);
    m_stPollTimeLabel = GetDlgItemAs<QLabel>(*this, IDC_ST_POLL_TIME_LABEL);
    m_stPollTimeUnit = GetDlgItemAs<QLabel>(*this, IDC_ST_POLL_TIME_UNIT);
    m_grpProperties = GetDlgItemAs<QGroupBox>(*this, IDC_GRP_PROPERTIES);
    m_stOutputWordsLabel = GetDlgItemAs<QLabel>(*this, IDC_ST_OUTPUT_WORDS);
    m_stInputWordsLabel = GetDlgItemAs<QLabel>(*this, IDC_ST_INPUT_WORDS);
    m_stBaudRateLabel = GetDlgItemAs<QLabel>(*this, IDC_ST_BAUD_RATE);
    m_edTimeout = GetDlgItemAs<QLineEdit>(*this, IDC_ED_TIMEOUT);
    m_edPollTime = GetDlgItemAs<QLineEdit>(*this, IDC_ED_POLL_TIME);
    m_edNodeAddress = GetDlgItemAs<QLineEdit>(*this, IDC_ED_NODE_ADDRESS);
    m_edOutputWords = GetDlgItemAs<QLineEdit>(*this, IDC_ED_OUTPUT_WORDS);
    m_edInputWords = GetDlgItemAs<QLineEdit>(*this, IDC_ED_INPUT_WORDS);
    m_cbBaudRate = GetDlgItemAs<QComboBox>(*this, IDC_CB_BAUD_RATE);
    m_stNodeAddressLabel = GetDlgItemAs<QLabel>(*this, IDC_ST_NODE_ADDRESS);
}

bool CFieldbusPage::OnInitDialog() {
    CAttributePage::OnInitDialog();
    // Only a choice the user makes counts as a selection change; selecting from code stores nothing.
    connect(m_cbBaudRate, &QComboBox::activated, this, &CFieldbusPage::OnSelchangeBaudRate);
    m_stNodeAddressLabel->setText(MacIdLabel());
    ShowRecord();
    return true;
}

bool CFieldbusPage::ReadFromController(ByteString& reply) {
    CNetAttributes& record = GetCurrentAttributes();
    if (!theApp.ReadStatusId())
        return false;
    if (record.m_nType != NetworkDeviceNet && record.m_nType != NetworkProfibus)
        return false;
    return theApp.ReadStoredRecord(record, reply) == StoredRead::Read;
}

void CFieldbusPage::ShowRecord() {
    const CNetAttributes& record = GetCurrentAttributes();
    if (record.m_nType == NetworkDeviceNet) {
        m_stOutputWordsLabel->setText("Produced words");
        m_stInputWordsLabel->setText("Consumed words");
        m_grpProperties->setTitle("DeviceNet Properties");
        m_stNodeAddressLabel->setText(MacIdLabel());
        m_stMaxString->hide();
        m_stBaudRateLabel->show();
        m_cbBaudRate->show();
        ShowFields(true);
    } else if (record.m_nType == NetworkProfibus) {
        m_stInputWordsLabel->setText("Input words");
        m_stOutputWordsLabel->setText("Output words");
        m_grpProperties->setTitle("Profibus Properties");
        m_stNodeAddressLabel->setText(NodeAddressLabel());
        m_stMaxString->hide();
        m_stBaudRateLabel->hide();
        m_cbBaudRate->hide();
        ShowFields(true);
    }

    const int baudRate = record.m_byBaudRate;
    m_cbBaudRate->setCurrentIndex(baudRate < m_cbBaudRate->count() ? baudRate : -1);
    SetNumber(*m_edOutputWords, record.m_nOutputWords);
    SetNumber(*m_edInputWords, record.m_nInputWords);
    SetNumber(*m_edTimeout, record.m_nTimeout);
    SetNumber(*m_edPollTime, record.m_nPollTime);
    SetNumber(*m_edNodeAddress, record.m_nNodeAddress);
}

void CFieldbusPage::ShowFields(bool show) {
    m_stTimeoutLabel->hide();
    m_stTimeoutUnit->hide();
    m_stPollTimeLabel->hide();
    m_stPollTimeUnit->hide();
    m_grpProperties->setVisible(show);
    m_stOutputWordsLabel->setVisible(show);
    m_stInputWordsLabel->setVisible(show);
    m_edTimeout->hide();
    m_edPollTime->hide();
    m_edNodeAddress->setVisible(show);
    m_edOutputWords->setVisible(show);
    m_edInputWords->setVisible(show);
    m_stNodeAddressLabel->setVisible(show);
}

void CFieldbusPage::OnSelchangeBaudRate() {
    GetCurrentAttributes().m_byBaudRate = static_cast<std::uint8_t>(m_cbBaudRate->currentIndex() & 0xFF);
}

bool CFieldbusPage::SaveToRecord() {
    const int timeout = GetNumber(*m_edTimeout);
    const int pollTime = GetNumber(*m_edPollTime);
    const int address = GetNumber(*m_edNodeAddress);

    CNetAttributes& record = GetCurrentAttributes();
    if (record.m_nType != NetworkDeviceNet && record.m_nType != NetworkProfibus)
        return false;
    if (const auto breach = CheckNodeAddress(record.m_nType, address))
        return Refuse(*breach, m_edNodeAddress);
    record.m_nNodeAddress = address;
    record.m_nPollTime = pollTime;
    record.m_nTimeout = timeout;

    const int inputWords = GetNumber(*m_edInputWords);
    const int outputWords = GetNumber(*m_edOutputWords);
    if (const auto breach = CheckWordCounts(record.m_nType, inputWords, outputWords)) {
        switch (breach->field) {
        case AttributeField::InputWords:
            return Refuse(*breach, m_edInputWords);
        case AttributeField::OutputWords:
            return Refuse(*breach, m_edOutputWords);
        default:
            return Refuse(*breach, nullptr);
        }
    }
    record.m_nOutputWords = outputWords;
    record.m_nInputWords = inputWords;
    return true;
}
