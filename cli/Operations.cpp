#include "cli/Operations.h"

#include "app/NetConfigApp.h"
#include "cli/AttributeText.h"
#include "cli/CommandLine.h"
#include "cli/Interruption.h"
#include "cli/LineTrace.h"
#include "cli/MessageCapture.h"
#include "cli/Output.h"
#include "cli/PortChoice.h"
#include "model/NetAttributes.h"
#include "platform/MessageBoxTypes.h"
#include "res/AttributeMessages.h"
#include "seriallink/frame/MessageCodes.h"

#include <QSaveFile>

#include <algorithm>
#include <functional>

void Complain(CNetConfigApp& app, const QString& message) {
    app.Messages().ShowAppMessage(message, mb::OK | mb::ICONEXCLAMATION);
}

ExitStatus Refuse(CNetConfigApp& app, const QString& message) {
    Complain(app, message);
    return ExitRefused;
}

QString Clause(const char* text) {
    QString clause = TerminalText(QString::fromUtf8(text));
    while (clause.endsWith('.') || clause.endsWith('!'))
        clause.chop(1);
    return clause;
}

void Note(const Run& run, const QString& text) {
    if (run.notes)
        run.notes->ShowAppMessage(text, mb::OK | mb::ICONINFORMATION);
    else
        PrintErrorLine(TerminalText(text));
}

ExitStatus RequestResult::Status() const {
    if (where == LinkFailure::ControllerRefused)
        return ExitControllerRefused;
    return stopped ? ExitInterrupted : ExitLinkFailure;
}

bool Stopped(const Run& run) {
    return run.stop && run.stop->load();
}

ExitStatus HeldRead::Status() const {
    switch (outcome) {
    case StoredRead::Read:
        return ExitSuccess;
    case StoredRead::NotProgrammed:
        return ExitNotProgrammed;
    case StoredRead::Unreadable:
        return ExitLinkFailure;
    case StoredRead::LinkFailed:
        break;
    }
    return request.Status();
}

namespace {

// Runs `request` and repeats it, up to --retries times, while it fails on the line. A request the
// controller refused, or a port that does not open, is not repeated, and none starts once the run is
// asked to stop. The messages of an attempt that is repeated are not shown: the note before the repeat
// names its failure. Those of the last failed attempt go to `kept` when given, for a caller that tells
// them once it knows the outcome, and are shown at once otherwise.
RequestResult Retrying(const Run& run, const std::function<bool()>& request,
                       CCollectingSink* kept = nullptr) {
    for (int attempt = 1;; ++attempt) {
        run.watch.BeginRequest();
        if (Stopped(run))
            return {false, LinkFailure::None, true};
        CCollectingSink messages;
        RequestResult result;
        {
            const CScopedSink quiet(run.app, messages);
            result.done = request();
        }
        // Where it failed is taken as the exchange ends, before another can begin.
        result.where = result.done ? LinkFailure::None : run.watch.Failure();
        result.stopped = !result.done && (result.where == LinkFailure::Interrupted ||
                                          (result.where == LinkFailure::None && Stopped(run)));
        const bool repeat = !result.done && attempt <= run.invocation.retries &&
                            result.where == LinkFailure::Line && !Stopped(run);
        if (!repeat) {
            // The caller tells the interruption, in place of the link's text for an exchange cut off.
            if (result.stopped)
                messages.Clear();
            if (kept && !result.done)
                *kept = messages;
            else
                messages.Replay(run.app.Messages());
            return result;
        }
        Note(run, QStringLiteral("Repeating the request (%1 of %2) after a failure on the line: %3")
                      .arg(attempt)
                      .arg(run.invocation.retries)
                      .arg(run.watch.FailureText()));
    }
}

} // namespace

RequestResult StatusIdAnswered(const Run& run, ByteString* id) {
    return Retrying(run, [&] { return run.app.ReadStatusId(id); });
}

HeldRead ReadHeld(const Run& run, CNetAttributes& record, ByteString& block, CCollectingSink& messages) {
    HeldRead read{StoredRead::LinkFailed, {}};
    read.request = Retrying(run, [&] {
        messages.Clear();
        const CScopedSink quiet(run.app, messages);
        read.outcome = run.app.ReadStoredRecord(record, block);
        return read.outcome == StoredRead::Read || read.outcome == StoredRead::NotProgrammed;
    });
    if (read.request.stopped)
        messages.Clear();
    return read;
}

QString WrittenWord(Written written) {
    switch (written) {
    case Written::Yes:
        return QStringLiteral("yes");
    case Written::No:
        return QStringLiteral("no");
    case Written::Unknown:
        break;
    }
    return QStringLiteral("unknown");
}

namespace {

// Reads back what the controller holds of `type`. A read that failed on the line or at the open (the
// reply lost, the connection dropped, an adapter gone for a moment) is tried again after a pause, on a
// fresh open, as a failed exchange closes the port; one the controller refused is not, and none starts
// once the run stops.
RequestResult ReadBack(const Run& run, NetworkType type, ByteString& held, CCollectingSink& messages) {
    const int repeats = std::max(ReadBackRepeats, run.invocation.retries);
    for (int repeat = 1;; ++repeat) {
        run.watch.BeginRequest();
        if (Stopped(run))
            return {false, LinkFailure::None, true};
        messages.Clear();
        RequestResult read;
        {
            const CScopedSink quiet(run.app, messages);
            read.done = run.app.ReadNetAttributes(held, type);
        }
        read.where = read.done ? LinkFailure::None : run.watch.Failure();
        read.stopped = read.where == LinkFailure::Interrupted;
        if (read || read.stopped || read.where == LinkFailure::ControllerRefused || repeat > repeats)
            return read;
        Note(run, QStringLiteral("Reading the %1 block back again (%2 of %3) after a failure: %4")
                      .arg(NetworkTypeName(type))
                      .arg(repeat)
                      .arg(repeats)
                      .arg(read.where == LinkFailure::Open ? run.watch.TakeOpenFailure().value_or(QString())
                                                           : run.watch.FailureText()));
        PauseUnlessStopped(ReadBackPause, run.stop);
    }
}

} // namespace

// Once a write request has left the port, the controller may hold the block whatever became of the
// reply: the outcome is what the read-back finds, or not known where nothing could be read. A dry run
// writes nothing. An interruption stops before the next request and says how far the write got.
WriteResult WriteBlock(const Run& run, NetworkType type, const ByteString& block) {
    if (run.invocation.dryRun)
        return {ExitSuccess, Written::No};
    const bool clear = block == EmptyAttributeBlock();
    CCollectingSink writeMessages;
    bool lost = false; // a write request left and its exchange failed on the line
    const RequestResult write = Retrying(
        run,
        [&] {
            const bool done = clear ? run.app.ClearAttributes(type) : run.app.ProgramBlock(block, type);
            lost = lost || (!done && run.watch.Sent(MSGCODE_WRITE_NET_ATTR) &&
                            (run.watch.Failure() == LinkFailure::Line ||
                             run.watch.Failure() == LinkFailure::Interrupted));
            return done;
        },
        &writeMessages);
    const QString port = PortDescription(run.app);
    const AttributeMessages& texts = AttributeMessagesFor(type);
    // Without a lost write the controller has not acted: a port that did not open, a refusal, a failure
    // before the write request left.
    if (!write.done && !lost) {
        writeMessages.Replay(run.app.Messages());
        if (write.stopped)
            Complain(run.app,
                     QStringLiteral("Interrupted before the %1 block was written to %2; it was not written.")
                         .arg(NetworkTypeName(type), port));
        return {write.Status(), Written::No};
    }
    // Whether the block was taken is not known yet: the utility's "could not be programmed" would guess.
    writeMessages.Forget(QString::fromUtf8(clear ? texts.clearFailed : texts.programFailed));
    const QString unknown =
        QStringLiteral(
            "Whether %1 holds the %2 block written is not known: the reply to the write was lost and")
            .arg(port, NetworkTypeName(type));
    // A write whose exchange an interruption cut short is told as interrupted, with nothing read back.
    if (!run.invocation.verify && !write.stopped) {
        if (write.done)
            return {ExitSuccess, Written::Yes};
        writeMessages.Replay(run.app.Messages());
        Complain(run.app, unknown + QStringLiteral(" --no-verify reads nothing back."));
        return {ExitLinkFailure, Written::Unknown};
    }

    ByteString held;
    CCollectingSink messages;
    const RequestResult read = write.stopped ? RequestResult{false, LinkFailure::Interrupted, true}
                                             : ReadBack(run, type, held, messages);
    if (read.stopped) {
        if (write.done) {
            Complain(run.app, QStringLiteral("Interrupted: the %1 block was written to %2 and not read back.")
                                  .arg(NetworkTypeName(type), port));
        } else {
            writeMessages.Replay(run.app.Messages());
            Complain(
                run.app,
                QStringLiteral("Interrupted: the reply to the %1 write was lost and the block was not read "
                               "back; whether %2 holds it is not known.")
                    .arg(NetworkTypeName(type), port));
        }
        return {ExitInterrupted, write.done ? Written::Yes : Written::Unknown};
    }
    if (!read) {
        writeMessages.Replay(run.app.Messages());
        messages.Replay(run.app.Messages());
        if (!write.done) {
            Complain(run.app, unknown + QStringLiteral(" it could not be read back."));
            return {ExitLinkFailure, Written::Unknown};
        }
        Complain(run.app, QStringLiteral("The %1 block could not be read back from %2 to verify it.")
                              .arg(NetworkTypeName(type), port));
        return {ExitLinkFailure, Written::Yes};
    }
    if (held == block) {
        if (!write.done)
            Note(
                run,
                QStringLiteral("The reply to the write was lost, but %1 holds the block written.").arg(port));
        return {ExitSuccess, Written::Yes};
    }
    writeMessages.Replay(run.app.Messages());
    if (!write.done)
        Complain(run.app, QString::fromUtf8(clear ? texts.clearFailed : texts.programFailed));
    Complain(run.app, QStringLiteral("%1 holds the %2 block %3, not the block %4 that was to be written.")
                          .arg(port, NetworkTypeName(type), HexString(held), HexString(block)));
    return {ExitLinkFailure, Written::No};
}

ExitStatus ApplyOverHeld(const Run& run, const std::optional<ByteString>& held, const WriteValues& values,
                         CNetAttributes& record, QStringList& set, std::optional<ValueRefusal>& refusal) {
    const auto type = static_cast<NetworkType>(record.m_nType);
    if (held)
        record.ParseBlock(*held);
    else if (type != NetworkEthernet)
        return ExitNotProgrammed;
    else if (!values.ip) {
        // Switched on at the default address, it would answer where every controller off the shelf does.
        refusal = ValueRefusal{
            QStringLiteral("%1 holds no Ethernet attributes: Ethernet is off, and switching it on "
                           "needs an IP address")
                .arg(PortDescription(run.app)),
            false, std::nullopt};
        return ExitRefused;
    }
    refusal = ApplyWriteValues(values, record, run.invocation.force, set);
    if (!held) {
        // A controller whose Ethernet was disabled gets addresses nobody gave: say which.
        QStringList defaults;
        for (const char* field : {"ipAddress", "subnetMask", "gateway"})
            if (!set.contains(QLatin1String(field)))
                defaults << QString::fromLatin1(field);
        Note(run, QStringLiteral("%1 holds no Ethernet attributes; starting from the defaults%2.")
                      .arg(PortDescription(run.app),
                           defaults.isEmpty() ? QString() : ": " + ChangedFieldsText(record, defaults)));
    }
    return refusal ? ExitRefused : ExitSuccess;
}

ExitStatus ReadHeldBlocks(const Run& run, Backup& backup) {
    for (int type = NetworkEthernet; type <= NetworkProfibus; ++type) {
        CNetAttributes record(static_cast<NetworkType>(type));
        ByteString block;
        CCollectingSink messages;
        const HeldRead read = ReadHeld(run, record, block, messages);
        if (read.outcome == StoredRead::NotProgrammed)
            continue;
        if (read.outcome != StoredRead::Read) {
            messages.Replay(run.app.Messages());
            return read.Status();
        }
        backup.blocks[type - 1] = block;
    }
    return ExitSuccess;
}

QString SaveBackup(const QString& path, const Backup& backup) {
    // Written whole or not at all, so an earlier backup is never left half overwritten.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(BackupToJson(backup)) < 0 || !file.commit())
        return QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
    return {};
}
