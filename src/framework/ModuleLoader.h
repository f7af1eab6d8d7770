// Loads one of the program's own modules (a library beside the executable in a build tree,
// in the installed module folder otherwise) and resolves its entry point. A module is loaded
// at most once and kept for the rest of the run; a failure is remembered with its reason.
#pragma once

#include <QFunctionPointer>
#include <QString>

#include <utility>

// Where an installed program keeps its modules, relative to the folder of its executable
// ("../lib/ombrivault" for bin/ and lib/ under one prefix).
extern const char* const kInstalledModuleFolder;

class CModuleLoader {
public:
    // Looks beside the running executable, then in its installed module folder.
    CModuleLoader(const char* fileName, const char* symbol)
        : fileName_(fileName), symbol_(symbol) {}
    // The same for a program whose executable is in `programFolder`.
    CModuleLoader(const char* fileName, const char* symbol, QString programFolder)
        : fileName_(fileName), symbol_(symbol), programFolder_(std::move(programFolder)) {}

    // The entry point, loading the module on the first call; null when it cannot be loaded,
    // with the reason in Error().
    QFunctionPointer Resolve();
    template <typename Function> Function Resolve() {
        return reinterpret_cast<Function>(Resolve());
    }
    bool IsLoaded() const { return entry_ != nullptr; }
    bool Tried() const { return tried_; }
    const QString& Error() const { return error_; }
    // Fails the load without trying it (a condition the module needs is not met).
    void Refuse(const QString& reason);

private:
    const char* fileName_;
    const char* symbol_;
    QString programFolder_; // empty: the running executable's folder
    QFunctionPointer entry_ = nullptr;
    QString error_;
    bool tried_ = false;
};
