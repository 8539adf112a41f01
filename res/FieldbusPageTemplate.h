#pragma once

#include "platform/DialogTemplate.h"

// Template 103, the DeviceNet and Profibus page, and the ids of its controls.
constexpr int IDD_FIELDBUS_PAGE = 103;

constexpr int IDC_GRP_PROPERTIES = 1000;
constexpr int IDC_ST_MAX_STRING = 1885;
constexpr int IDC_CB_BAUD_RATE = 2556;
constexpr int IDC_ST_BAUD_RATE = 2561;
constexpr int IDC_ST_TIMEOUT_LABEL = 2562;
constexpr int IDC_ST_POLL_TIME_LABEL = 2563;
constexpr int IDC_ST_INPUT_WORDS = 2564;
constexpr int IDC_ST_OUTPUT_WORDS = 2565;
constexpr int IDC_ST_TIMEOUT_UNIT = 2566;
constexpr int IDC_ST_POLL_TIME_UNIT = 2567;
constexpr int IDC_ED_TIMEOUT = 12000;
constexpr int IDC_ED_POLL_TIME = 12001;
constexpr int IDC_ED_NODE_ADDRESS = 12006;
constexpr int IDC_ED_INPUT_WORDS = 12007;
constexpr int IDC_ED_OUTPUT_WORDS = 12008;
constexpr int IDC_ST_NODE_ADDRESS = 12012;

// The baud rate list's items; the item index is the record's baud rate index.
const QStringList& BaudRateListData();

const DialogTemplate& FieldbusPageTemplate();
