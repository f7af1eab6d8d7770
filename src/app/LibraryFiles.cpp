#include "app/LibraryFiles.h"

#include <cstdlib>

#include <QSettings>
#include <QString>

namespace LibraryFiles {

namespace {
// A directory that can never exist, not even for root: "/dev/null" is a device.
constexpr const char* kNowhere = "/dev/null";
} // namespace

void KeepToThePrograms() {
    // Qt's components keep their settings in the native format under the organisation
    // "QtProject"; the program's own settings are INI files and keep their place.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromLatin1(kNowhere));
    ::setenv("MESA_SHADER_CACHE_DISABLE", "true", 0);
    ::setenv("MESA_GLSL_CACHE_DISABLE", "true", 0);
    ::setenv("__GL_SHADER_DISK_CACHE", "0", 0);
}

} // namespace LibraryFiles
