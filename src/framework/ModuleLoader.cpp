#include "framework/ModuleLoader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>

const char* const kInstalledModuleFolder = OV_MODULE_DIR_FROM_BIN;

QFunctionPointer CModuleLoader::Resolve() {
    if (tried_) {
        return entry_;
    }
    tried_ = true;
    const QString name = QString::fromLatin1(fileName_);
    const QDir program(programFolder_.isEmpty() ? QCoreApplication::applicationDirPath()
                                                : programFolder_);
    const QStringList candidates = {
        program.filePath(name),
        QDir::cleanPath(program.filePath(QLatin1String(kInstalledModuleFolder) + u'/' + name))};
    for (const QString& path : candidates) {
        if (!QFileInfo(path).isFile()) {
            continue;
        }
        // Never unloaded: objects the module made may live until the program ends.
        auto* library = new QLibrary(path);
        if (!library->load()) {
            // The loader's own words: a library the module needs is missing, and the like.
            error_ = library->errorString();
            delete library;
            continue;
        }
        entry_ = library->resolve(symbol_);
        if (entry_ != nullptr) {
            error_.clear();
            return entry_;
        }
        error_ = QStringLiteral("%1 has no entry point %2 (a module of another version?).")
                     .arg(path, QLatin1String(symbol_));
        library->unload();
        delete library;
    }
    if (error_.isEmpty()) {
        error_ = QStringLiteral("%1 was not found.").arg(name);
    }
    return nullptr;
}

void CModuleLoader::Refuse(const QString& reason) {
    if (!tried_) {
        tried_ = true;
        error_ = reason;
    }
}
