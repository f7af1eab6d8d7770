#include "browser/WebEngineLoader.h"

#include <QCoreApplication>

#include "framework/ModuleLoader.h"

namespace {

// Kept loaded for the rest of the run: the engine cannot be shut down and started again in
// one process.
CModuleLoader& Module() {
    static CModuleLoader module(kWebEngineModuleName, kCreateWebPageSymbol);
    return module;
}

CreateWebPageFunction Load() {
    CModuleLoader& module = Module();
    if (!module.Tried()) {
        // The engine draws through contexts shared with the application's; that can only be
        // arranged before the application object exists (the program's main does so).
        if (!QCoreApplication::testAttribute(Qt::AA_ShareOpenGLContexts)) {
            module.Refuse(
                QStringLiteral("The program was started without shared OpenGL contexts."));
        } else {
            // Compiled shaders of the page's drawing would be kept on disk; the browser keeps
            // nothing there but its address history.
            QCoreApplication::setAttribute(Qt::AA_DisableShaderDiskCache);
        }
    }
    return module.Resolve<CreateWebPageFunction>();
}

} // namespace

namespace WebEngineLoader {

CWebPage* CreatePage(QWidget* parent, QString* error) {
    const CreateWebPageFunction create = Load();
    if (create == nullptr) {
        if (error != nullptr) {
            *error = Module().Error();
        }
        return nullptr;
    }
    return create(parent);
}

bool IsLoaded() {
    return Module().IsLoaded();
}

} // namespace WebEngineLoader
