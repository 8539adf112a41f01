#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <string>

class CNetConfigApp;

// A port as the user named it and the device it reaches, looked up once for a whole run: every request
// of the run reaches that device, even when an adapter plugged in meanwhile renumbers the COM ports.
struct PortChoice {
    QString name;       // "COM3", or the device as the user gave it
    std::string device; // what the link opens
    QString identity;   // the device with its links followed: one text for every name of one device
    // A device server's port as ResolvePlanPort looked its host up: "tcp:ADDRESS:PORT" for each address of
    // the host, sorted, the first of them the identity. Two ports whose addresses meet are one device.
    QStringList addresses;
};

// Where the user named the port, for the texts of a refusal.
enum class PortSource { Option, PlanColumn };

// Looks `port` up: "COMn" (n = 1 to 256, any case) is COM port n as the utility maps it now, anything else
// a device (blanks dropped, a bare node name under /dev). Returns why the name is refused (no name, a COM
// number out of range, or a COM port that no device is behind), or an empty text when `choice` is filled.
QString ResolvePort(const QString& port, PortChoice& choice, PortSource source = PortSource::Option);

// ResolvePort for a plan's port column; outside Windows the device must also be there and be a character
// device, so that a plan naming a device that is not there is refused before anything is written. (A
// Windows COM port is only found out by opening it.) A device server's host is looked up, within the
// link's lookup time, and must be known; its addresses fill `choice.addresses`.
QString ResolvePlanPort(const QString& port, PortChoice& choice);

// Resolves `port` and points the application's link at its device for the rest of the run; returns
// ResolvePort's refusal.
QString SelectPort(CNetConfigApp& app, const QString& port);
// Points the application's link at a port resolved before.
void SelectPort(CNetConfigApp& app, const PortChoice& choice);

// The port chosen last for `app` and the device its link opens, e.g. "COM1 (/dev/ttyUSB0)".
QString PortDescription(const CNetConfigApp& app);
PortChoice ChosenPort(const CNetConfigApp& app);

// The port `app`'s link is pointed at, apart: "port" as named (COMn, or the device) and "device".
QJsonObject PortJson(const CNetConfigApp& app);
// `json` with `app`'s PortJson added.
QJsonObject WithPort(const CNetConfigApp& app, QJsonObject json);
