// Account fields are byte strings in the program's code page; the windows show them as text.
#pragma once

#include <string>
#include <string_view>

#include <QString>

QString AccountText(std::string_view bytes);
std::string AccountBytes(const QString& text);
