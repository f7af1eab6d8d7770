#include "framework/ModuleLoader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>

QFunctionPointer CModuleLoader::Resolve() {
    if (tried_) {
        return entry_;
    }
    tried_ = true;
    const QString name = QString::fromLatin1(fileName_);
    const QString path =
        QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/" OV_MODULE_RELATIVE_DIR))
            .filePath(name);
    if (QFileInfo(path).isFile()) {
        // Never unloaded: objects the module made may live until the program ends. Every
        // symbol is bound now, so a module that does not fit the libraries it finds fails
        // here, with the reason, rather than at some later call.
        auto* library = new QLibrary(path);
        library->setLoadHints(QLibrary::ResolveAllSymbolsHint);
        if (!library->load()) {
            // The loader's own words: a library the module needs is missing, and the like.
            error_ = library->errorString();
            delete library;
            return nullptr;
        }
        entry_ = library->resolve(symbol_);
        if (entry_ != nullptr) {
            return entry_;
        }
        error_ = QStringLiteral("%1 has no entry point %2 (a module of another version?).")
                     .arg(path, QLatin1String(symbol_));
        library->unload();
        delete library;
        return nullptr;
    }
    error_ = QStringLiteral("%1 was not found in %2.").arg(name, QFileInfo(path).absolutePath());
    return nullptr;
}

void CModuleLoader::Refuse(const QString& reason) {
    if (!tried_) {
        tried_ = true;
        error_ = reason;
    }
}
