// Lua bindings of the 2D graphics beyond the seven main ones: normal maps,
// colour keys, sprite sizes, the alpha mode, stretched, zoomed and rotated
// sprites, polygons, primitives, tiled records, 3D sprites and fonts; grabs,
// read-back, sprite collision, image saving and off-screen surfaces.
extern "C" {
#include <lua.h>
}

#include "gfx2d/gfx2d.h"
#include "lua_args.h"
#include "lua_register.h"

// ---------------------------------------------------------------------------
// Bindings: the store

static int Lua_Normalmap(lua_State* L) {
    return GuardedBinding(L, [&] { return PushNumber(L, LoadNormalMap(ArgText(L, 1).Text(), ArgNumber(L, 2))); });
}

static int Lua_Settransparency(lua_State* L) {
    SetTransparency(ArgNumber(L, 1));
    return 0;
}

static int Lua_Texture(lua_State* L) { return PushNumber(L, GetTextureName(ArgNumber(L, 1))); }

static int Lua_Getspritesize(lua_State* L) {
    double width, height;
    GetSpriteSize(ArgNumber(L, 1), width, height);
    lua_pushnumber(L, width);
    lua_pushnumber(L, height);
    return 2;
}

// ---------------------------------------------------------------------------
// Bindings: drawing

static int Lua_Alphamode(lua_State* L) {
    AlphaMode(ArgNumber(L, 1));
    return 0;
}

static int Lua_Stretchsprite(lua_State* L) {
    StretchSprite(ArgNumber(L, 1), ArgNumber(L, 2), ArgNumber(L, 3), ArgNumber(L, 4), ArgNumber(L, 5));
    return 0;
}

static int Lua_Zoomsprite(lua_State* L) {
    ZoomSprite(ArgNumber(L, 1), ArgNumber(L, 2), ArgNumber(L, 3), ArgNumber(L, 4), ArgNumber(L, 5));
    return 0;
}

static int Lua_Rotozoomsprite(lua_State* L) {
    QueueRotoZoomSprite(ArgNumber(L, 1), ArgNumber(L, 2), ArgNumber(L, 3), ArgNumber(L, 4), ArgNumber(L, 5));
    return 0;
}

static int Lua_Startpoly(lua_State* L) {
    return GuardedBinding(L, [&] {
        StartPoly(ArgNumber(L, 1));
        return 0;
    });
}

static int Lua_Polyvector(lua_State* L) {
    return GuardedBinding(L, [&] {
        PolyVector(ArgNumber(L, 1), ArgNumber(L, 2), ArgNumber(L, 3), ArgNumber(L, 4), ArgNumber(L, 5));
        return 0;
    });
}

static int Lua_Endpoly(lua_State*) {
    EndPoly();
    return 0;
}

static int Lua_Setpixel(lua_State* L) {
    SetPixel(ArgNumber(L, 1), ArgNumber(L, 2), ArgNumber(L, 3));
    return 0;
}

static int Lua_Drawline(lua_State* L) {
    DrawLine(ArgNumber(L, 1), ArgNumber(L, 2), ArgNumber(L, 3), ArgNumber(L, 4), ArgNumber(L, 5));
    return 0;
}

static int Lua_Drawrect(lua_State* L) {
    DrawRect(ArgNumber(L, 1), ArgNumber(L, 2), ArgNumber(L, 3), ArgNumber(L, 4), ArgNumber(L, 5));
    return 0;
}

static int Lua_Drawtiled(lua_State* L) {
    DrawTiledImage(ArgNumber(L, 1));
    return 0;
}

static int Lua_Billboard(lua_State* L) {
    return GuardedBinding(L, [&] {
        DrawSprite3D(ArgNumber(L, 1), ArgNumber(L, 2), ArgNumber(L, 3), ArgNumber(L, 4), ArgNumber(L, 5));
        return 0;
    });
}

// ---------------------------------------------------------------------------
// Bindings: fonts and text

static int Lua_Loadfont(lua_State* L) {
    return GuardedBinding(L, [&] {
        LoadFont(ArgText(L, 1).Text(), ArgNumber(L, 2));
        return 0;
    });
}

static int Lua_Setfont(lua_State* L) {
    SetFont(ArgNumber(L, 1));
    return 0;
}

static int Lua_Getfontsize(lua_State* L) {
    double width, height;
    GetFontSize(width, height);
    lua_pushnumber(L, width);
    lua_pushnumber(L, height);
    return 2;
}

static int Lua_Printnumber(lua_State* L) {
    return GuardedBinding(L, [&] {
        PrintNumber(ArgNumber(L, 1), ArgNumber(L, 2), ArgNumber(L, 3));
        return 0;
    });
}

static int Lua_Label(lua_State* L) {
    return GuardedBinding(L, [&] {
        PrintAt3D(ArgNumber(L, 1), ArgText(L, 2).Text(), ArgNumber(L, 3), ArgNumber(L, 4), ArgNumber(L, 5),
                  ArgNumber(L, 6));
        return 0;
    });
}

// ---------------------------------------------------------------------------
// Bindings: grab, read-back, collision, saving and off-screen surfaces

static int Lua_Grabsprite(lua_State* L) {
    return GuardedBinding(L, [&] {
        return PushNumber(L, GrabSprite(ArgNumber(L, 1), ArgNumber(L, 2), ArgNumber(L, 3), ArgNumber(L, 4),
                                        ArgNumber(L, 5)));
    });
}

static int Lua_Grabbackground(lua_State* L) {
    return GuardedBinding(L, [&] {
        GrabBackground(ArgNumber(L, 1));
        return 0;
    });
}

static int Lua_Getpixel(lua_State* L) { return PushNumber(L, GetPixel(ArgNumber(L, 1), ArgNumber(L, 2))); }

static int Lua_Spritecollision(lua_State* L) {
    return GuardedBinding(L, [&] {
        return PushNumber(L, SpriteCollision(ArgNumber(L, 1), ArgNumber(L, 2), ArgNumber(L, 3), ArgNumber(L, 4),
                                             ArgNumber(L, 5), ArgNumber(L, 6)));
    });
}

static int Lua_Savescreen(lua_State* L) {
    return GuardedBinding(L, [&] { return PushNumber(L, SaveScreen(ArgText(L, 1).Text())); });
}

static int Lua_Savesprite(lua_State* L) {
    return GuardedBinding(L, [&] { return PushNumber(L, SaveSprite(ArgText(L, 1).Text(), ArgNumber(L, 2))); });
}

static int Lua_Createscreen(lua_State* L) {
    return GuardedBinding(L, [&] {
        CreateScreen(ArgNumber(L, 1), ArgNumber(L, 2), ArgNumber(L, 3), ArgNumber(L, 4));
        return 0;
    });
}

static int Lua_Usescreen(lua_State* L) {
    return GuardedBinding(L, [&] {
        UseScreen(ArgNumber(L, 1));
        return 0;
    });
}

// ---------------------------------------------------------------------------
// Registration

static const LuaBinding gfx2dBindings[] = {
    {"Lua_Normalmap", Lua_Normalmap},
    {"Lua_Settransparency", Lua_Settransparency},
    {"Lua_Texture", Lua_Texture},
    {"Lua_Getspritesize", Lua_Getspritesize},
    {"Lua_Alphamode", Lua_Alphamode},
    {"Lua_Stretchsprite", Lua_Stretchsprite},
    {"Lua_Zoomsprite", Lua_Zoomsprite},
    {"Lua_Rotozoomsprite", Lua_Rotozoomsprite, true},
    {"Lua_Startpoly", Lua_Startpoly},
    {"Lua_Polyvector", Lua_Polyvector},
    {"Lua_Endpoly", Lua_Endpoly},
    {"Lua_Setpixel", Lua_Setpixel},
    {"Lua_Drawline", Lua_Drawline},
    {"Lua_Drawrect", Lua_Drawrect},
    {"Lua_Drawtiled", Lua_Drawtiled},
    {"Lua_Billboard", Lua_Billboard},
    {"Lua_Loadfont", Lua_Loadfont},
    {"Lua_Setfont", Lua_Setfont},
    {"Lua_Getfontsize", Lua_Getfontsize},
    {"Lua_Printnumber", Lua_Printnumber},
    {"Lua_Label", Lua_Label},
    {"Lua_Grabsprite", Lua_Grabsprite},
    {"Lua_Grabbackground", Lua_Grabbackground},
    {"Lua_Getpixel", Lua_Getpixel},
    {"Lua_Spritecollision", Lua_Spritecollision},
    {"Lua_Savescreen", Lua_Savescreen},
    {"Lua_Savesprite", Lua_Savesprite},
    {"Lua_Createscreen", Lua_Createscreen},
    {"Lua_Usescreen", Lua_Usescreen},
    {nullptr, nullptr},
};

void RegisterGfx2dBindings(lua_State* L) { RegisterBindingTable(L, gfx2dBindings); }
