// The exit handler of the files subsystem.
#include "files/files_exit.h"

#include <cstdlib>

#include "files/channels.h"
#include "files/inifile.h"
#include "files/libraries.h"
#include "files/linefile.h"

namespace {
bool installed = false;
}

void FilesAtExit() {
    IniSaveAtExit();
    LineFileWriteBack();
    ChannelsCloseAll();
    LibrariesRelease();
}

void FilesInstallExitHandler() {
    if (installed) return;
    installed = true;
    std::atexit(FilesAtExit);
}
