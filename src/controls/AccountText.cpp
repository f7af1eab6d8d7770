#include "controls/AccountText.h"

#include "base/CodePage.h"

QString AccountText(std::string_view bytes) {
    const std::string utf8 = CodePage::Program()->ToUtf8(bytes);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string AccountBytes(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return CodePage::Program()->FromUtf8(std::string_view(utf8.constData(), utf8.size()));
}

QString LinesForEditing(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

QString LinesForStoring(QString text) {
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text;
}
