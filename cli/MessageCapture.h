#pragma once

#include "link/MessageSink.h"

#include <QStringList>

class CLineTrace;
class CNetConfigApp;

// The companion's messages on standard error (unless `print` is false), as terminal lines. A failed open
// is told with the port's device and the system's reason instead of the utility's general text, a refusal
// with the status the controller answered. Every line is kept, for the JSON error report and a
// commissioning report.
class CTerminalSink : public CMessageSink {
public:
    explicit CTerminalSink(CLineTrace& watch, bool print = true) : m_watch(watch), m_bPrint(print) {}

    int ShowAppMessage(const QString& text, unsigned type) override;
    int ShowSystemMessage(const QString& text, const QString& caption, unsigned type) override;

    QStringList m_shown;

private:
    void Tell(const QString& text, unsigned type);
    void Show(const QString& line);

    CLineTrace& m_watch;
    bool m_bPrint;
};

// Keeps messages instead of showing them, to show them later or not at all.
class CCollectingSink : public CMessageSink {
public:
    int ShowAppMessage(const QString& text, unsigned type) override;
    int ShowSystemMessage(const QString& text, const QString& caption, unsigned type) override;

    void Clear() { m_messages.clear(); }
    // Forgets the messages of exactly this text.
    void Forget(const QString& text);
    // Shows what was kept on `sink`, in order.
    void Replay(CMessageSink& sink) const;
    // The kept messages as terminal lines, one a message.
    QString Text() const;

private:
    struct Message {
        QString text;
        QString caption; // empty for the application's own messages
        unsigned type;
    };
    std::vector<Message> m_messages;
};

// Points an application object's messages at `sink` for the life of the guard and puts the earlier sink
// back however the scope is left.
class CScopedSink {
public:
    CScopedSink(CNetConfigApp& app, CMessageSink& sink);
    ~CScopedSink();
    CScopedSink(const CScopedSink&) = delete;
    CScopedSink& operator=(const CScopedSink&) = delete;

private:
    CNetConfigApp& m_app;
    CMessageSink* m_pPrevious;
};
