#include "app/AppSettings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "base/ProductInfo.h"

namespace AppSettings {

namespace {
const QString kSection = QStringLiteral("Settings");

QString Key(const char* value) {
    return kSection + QLatin1Char('/') + QLatin1String(value);
}
} // namespace

std::unique_ptr<QSettings> Open() {
    auto settings = std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                                QString::fromLatin1(kRegistryKey),
                                                QString::fromLatin1(kAppTitle));
    // The file lists recent documents: it and its folder are the user's alone. Created
    // empty and owner-only here, it keeps its mode when the settings are written over it.
    const QString path = settings->fileName();
    const QString folder = QFileInfo(path).absolutePath();
    if (!QFileInfo::exists(folder)) {
        QDir().mkpath(folder);
        ::chmod(QFile::encodeName(folder).constData(), 0700);
    }
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ::fchmod(fd, 0600);
        ::close(fd);
    }
    return settings;
}

int GetShowWizard() {
    return Open()->value(Key("wzrd"), 1).toInt();
}

void SetShowWizard(int value) {
    Open()->setValue(Key("wzrd"), value);
}

WindowPlacement DefaultPlacement(const QSize& screen) {
    return {
        100, 100, screen.width() / 5 * 3, screen.height() / 5 * 3, screen.width(), screen.height()};
}

WindowPlacement ResolvePlacement(const WindowPlacement& stored, const QSize& screen) {
    if (stored.xScreen == screen.width() && stored.yScreen == screen.height()) {
        return stored;
    }
    return DefaultPlacement(screen);
}

WindowPlacement LoadWindowPlacement(const QSize& screen) {
    const auto settings = Open();
    const WindowPlacement d = DefaultPlacement(screen);
    WindowPlacement stored;
    stored.x = settings->value(Key("X"), d.x).toInt();
    stored.y = settings->value(Key("Y"), d.y).toInt();
    stored.cx = settings->value(Key("CX"), d.cx).toInt();
    stored.cy = settings->value(Key("CY"), d.cy).toInt();
    stored.xScreen = settings->value(Key("XScreen"), d.xScreen).toInt();
    stored.yScreen = settings->value(Key("YScreen"), d.yScreen).toInt();
    WindowPlacement placement = ResolvePlacement(stored, screen);
    // The state holds whatever the screen: a maximised window fills the new one as well.
    placement.maximized = settings->value(Key("Maximized"), 0).toInt() != 0;
    return placement;
}

QRect FitIntoArea(const QRect& frame, const QRect& area) {
    if (area.isEmpty()) {
        return frame;
    }
    const int width = std::clamp(frame.width(), 1, area.width());
    const int height = std::clamp(frame.height(), 1, area.height());
    const int x = std::clamp(frame.x(), area.left(), area.left() + area.width() - width);
    const int y = std::clamp(frame.y(), area.top(), area.top() + area.height() - height);
    return {x, y, width, height};
}

void SaveWindowPlacement(const QRect& frame, const QSize& screen, bool maximized) {
    if (frame.left() == -4) {
        return;
    }
    const auto settings = Open();
    settings->setValue(Key("X"), frame.left());
    settings->setValue(Key("Y"), frame.top());
    settings->setValue(Key("CX"), frame.width());
    settings->setValue(Key("CY"), frame.height());
    settings->setValue(Key("XScreen"), screen.width());
    settings->setValue(Key("YScreen"), screen.height());
    settings->setValue(Key("Maximized"), maximized ? 1 : 0);
}

QString LastFolder(const QString& key) {
    return Open()->value(QStringLiteral("Folders/") + key).toString();
}

void SetLastFolder(const QString& key, const QString& folder) {
    Open()->setValue(QStringLiteral("Folders/") + key, folder);
}

int LayoutSize(const QString& key) {
    return Open()->value(QStringLiteral("Layout/") + key, 0).toInt();
}

void SetLayoutSize(const QString& key, int size) {
    Open()->setValue(QStringLiteral("Layout/") + key, size);
}

QString CodePageName() {
    return Open()->value(Key("CodePage")).toString();
}

} // namespace AppSettings
