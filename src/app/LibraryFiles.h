// Keeps the libraries the program runs on from writing files of their own: the program writes
// its settings, its data and the files the user saves, nothing else. Called at the start of
// main, before the application object exists.
#pragma once

namespace LibraryFiles {

// The settings Qt's own dialogs keep for every program (the folders last visited in a file
// dialog, its history and view) would land in ~/.config/QtProject.conf, readable by others:
// their scope is pointed at a place where no file can be made, so they last for the run only.
// The graphics drivers' shader caches (Mesa's in ~/.cache of the account, whatever $HOME and
// $XDG_CACHE_HOME say; the proprietary driver's) are switched off, for the program and the web
// engine's processes alike; a variable the user set stays as it is.
void KeepToThePrograms();

} // namespace LibraryFiles
