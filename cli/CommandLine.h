#pragma once

#include <QString>
#include <QStringList>

#include <chrono>
#include <map>
#include <optional>

// One run of the companion as its command line asks for it.
struct Invocation {
    QString command;
    QStringList arguments; // what follows the command: a network type, a file or a command name
    QString port;          // COMn or a device
    bool json = false;
    bool trace = false;
    bool present = false;
    bool force = false;  // write addresses the companion would refuse, restore another controller's backup
    bool verify = true;  // read each written block back
    bool dryRun = false; // print the blocks a write would send, send none
    int retries = 0;     // repeats of a request that failed on the line
    std::optional<std::chrono::milliseconds> settle; // after opening a port with modem lines; unset: default
    std::map<QString, QString> values; // --mac-id, --baud, --node, --ip, --mask, --gateway as given
    // commission
    int jobs = 0; // ports worked at once; 0 for every port of the plan
    bool wait = false;
    std::chrono::seconds waitLimit{0}; // --wait=LIMIT: the run stops after it as if interrupted; 0 for none
    bool ask = false;
    QString report;  // the report file to append to; empty for none
    QString resume;  // the report whose finished rows are not done again
    QString backups; // the folder of the backup files
    bool check = false; // read the controllers and tell what the run would do; write nothing
    // snapshot
    QString output; // the plan's file; "-" for standard output
    bool held = false; // the held- columns too
};

enum class CommandLineOutcome { Run, Help, Version, Refused };

// Reads the arguments (program name first). On Refused, `message` says why.
CommandLineOutcome ParseCommandLine(const QStringList& arguments, Invocation& invocation, QString& message);

// The --help text, exit statuses included; for a command's name, that command's usage and options.
// Empty for a name that is no command.
QString HelpText(const QString& command = QString());

// "Unknown command 'wirte'. Did you mean 'write'?"
QString UnknownCommandText(const QString& name);

// True when the arguments ask for JSON, read without parsing them (for a command line that is refused).
bool AsksForJson(const QStringList& arguments);
