#include "browser/WebEngineLoader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>

namespace {

struct Module {
    CreateWebPageFunction create = nullptr;
    QString error;
    bool tried = false;
};

// Beside the executable in a build tree; in the installed library folder otherwise.
QStringList Candidates() {
    const QString name = QString::fromLatin1(kWebEngineModuleName);
    return {QDir(QCoreApplication::applicationDirPath()).filePath(name),
            QDir(QStringLiteral(OV_WEBENGINE_MODULE_DIR)).filePath(name)};
}

Module& State() {
    static Module module;
    return module;
}

Module& Load() {
    Module& module = State();
    if (module.tried) {
        return module;
    }
    module.tried = true;
    // The engine draws through contexts shared with the application's; that can only be
    // arranged before the application object exists (the program's main does so).
    if (!QCoreApplication::testAttribute(Qt::AA_ShareOpenGLContexts)) {
        module.error = QStringLiteral("The program was started without shared OpenGL contexts.");
        return module;
    }
    // Compiled shaders of the page's drawing would be kept on disk; the browser keeps
    // nothing there but its address history.
    QCoreApplication::setAttribute(Qt::AA_DisableShaderDiskCache);
    for (const QString& path : Candidates()) {
        if (!QFileInfo(path).isFile()) {
            continue;
        }
        // Kept loaded for the rest of the run: the engine cannot be shut down and started
        // again in one process.
        auto* library = new QLibrary(path);
        module.create =
            reinterpret_cast<CreateWebPageFunction>(library->resolve(kCreateWebPageSymbol));
        if (module.create != nullptr) {
            module.error.clear();
            return module;
        }
        module.error = library->errorString();
        delete library;
    }
    if (module.error.isEmpty()) {
        module.error = QStringLiteral("%1 was not found.").arg(QLatin1String(kWebEngineModuleName));
    }
    return module;
}

} // namespace

namespace WebEngineLoader {

CWebPage* CreatePage(QWidget* parent, QString* error) {
    Module& module = Load();
    if (module.create == nullptr) {
        if (error != nullptr) {
            *error = module.error;
        }
        return nullptr;
    }
    return module.create(parent);
}

bool IsLoaded() {
    return State().create != nullptr;
}

} // namespace WebEngineLoader
