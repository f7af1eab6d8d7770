// Loads one of the program's own modules from the program's library folder (lib/ombrivault
// beside the program's bin folder, installed or in a build tree) and resolves its entry point. A
// module is loaded at most once and kept for the rest of the run; a failure is remembered with its
// reason.
#pragma once

#include <QFunctionPointer>
#include <QString>

class CModuleLoader {
public:
    CModuleLoader(const char* fileName, const char* symbol)
        : fileName_(fileName), symbol_(symbol) {}

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
    QFunctionPointer entry_ = nullptr;
    QString error_;
    bool tried_ = false;
};
