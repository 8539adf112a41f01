#pragma once

// The application's icon and string table ids; res/StringTable.cpp holds the texts.
constexpr int IDR_MAINFRAME = 128; // the window icon, also shown in the About box

constexpr unsigned IDS_ABOUTBOX = 101; // the About command of the system menu
// Link error texts (link/LinkMessageTable.cpp maps link result codes to them).
constexpr unsigned IDS_ERR_OPEN_PORT = 102;
constexpr unsigned IDS_ERR_PORT_IN_USE = 103;
constexpr unsigned IDS_ERR_CHECKSUM = 104;
constexpr unsigned IDS_ERR_TIME_OUT = 105;
constexpr unsigned IDS_ERR_MESSAGE_CODE = 107;
constexpr unsigned IDS_ERR_OUT_OF_MEMORY = 109;
constexpr unsigned IDS_ERR_MESSAGE_NUMBER = 110;
constexpr unsigned IDS_ERR_MESSAGE_LENGTH = 111;
constexpr unsigned IDS_ERR_TYPE = 112;
constexpr unsigned IDS_ERR_EEPROM_PROGRAM = 113;
constexpr unsigned IDS_ERR_MESSAGE_LOAD = 114;
constexpr unsigned IDS_ERR_READ_ONLY = 115;
constexpr unsigned IDS_ERR_FORMAT = 116;
constexpr unsigned IDS_ERR_IMAGE_NOT_FOUND = 117;
constexpr unsigned IDS_ERR_PORT_CONFLICT = 118;
constexpr unsigned IDS_ERR_PROTECTION = 120;
constexpr unsigned IDS_ERR_IN_MOTION = 122;
constexpr unsigned IDS_ERR_NOT_PROGRAM_MODE = 124;
constexpr unsigned IDS_ERR_PASSWORD = 125;
constexpr unsigned IDS_ERR_FORCE_TYPE = 127;
constexpr unsigned IDS_ERR_USER_ABORT = 128;
constexpr unsigned IDS_ERR_MODEM_ABORT = 129;
constexpr unsigned IDS_ERR_NOT_INITIALIZED = 130;
constexpr unsigned IDS_ERR_ARGUMENT_TYPE = 131;
constexpr unsigned IDS_ERR_CREATE_THREAD = 132;
constexpr unsigned IDS_ERR_CLOSE_PORT = 133;
constexpr unsigned IDS_ERR_NOT_LOADED = 134;
constexpr unsigned IDS_ERR_START_ADDRESS = 135;
constexpr unsigned IDS_ERR_START_REBOOT = 136;
constexpr unsigned IDS_ERR_TRANSMIT = 137;
constexpr unsigned IDS_UNKNOWN_LINK_ERROR = 138;
