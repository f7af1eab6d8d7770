// What a printed PDF file says, as pdftotext reads it (pages end in a form feed).
#pragma once

#include <QProcess>
#include <QString>

#include <gtest/gtest.h>

inline QString PdfText(const QString& pdf) {
    QProcess process;
    process.start(QStringLiteral("pdftotext"),
                  {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        ADD_FAILURE() << "pdftotext failed on " << pdf.toStdString() << ": "
                      << process.readAllStandardError().toStdString();
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

inline int PdfPages(const QString& text) {
    return static_cast<int>(text.count(QLatin1Char('\f')));
}
