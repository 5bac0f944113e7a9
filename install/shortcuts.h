// Shell shortcuts through the shell-link COM object. Only the target, the working
// folder and the description are set; everything else keeps the object's defaults.
#pragma once

#include <windows.h>

#include <string>

namespace install {

// What went wrong while writing one shortcut; the caller decides what to show.
struct ShortcutResult {
    HRESULT result = S_OK;
    bool classNotRegistered = false;  // no shell-link object: nothing else was tried
    bool pathNotSet = false;
    bool descriptionNotSet = false;
    bool notSaved = false;
    bool Failed() const { return classNotRegistered || pathNotSet || descriptionNotSet || notSaved; }
};

ShortcutResult CreateShortcut(const std::string& targetPath, const std::string& workingFolder,
                              const std::string& linkPath, const std::string& description);

// What a shortcut starts, and where; both "" when there is no shortcut there or it
// cannot be read.
struct ShortcutFields {
    std::string target;
    std::string workingFolder;
};
ShortcutFields ReadShortcut(const std::string& linkPath);
// The program a shortcut starts (ReadShortcut's target).
std::string ShortcutTarget(const std::string& linkPath);

// Where the suite's shortcuts lie: the Start menu's, the desktop's, Quick Launch's.
struct ShortcutPlaces {
    std::string startMenuFolder;  // the "Corvalen" folder of the Start menu's programs
    std::string startMenu;
    std::string desktop;
    std::string quickLaunch;
    std::string oldQuickLaunch;   // the name version 1 used there
};
ShortcutPlaces SuiteShortcutPlaces();

}  // namespace install
