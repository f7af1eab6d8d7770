// Lets test failures print Qt strings as text.
#pragma once

#include <ostream>

#include <QString>
#include <QStringList>

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QStringList& list, std::ostream* os) {
    *os << '{';
    for (qsizetype i = 0; i < list.size(); ++i) {
        *os << (i > 0 ? ", " : "") << '"' << list[i].toStdString() << '"';
    }
    *os << '}';
}
