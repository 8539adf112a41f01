#pragma once

#include "platform/DialogTemplate.h"

// Template 102, the main configuration dialog, and the ids of its controls.
constexpr int IDD_NETCONFIG_DIALOG = 102;

constexpr int IDC_RB_NONE = 1001;
constexpr int IDC_CB_HIDDEN_SEL2 = 1002;
constexpr int IDC_GRP_ACTIONS = 1003;
constexpr int IDC_ST_USE = 1004;
constexpr int IDC_BTN_HELP = 1005;
constexpr int IDC_RB_ETHERNET = 1018;
constexpr int IDC_RB_DEVICENET = 1019;
constexpr int IDC_RB_PROFIBUS = 1020;
constexpr int IDC_CB_COMPORT = 1041;
constexpr int IDC_BTN_SET_DEFAULTS = 1052;
constexpr int IDC_GRP_PAGE_FRAME = 1053;
constexpr int IDC_BTN_DISABLE_ETHERNET = 1054;
constexpr int IDC_BTN_PROGRAM = 1055;
constexpr int IDC_CB_HIDDEN_SEL1 = 1060;

const DialogTemplate& MainDialogTemplate();
