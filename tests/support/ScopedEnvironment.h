#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <optional>

// Sets an environment variable, or removes it when given no value, for its own lifetime, and then
// puts back what was there before, also when a failed assertion ends the test early.
class ScopedEnvironmentVariable {
public:
    ScopedEnvironmentVariable(const char* name, std::optional<QByteArray> value) : m_name(name) {
        if (qEnvironmentVariableIsSet(name))
            m_saved = qgetenv(name);
        Apply(value);
    }
    ~ScopedEnvironmentVariable() { Apply(m_saved); }
    ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;
    ScopedEnvironmentVariable& operator=(const ScopedEnvironmentVariable&) = delete;

private:
    void Apply(const std::optional<QByteArray>& value) const {
        if (value)
            qputenv(m_name.constData(), *value);
        else
            qunsetenv(m_name.constData());
    }

    QByteArray m_name;
    std::optional<QByteArray> m_saved;
};
