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

// Both in one pass: QString::replace with a pattern and a replacement of different lengths
// moves the rest of the text again for every batch of matches, which grows with the square
// of a long note's size.
QString LinesForEditing(QString text) {
    if (!text.contains(u'\r')) {
        return text;
    }
    QChar* data = text.data();
    const qsizetype length = text.size();
    qsizetype out = 0;
    for (qsizetype i = 0; i < length; ++i) {
        QChar c = data[i];
        if (c == u'\r') {
            i += i + 1 < length && data[i + 1] == u'\n' ? 1 : 0;
            c = u'\n';
        }
        data[out++] = c;
    }
    text.truncate(out);
    return text;
}

QString LinesForStoring(QString text) {
    const qsizetype breaks = text.count(u'\n');
    if (breaks == 0) {
        return text;
    }
    QString out(text.size() + breaks, Qt::Uninitialized);
    QChar* to = out.data();
    for (const QChar c : std::as_const(text)) {
        if (c == u'\n') {
            *to++ = u'\r';
        }
        *to++ = c;
    }
    return out;
}
