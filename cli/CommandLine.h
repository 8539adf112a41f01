#pragma once

#include <QString>
#include <QStringList>

#include <map>

// One run of the companion as its command line asks for it.
struct Invocation {
    QString command;
    QStringList arguments; // what follows the command: a network type or a file
    QString port;          // COMn or a device
    bool json = false;
    bool trace = false;
    bool present = false;
    std::map<QString, QString> values; // --mac-id, --baud, --node, --ip, --mask, --gateway as given
};

enum class CommandLineOutcome { Run, Help, Version, Refused };

// Reads the arguments (program name first). On Refused, `message` says why.
CommandLineOutcome ParseCommandLine(const QStringList& arguments, Invocation& invocation, QString& message);

// The --help text, exit statuses included.
QString HelpText();
