#pragma once

#include "model/ByteString.h"
#include "ui/AttributePage.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;

// The DeviceNet and Profibus page. It always works on the current record: it reads the controller's
// attributes into it, shows it with the labels of its type, and validates and stores the user's values.
class CFieldbusPage : public CAttributePage {
    Q_OBJECT
public:
    explicit CFieldbusPage(QWidget* parent);
    ~CFieldbusPage() override;

    // Reads the current type's attributes from the controller into the current record. `reply` receives
    // the raw reply. False after any failure, which has been reported by then; the record is unchanged.
    bool ReadFromController(ByteString& reply);

    void ShowRecord();
    void ShowFields(bool show);

    // False after a validation message; the address, timeout and poll time may be stored by then.
    bool SaveToRecord();

    void OnSelchangeBaudRate();

protected:
    void DoDataExchange() override;
    bool OnInitDialog() override;

private:
    QLabel* m_stMaxString = nullptr;
    QLabel* m_stTimeoutLabel = nullptr;
    QLabel* m_stTimeoutUnit = nullptr;
    QLabel* m_stPollTimeLabel = nullptr;
    QLabel* m_stPollTimeUnit = nullptr;
    QGroupBox* m_grpProperties = nullptr;
    QLabel* m_stOutputWordsLabel = nullptr;
    QLabel* m_stInputWordsLabel = nullptr;
    QLabel* m_stBaudRateLabel = nullptr;
    QLineEdit* m_edTimeout = nullptr;
    QLineEdit* m_edPollTime = nullptr;
    QLineEdit* m_edNodeAddress = nullptr;
    QLineEdit* m_edOutputWords = nullptr;
    QLineEdit* m_edInputWords = nullptr;
    QComboBox* m_cbBaudRate = nullptr;
    QLabel* m_stNodeAddressLabel = nullptr;
};
