// Account fields are byte strings in the program's code page; the windows show them as text.
#pragma once

#include <string>
#include <string_view>

#include <QString>

QString AccountText(std::string_view bytes);
std::string AccountBytes(const QString& text);

// Multi-line fields and notes keep their lines separated by CR LF; an edit box holds one LF
// per line. LinesForEditing turns CR LF and a lone CR into LF; LinesForStoring turns LF into
// CR LF.
QString LinesForEditing(QString text);
QString LinesForStoring(QString text);
