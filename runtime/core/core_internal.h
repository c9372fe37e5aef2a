// Shared between the files of the runtime core only.
#pragma once

#include "core/engine.h"

// Drops the sprite store's textures before the context goes away.
void ReleaseScreenTextures(OpenGLZadudedo& screen);
// Resolves the extension entry points of the current context.
void LoadExtensionEntryPoints();
