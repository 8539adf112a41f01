#pragma once

#include <QString>

class CNetConfigApp;

// Points the application's link at `port`: "COMn" (n = 1 to 8, any case) picks COM port n, anything
// else is opened as a device. False for an empty name.
bool SelectPort(CNetConfigApp& app, const QString& port);

// The port as the user named it and the device the link opens for it, e.g. "COM1 (/dev/ttyUSB0)".
QString PortDescription(const CNetConfigApp& app);
