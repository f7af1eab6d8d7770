#include "framework/RecentFileList.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

void CRecentFileList::Add(const QString& path) {
    if (path.isEmpty()) {
        return;
    }
    const QString absolute = QFileInfo(path).absoluteFilePath();
    files_.removeAll(absolute);
    files_.prepend(absolute);
    while (files_.size() > size_) {
        files_.removeLast();
    }
}

void CRecentFileList::Remove(int index) {
    if (index >= 0 && index < files_.size()) {
        files_.removeAt(index);
    }
}

void CRecentFileList::ReadList(QSettings& settings) {
    files_.clear();
    settings.beginGroup(QLatin1String(kSection));
    for (int i = 1; i <= size_; ++i) {
        const QString file = settings.value(QStringLiteral("File%1").arg(i)).toString();
        if (!file.isEmpty() && !files_.contains(file)) {
            files_ << file;
        }
    }
    settings.endGroup();
}

void CRecentFileList::WriteList(QSettings& settings) const {
    settings.beginGroup(QLatin1String(kSection));
    for (int i = 1; i <= size_; ++i) {
        const QString key = QStringLiteral("File%1").arg(i);
        if (i <= files_.size()) {
            settings.setValue(key, files_[i - 1]);
        } else {
            settings.remove(key);
        }
    }
    settings.endGroup();
}

QString CRecentFileList::MenuText(int index) const {
    QString path = At(index);
    const QString home = QDir::homePath();
    if (!home.isEmpty() && home != QLatin1String("/") && path.startsWith(home + QLatin1Char('/'))) {
        path = QLatin1Char('~') + path.mid(home.size());
    }
    constexpr qsizetype kMaxLength = 60;
    if (path.size() > kMaxLength) {
        const QString name = QFileInfo(path).fileName();
        const qsizetype keep = std::max<qsizetype>(kMaxLength - name.size() - 4, 8);
        path = path.left(keep) + QStringLiteral(".../") + name;
    }
    path.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return QStringLiteral("&%1 %2").arg(index + 1).arg(path);
}
