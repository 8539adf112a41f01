#pragma once

#include <QString>

class CNetConfigApp;

// Points the application's link at `port`: "COMn" (n = 1 to 256, any case) picks COM port n, anything
// else is opened as a device. Returns why the name is refused (a COM number out of range, or outside
// Windows a COM port that no device is behind), or an empty text when the link now uses it.
QString SelectPort(CNetConfigApp& app, const QString& port);

// The port as the user named it and the device the link opens for it, e.g. "COM1 (/dev/ttyUSB0)".
QString PortDescription(const CNetConfigApp& app);
