#pragma once

#include "cli/BackupFile.h"
#include "cli/ExitStatus.h"
#include "model/ByteString.h"
#include "model/NetworkType.h"

#include <QString>

#include <atomic>

struct Invocation;
class CLineTrace;
class CMessageSink;
class CNetConfigApp;

// The steps the commands are made of, on the link of `app`: a command runs them on theApp, a
// commissioning worker on an application object of its own. Failures are told on the app's messages.
struct Run {
    const Invocation& invocation; // --retries, --no-verify, --dry-run
    CLineTrace& watch;            // watches this app's link alone
    CNetConfigApp& app;
    const std::atomic<bool>* stop = nullptr; // once set, no further request starts
    CMessageSink* notes = nullptr;           // where notes go instead of standard error
};

ExitStatus FailureStatus(const CLineTrace& watch);

// `id`, when given, receives the controller's answer.
bool StatusIdAnswered(const Run& run, ByteString* id = nullptr);

// Each type's block the controller holds into `backup`; a type it holds none of stays empty.
ExitStatus ReadHeldBlocks(const Run& run, Backup& backup);

// Writes `block` of `type` (the empty block clears the type) and, unless --no-verify, reads it back:
// what the controller then holds decides the outcome.
ExitStatus WriteBlock(const Run& run, NetworkType type, const ByteString& block);

// Saves `backup` to `path` whole or not at all; returns why it could not, or an empty text.
QString SaveBackup(const QString& path, const Backup& backup);

// Ranks outcomes for a command that does several things: an interruption is worst, then a failure to
// act, a controller's refusal, refused input, a type held by none, success.
ExitStatus WorseOf(ExitStatus a, ExitStatus b);
