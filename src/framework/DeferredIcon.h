// Icons of the program's own pictures that are read only when first drawn or measured. A
// picture file is parsed as soon as an ordinary icon is made from it, and the program makes
// an icon for every command at start-up, although most only ever show in a menu that is
// opened later, if at all.
#pragma once

#include <QIcon>
#include <QString>

// An icon of the picture at `path`, read from it on first use.
QIcon DeferredIcon(const QString& path);
