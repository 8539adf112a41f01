#include "seriallink/SerialComm.h"

#include <QSerialPort>

int CSerialComm::m_nCommMedium = 0;

CSerialComm::CSerialComm() = default;

CSerialComm::~CSerialComm() = default;
