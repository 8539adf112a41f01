#include "cli/Output.h"

#include "model/Hex.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace {

bool jsonPrinted = false;
QJsonObject errorFields;

void WriteLine(std::FILE* stream, const QString& text) {
    const QByteArray line = text.toLocal8Bit() + '\n';
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stream);
    std::fflush(stream);
}

} // namespace

QString Counted(qsizetype count, const QString& noun, const QString& plural) {
    return QStringLiteral("%1 %2").arg(count).arg(count == 1 ? noun : plural.isEmpty() ? noun + 's' : plural);
}

void PrintLine(const QString& text) {
    WriteLine(stdout, text);
}

void PrintErrorLine(const QString& text) {
    WriteLine(stderr, text);
}

void PrintJson(const QJsonValue& value) {
    const QJsonDocument document =
        value.isArray() ? QJsonDocument(value.toArray()) : QJsonDocument(value.toObject());
    PrintLine(QString::fromUtf8(document.toJson(QJsonDocument::Indented)).trimmed());
    jsonPrinted = true;
}

QJsonObject ErrorJson(const QString& error, int exitStatus) {
    QJsonObject json = errorFields;
    json.insert("error", error);
    json.insert("exitStatus", exitStatus);
    return json;
}

void AddErrorJsonField(const QString& key, const QJsonValue& value) {
    errorFields.insert(key, value);
}

bool JsonPrinted() {
    return jsonPrinted;
}

QString TerminalText(const QString& text) {
    QString line = text.simplified();
    line.replace(QStringLiteral("Devicenet"), QStringLiteral("DeviceNet"));
    return line;
}

QString WithoutCableAdvice(QString line) {
    for (const char* advice :
         {"Check cable, communication port and ports assignment on panel.",
          "Please check the cable and connection.", "Make sure that the device is connected!"})
        line.remove(QLatin1String(advice));
    return line.trimmed();
}

QString HexString(std::span<const std::uint8_t> bytes) {
    return QString::fromStdString(ToHex(bytes, ""));
}
