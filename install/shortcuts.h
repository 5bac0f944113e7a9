// Shell shortcuts through the shell-link COM object. Only the target and the
// description are set; everything else keeps the object's defaults.
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

ShortcutResult CreateShortcut(const std::string& targetPath, const std::string& linkPath,
                              const std::string& description);

}  // namespace install
