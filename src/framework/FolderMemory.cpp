#include "framework/FolderMemory.h"

#include <map>

#include <QDir>
#include <QFileInfo>

namespace FolderMemory {

namespace {

struct State {
    Hooks hooks;
    // Without a settings store the folders are kept here for the run.
    std::map<FolderKind, QString> kept;
};

State& Current() {
    static State state;
    return state;
}

bool IsFolder(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isDir();
}

QString Stored(FolderKind kind) {
    State& state = Current();
    if (state.hooks.load) {
        return state.hooks.load(Key(kind));
    }
    const auto found = state.kept.find(kind);
    return found != state.kept.end() ? found->second : QString();
}

} // namespace

void SetHooks(Hooks hooks) {
    Current().hooks = std::move(hooks);
}

QString Key(FolderKind kind) {
    switch (kind) {
    case FolderKind::Open:
        return QStringLiteral("Open");
    case FolderKind::SaveAs:
        return QStringLiteral("SaveAs");
    case FolderKind::Export:
        return QStringLiteral("Export");
    case FolderKind::Add:
        return QStringLiteral("Add");
    }
    return QString();
}

QString StartFolder(FolderKind kind) {
    // A folder that has gone since (a removed stick, a deleted directory) is passed over.
    if (const QString last = Stored(kind); IsFolder(last)) {
        return QDir::cleanPath(last);
    }
    const State& state = Current();
    if (state.hooks.activeDocumentPath) {
        const QString document = state.hooks.activeDocumentPath();
        if (!document.isEmpty()) {
            if (const QString folder = QFileInfo(document).absolutePath(); IsFolder(folder)) {
                return folder;
            }
        }
    }
    return QDir::homePath();
}

void Remember(FolderKind kind, const QString& folder) {
    if (!IsFolder(folder)) {
        return;
    }
    const QString clean = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    State& state = Current();
    if (state.hooks.store) {
        state.hooks.store(Key(kind), clean);
    } else {
        state.kept[kind] = clean;
    }
}

void RememberFileFolder(FolderKind kind, const QString& path) {
    if (!path.isEmpty()) {
        Remember(kind, QFileInfo(path).absolutePath());
    }
}

} // namespace FolderMemory
