// Where the file dialogs and the directory picker start: in the folder last used for the same
// kind of work, else in the folder of the active document, else in the home folder. The main
// frame gives it the program's settings to keep the folders in and the way to the active
// document; without them (tests of this layer) the folders last for the run.
#pragma once

#include <functional>

#include <QString>

enum class FolderKind {
    Open,   // opening documents
    SaveAs, // saving documents under a new name
    Export, // writing items of a storage out as plain files or folders
    Add,    // picking files to add to a storage
};

namespace FolderMemory {

struct Hooks {
    // The folder stored under `key`, empty when none.
    std::function<QString(const QString& key)> load;
    std::function<void(const QString& key, const QString& folder)> store;
    // The file of the active document, empty when there is none or it has no file yet.
    std::function<QString()> activeDocumentPath;
};

// Installs the hooks (empty ones remove them).
void SetHooks(Hooks hooks);

// The settings key of a kind, under which its folder is stored.
QString Key(FolderKind kind);

// The folder a dialog for `kind` starts in; always an existing folder.
QString StartFolder(FolderKind kind);
// Remembers `folder` (an existing folder) as the last one used for `kind`.
void Remember(FolderKind kind, const QString& folder);
// Remembers the folder that holds the file `path`.
void RememberFileFolder(FolderKind kind, const QString& path);

} // namespace FolderMemory
