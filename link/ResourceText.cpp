#include "link/ResourceText.h"

QString FormatResourceText(const QString& format, const std::vector<std::string>& args) {
    static const QString conversions = QStringLiteral("diuxXcs");
    QString text;
    text.reserve(format.size());
    qsizetype nextArg = 0;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar conversion = i + 1 < format.size() ? format[i + 1] : QChar();
        if (format[i] != u'%' || conversion.isNull()) {
            text += format[i];
        } else if (conversion == u'%') {
            text += u'%';
            ++i;
        } else if (conversions.contains(conversion) && nextArg < qsizetype(args.size())) {
            text += QString::fromStdString(args[std::size_t(nextArg++)]);
            ++i;
        } else {
            text += format[i];
        }
    }
    return text;
}
