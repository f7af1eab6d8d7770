// Compile-time guard: the core library is built without Qt. If a Qt module's usage
// requirements ever reach ov_core, this translation unit stops the build.
#if defined(QT_CORE_LIB) || defined(QT_GUI_LIB) || defined(QT_WIDGETS_LIB)
#error "ov_core must not be built with Qt"
#endif
