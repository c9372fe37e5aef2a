// Shared between the files of the runtime core only.
#pragma once

#include "core/engine.h"

// Drops the sprite store's textures before the context goes away.
void ReleaseScreenTextures(OpenGLZadudedo& screen);
// Resolves the extension entry points of the current context.
void LoadExtensionEntryPoints();
// The largest viewport width and height the GL draws (no limit, INT32_MAX,
// while no context answers).
void MaxViewportSize(int& w, int& h);
