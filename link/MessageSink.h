#pragma once

#include <QString>

#include <cstdio>

// Where the application object's messages go: message boxes in the utility, standard error in the
// command-line companion. Types are message box types (mb::...).
class CMessageSink {
public:
    virtual ~CMessageSink();

    // The application's own message; returns what the user answered (mb::RESULT_OK).
    virtual int ShowAppMessage(const QString& text, unsigned type) = 0;
    // A text of the operating system's, shown without an owner under its own caption.
    virtual int ShowSystemMessage(const QString& text, const QString& caption, unsigned type) = 0;
};

// Each message as one line on a stream: the application's text as it is, the system's after its
// caption ("Error: ..."). It counts what it has written, so a caller can tell whether a failure was
// explained.
class CStreamMessageSink : public CMessageSink {
public:
    explicit CStreamMessageSink(std::FILE* stream) : m_pStream(stream) {}

    int ShowAppMessage(const QString& text, unsigned type) override;
    int ShowSystemMessage(const QString& text, const QString& caption, unsigned type) override;

    int m_nShown = 0;

private:
    void WriteLine(const QString& text);

    std::FILE* m_pStream;
};
