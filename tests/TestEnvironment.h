#pragma once

#include <cstdlib>
#include <string>

/** Points HOME at a new empty folder and clears the XDG overrides, so that nothing a test
    runs (preset folders, settings files, LV2 searches of ~/.lv2) touches the user's files. */
inline std::string useTemporaryHome()
{
    char pattern[] = "/tmp/brimwell-test-home-XXXXXX";
    const char* home = mkdtemp(pattern);
    if (home == nullptr)
        std::abort();
    setenv("HOME", home, 1);
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_DOCUMENTS_DIR", "XDG_CACHE_HOME"})
        unsetenv(name);
    return home;
}
