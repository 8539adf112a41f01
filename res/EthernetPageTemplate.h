#pragma once

#include "platform/DialogTemplate.h"

// Template 104, the Ethernet page, and the ids of its controls.
constexpr int IDD_ETHERNET_PAGE = 104;

constexpr int IDC_ED_PORT_NUMBER = 1059;
constexpr int IDC_ST_ETH_TIMEOUT_LABEL = 2562;
constexpr int IDC_ST_ETH_POLL_TIME_LABEL = 2563;
constexpr int IDC_ST_ETH_TIMEOUT_UNIT = 2566;
constexpr int IDC_ST_ETH_POLL_TIME_UNIT = 2567;
constexpr int IDC_ST_SUBNET_MASK = 2568;
constexpr int IDC_ST_GATEWAY = 2569;
constexpr int IDC_ST_IP_ADDRESS = 2570;
constexpr int IDC_IP_GATEWAY = 2571;
constexpr int IDC_IP_SUBNET_MASK = 2572;
constexpr int IDC_IP_ADDRESS = 2573;
constexpr int IDC_ED_ETH_TIMEOUT = 12000;
constexpr int IDC_ED_ETH_POLL_TIME = 12001;

const DialogTemplate& EthernetPageTemplate();
