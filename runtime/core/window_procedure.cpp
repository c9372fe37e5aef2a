// The window procedure: close ends the program, activation pauses it.
#include "core/engine.h"

int WindowProcedure(const PlatformMessage& message) {
    switch (message.kind) {
    case PlatformMessageKind::Close:
        EndProgram();
    case PlatformMessageKind::EraseBackground:
        return 1;
    case PlatformMessageKind::SystemCommand: {
        int command = message.value & ~0xF;
        if (command == kSysCommandScreenSave || command == kSysCommandMonitorPower) return 0;
        if (command == kSysCommandClose) EndProgram();
        return 0;
    }
    case PlatformMessageKind::Activate:
        if (engine.debugMode || !engine.autoPause) return 0;
        if (message.value == 0) {
            RuntimeString caption = engine.windowTitle;
            caption += " <pause>";
            PlatformSetCaption(engine.mainWindow, caption.Text());
            engine.paused = 1;
        } else if (message.value == 1 || message.value == 2) {
            PlatformSetCaption(engine.mainWindow, engine.windowTitle.Text());
            engine.paused = 0;
        }
        return 0;
    default:
        return 0;
    }
}
