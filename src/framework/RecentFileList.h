// The most-recently-used file list: newest first, no duplicates, a fixed number of entries,
// kept in the settings under "Recent File List" as "File1", "File2", ...
#pragma once

#include <QString>
#include <QStringList>

class QSettings;

class CRecentFileList {
public:
    explicit CRecentFileList(int size) : size_(size) {}

    const QStringList& Files() const { return files_; }
    QString At(int index) const { return index < files_.size() ? files_[index] : QString(); }

    void Add(const QString& path);
    void Remove(int index);

    void ReadList(QSettings& settings);
    void WriteList(QSettings& settings) const;

    // Menu text of entry `index`: "&1 " and the path, home folder shown as "~", long paths
    // shortened in the middle, "&" doubled.
    QString MenuText(int index) const;

    static constexpr const char* kSection = "Recent File List";

private:
    int size_;
    QStringList files_;
};
