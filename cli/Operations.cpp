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

#include <QSaveFile>

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
RequestResult Retrying(const Run& run, const std::function<bool()>& request, CCollectingSink* kept = nullptr) {
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
        result.stopped = !result.done && result.where == LinkFailure::None && Stopped(run);
        const bool repeat = !result.done && attempt <= run.invocation.retries && result.where == LinkFailure::Line &&
                            !Stopped(run);
        if (!repeat) {
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
    return read;
}

// The outcome is told only once the read-back decides it, whatever became of the write's reply. A dry
// run writes nothing. An interruption stops before the next request and says how far the write got.
ExitStatus WriteBlock(const Run& run, NetworkType type, const ByteString& block) {
    if (run.invocation.dryRun)
        return ExitSuccess;
    const bool clear = block == EmptyAttributeBlock();
    CCollectingSink writeMessages;
    const RequestResult write = Retrying(
        run, [&] { return clear ? run.app.ClearAttributes(type) : run.app.ProgramBlock(block, type); },
        &writeMessages);
    const bool written = write.done;
    const QString port = PortDescription(run.app);
    // Unless the line failed, the controller has not acted: a port that did not open, a refusal.
    if (!written && write.where != LinkFailure::Line) {
        writeMessages.Replay(run.app.Messages());
        if (write.stopped)
            Complain(run.app, QStringLiteral("Interrupted before the %1 block was written to %2; it was not written.")
                         .arg(NetworkTypeName(type), port));
        return write.Status();
    }
    if (!run.invocation.verify) {
        writeMessages.Replay(run.app.Messages());
        return written ? ExitSuccess : write.Status();
    }

    ByteString held;
    CCollectingSink messages;
    const RequestResult read = Retrying(run, [&] {
        messages.Clear();
        const CScopedSink quiet(run.app, messages);
        return run.app.ReadNetAttributes(held, type);
    });
    if (read.stopped) {
        if (written) {
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
        return ExitInterrupted;
    }
    if (!read) {
        writeMessages.Replay(run.app.Messages());
        messages.Replay(run.app.Messages());
        Complain(run.app, QStringLiteral("The %1 block could not be read back from %2 to verify it.")
                     .arg(NetworkTypeName(type), port));
        return ExitLinkFailure;
    }
    if (held == block) {
        if (!written)
            Note(run, QStringLiteral("The reply to the write was lost, but %1 holds the block written.").arg(port));
        return ExitSuccess;
    }
    writeMessages.Replay(run.app.Messages());
    Complain(run.app, QStringLiteral("%1 holds the %2 block %3, not the block %4 that was to be written.")
                 .arg(port, NetworkTypeName(type), HexString(held), HexString(block)));
    return ExitLinkFailure;
}

ExitStatus ApplyOverHeld(const Run& run, const std::optional<ByteString>& held, const WriteValues& values,
                         CNetAttributes& record, QStringList& set, std::optional<ValueRefusal>& refusal) {
    const auto type = static_cast<NetworkType>(record.m_nType);
    if (held)
        record.ParseBlock(*held);
    else if (type != NetworkEthernet)
        return ExitNotProgrammed;
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
