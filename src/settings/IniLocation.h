#pragma once

#include <QString>
#include <functional>

// Where the settings file PORONBO.INI lives.
//
// Beside the executable when a PORONBO.INI is already there or the user may write in
// that folder (portable use); otherwise in the per-user configuration folder. An
// installed copy (the executable in a system folder, or inside a macOS application
// bundle) always uses the per-user folder, also when run by an administrator.

// Whether the current user may create files in folder.
bool isWritableFolder(const QString &folder);

// Whether folder is the executable folder of a macOS application bundle
// (".../Name.app/Contents/MacOS").
bool isAppBundleFolder(const QString &folder);

// Whether folder is where installed programs live: on Windows within %ProgramFiles%,
// %ProgramFiles(x86)% or %ProgramW6432% (letter case ignored); elsewhere within /usr, /opt
// or the other folders that package managers fill.
bool isSystemFolder(const QString &folder);

struct IniPlaces {
    QString exeFolder;  // the executable's folder
    QString userFolder; // the per-user configuration folder; empty when there is none
    bool inAppBundle = false;
    bool installed = false; // the executable's folder is a system folder
};

// The settings file for places, asking writable about the executable's folder only.
QString chooseIniName(const IniPlaces &places,
                      const std::function<bool(const QString &folder)> &writable);

// The per-user configuration folder (QStandardPaths::AppConfigLocation, as configHome
// takes it): on Unix XDG_CONFIG_HOME and HOME are read losslessly, bytes that are not
// UTF-8 kept; a relative XDG_CONFIG_HOME is ignored.
QString userConfigFolder();

// The settings file of this process: decided on the first call (at start-up) from the
// executable's folder and QStandardPaths::AppConfigLocation, then kept.
QString settingsIniName();

// Creates the folder that is to hold iniName when it is missing, with the folders
// missing above it. Returns the system's reason for the step that failed; empty when
// the folder is there (or something else has its name, which the save then meets).
QString makeIniFolder(const QString &iniName);
