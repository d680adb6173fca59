// SettingsPlace: where the settings file is read from and written to.
#pragma once

#include "base/AnsiString.h"

// The settings file lives beside the program. An installed program cannot write its own folder,
// so a second place in the user's config folder takes the file then. Loading prefers a readable
// file beside the program; saving tries beside the program first and falls back to the config
// folder, creating that folder on the way.
class SettingsPlace {
  public:
    AnsiString beside;    // full path of the file in the program's folder
    AnsiString fallback;  // full path in the user's config folder; empty for none

    // The program's folder + "settings.cfg", and $XDG_CONFIG_HOME/brevant/settings.cfg (by
    // default ~/.config/brevant/settings.cfg).
    static SettingsPlace standard();

    // One file and nothing else: for tests and tools.
    static SettingsPlace only(const AnsiString& path);

    // The path loading should read: `beside` when that file can be read, else `fallback`.
    AnsiString pathToLoad() const;
};
