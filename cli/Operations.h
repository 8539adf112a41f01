#pragma once

#include "cli/BackupFile.h"
#include "cli/ExitStatus.h"
#include "cli/LineTrace.h"
#include "cli/WriteValues.h"
#include "model/ByteString.h"
#include "model/NetworkType.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <optional>

struct Invocation;
class CCollectingSink;
class CMessageSink;
class CNetAttributes;
class CNetConfigApp;
enum class StoredRead;

// The operations the single commands and the commissioning rows are made of, on the link of `app`: a command runs them on theApp, a
// commissioning worker on an application object of its own. Failures are told on the app's messages.
struct Run {
    const Invocation& invocation; // --retries, --no-verify, --dry-run
    CLineTrace& watch;            // watches this app's link alone
    CNetConfigApp& app;
    const std::atomic<bool>* stop = nullptr; // once set, no further request starts
    CMessageSink* notes = nullptr;           // where notes go instead of standard error
};

// What came of a request, its repeats included: done, or where it failed (the port did not open, the
// line failed, the controller refused it with a status), or that none started as the run stops.
struct RequestResult {
    bool done = false;
    LinkFailure where = LinkFailure::None;
    bool stopped = false;

    explicit operator bool() const { return done; }
    // The exit status of a request that failed.
    ExitStatus Status() const;
};

// A read of what the controller holds of one type.
struct HeldRead {
    StoredRead outcome;
    RequestResult request;

    ExitStatus Status() const;
};

// Whether the run has been asked to stop: no further request starts.
bool Stopped(const Run& run);

// An error of the companion's own, told where the link's are, so that --json and a row's record get it too.
void Complain(CNetConfigApp& app, const QString& message);
// Complains and returns ExitRefused.
ExitStatus Refuse(CNetConfigApp& app, const QString& message);
// A note that the outcome does not hang on: on the run's notes, or standard error.
void Note(const Run& run, const QString& text);
// A dialog's sentence without its closing mark, to go on with details.
QString Clause(const char* text);

// `id`, when given, receives the controller's answer.
RequestResult StatusIdAnswered(const Run& run, ByteString* id = nullptr);

// Reads what the controller holds of the record's type into it, repeating as --retries allows. The
// messages are kept in `messages`: whether "none held" is worth telling is the caller's to decide.
HeldRead ReadHeld(const Run& run, CNetAttributes& record, ByteString& block, CCollectingSink& messages);

// Each type's block the controller holds into `backup`; a type it holds none of stays empty.
ExitStatus ReadHeldBlocks(const Run& run, Backup& backup);

// `record`, of its type, as the controller holds it (`held`; none where it holds none) with `values`
// applied; `set` gets the fields the values set. Ethernet held by none starts from the defaults (the run's
// notes say so), and only with an IP address given; a fieldbus type held by none gives ExitNotProgrammed.
// Values that may not be written give ExitRefused and `refusal`.
ExitStatus ApplyOverHeld(const Run& run, const std::optional<ByteString>& held, const WriteValues& values,
                         CNetAttributes& record, QStringList& set, std::optional<ValueRefusal>& refusal);

// What a write left on the controller: the block (its answer or a read-back says so), not the block (it
// refused it, the request never reached it, or a read-back shows another block), or what is not known.
enum class Written { Yes, No, Unknown };
// "yes", "no" or "unknown", as JSON and the commissioning report give it.
QString WrittenWord(Written written);

struct WriteResult {
    ExitStatus status;
    Written written;
};

// A read-back that fails on the line or at the open, after a lost reply or a dropped connection, is tried
// this many times more (or as --retries says, if more), each after the pause on a fresh open.
inline constexpr int ReadBackRepeats = 3;
inline constexpr std::chrono::milliseconds ReadBackPause{500};

// Writes `block` of `type` (the empty block clears the type) and, unless --no-verify, reads it back:
// what the controller then holds decides the outcome, and where nothing can be read it is not known.
WriteResult WriteBlock(const Run& run, NetworkType type, const ByteString& block);

// Saves `backup` to `path` whole or not at all; returns why it could not, or an empty text.
QString SaveBackup(const QString& path, const Backup& backup);
