// Lua bindings of the files subsystem: file channels and whole-file commands,
// the data archive paths, configuration and line files, directory listing and
// external library lookup. Out-parameters come back as extra results.
extern "C" {
#include <lua.h>
}

#include <cstdint>

#include "files/archive.h"
#include "files/channels.h"
#include "files/inifile.h"
#include "files/libraries.h"
#include "files/linefile.h"
#include "lua_args.h"
#include "lua_arrays.h"
#include "lua_register.h"

// ---------------------------------------------------------------------------
// Channels

static int Lua_Channelopen(lua_State* L) {
    return GuardedBinding(L, [&] {
        RuntimeString path = ArgText(L, 2);
        return PushNumber(L, ChannelOpen(ArgNumber(L, 1), path.Text(), ArgNumber(L, 3)));
    });
}

static int Lua_Channelclose(lua_State* L) {
    ChannelClose(ArgNumber(L, 1));
    return 0;
}

static int Lua_Channelatend(lua_State* L) { return PushNumber(L, ChannelAtEnd(ArgNumber(L, 1))); }

// The four fixed-size readers share one shape: the value is the result.
template <double (*Read)(double, double&)>
static int ReadValue(lua_State* L) {
    double value = 0;
    Read(ArgNumber(L, 1), value);
    return PushNumber(L, value);
}

static int Lua_Channelreadtext(lua_State* L) {
    return GuardedBinding(L, [&] {
        RuntimeString text;
        ChannelReadText(ArgNumber(L, 1), text, ArgNumber(L, 2));
        return PushText(L, text);
    });
}

static int Lua_Channelreadline(lua_State* L) {
    return GuardedBinding(L, [&] {
        RuntimeString text;
        ChannelReadLine(ArgNumber(L, 1), text);
        return PushText(L, text);
    });
}

template <void (*Write)(double, double)>
static int WriteValue(lua_State* L) {
    Write(ArgNumber(L, 1), ArgNumber(L, 2));
    return 0;
}

template <void (*Write)(double, const RuntimeString&)>
static int WriteText(lua_State* L) {
    return GuardedBinding(L, [&] {
        Write(ArgNumber(L, 1), ArgText(L, 2));
        return 0;
    });
}

// ---------------------------------------------------------------------------
// Whole files and directories

static int Lua_Filesize(lua_State* L) {
    return GuardedBinding(L, [&] { return PushNumber(L, FileSize(ArgText(L, 1).Text())); });
}

static int Lua_Fileexists(lua_State* L) {
    return GuardedBinding(L, [&] { return PushNumber(L, FileExists(ArgText(L, 1).Text())); });
}

static int Lua_Filedelete(lua_State* L) {
    return GuardedBinding(L, [&] {
        FileDelete(ArgText(L, 1).Text());
        return 0;
    });
}

static int Lua_Filecopy(lua_State* L) {
    return GuardedBinding(L, [&] {
        FileCopy(ArgText(L, 1).Text(), ArgText(L, 2).Text());
        return 0;
    });
}

static int Lua_Directoryset(lua_State* L) {
    return GuardedBinding(L, [&] { return PushNumber(L, DirectorySet(ArgText(L, 1).Text())); });
}

static int Lua_Directoryget(lua_State* L) {
    return GuardedBinding(L, [&] { return PushText(L, DirectoryGet()); });
}

static int Lua_Pathtoslashes(lua_State* L) {
    return GuardedBinding(L, [&] {
        RuntimeString text = ArgText(L, 1);
        PathToSlashes(text);
        return PushText(L, text);
    });
}

// Fills the text array given second (or a new one) and returns the count and
// the array.
static int Lua_Directorylist(lua_State* L) {
    lua_settop(L, 2);
    TextArray* names = ToTextArray(L, 2);
    if (!names) {
        lua_pop(L, 1);
        names = PushNewTextArray(L);
    }
    return GuardedBinding(L, [&] {
        double count = DirectoryList(ArgText(L, 1).Text(), *names);
        lua_pushnumber(L, count);
        lua_pushvalue(L, 2);
        return 2;
    });
}

// ---------------------------------------------------------------------------
// Data archive

static int Lua_Setdataarchives(lua_State* L) {
    return GuardedBinding(L, [&] {
        SetDataArchives(ArgText(L, 1).Text(), ArgText(L, 2).Text());
        return 0;
    });
}

// ---------------------------------------------------------------------------
// Configuration files

static int Lua_Iniopen(lua_State* L) {
    return GuardedBinding(L, [&] {
        IniOpen(ArgText(L, 1).Text());
        return 0;
    });
}

static int Lua_Inigetvalue(lua_State* L) {
    return GuardedBinding(L, [&] {
        return PushText(L, IniGetValue(ArgText(L, 1).Text(), ArgText(L, 2).Text()));
    });
}

static int Lua_Iniputvalue(lua_State* L) {
    return GuardedBinding(L, [&] {
        IniPutValue(ArgText(L, 1).Text(), ArgText(L, 2).Text(), ArgText(L, 3).Text());
        return 0;
    });
}

// ---------------------------------------------------------------------------
// Line files

// The line's text, then the result number (0, 3 or 7).
static int Lua_Linefileget(lua_State* L) {
    return GuardedBinding(L, [&] {
        RuntimeString text;
        double result = LineFileGet(ArgText(L, 1).Text(), ArgNumber(L, 2), text);
        PushText(L, text);
        lua_pushnumber(L, result);
        return 2;
    });
}

static int Lua_Linefilegetnumber(lua_State* L) {
    return GuardedBinding(L, [&] {
        double value = 0;
        LineFileGetNumber(ArgText(L, 1).Text(), ArgNumber(L, 2), value);
        return PushNumber(L, value);
    });
}

static int Lua_Linefileput(lua_State* L) {
    return GuardedBinding(L, [&] {
        LineFilePut(ArgText(L, 1).Text(), ArgNumber(L, 2), ArgText(L, 3).Text());
        return 0;
    });
}

static int Lua_Linefileputnumber(lua_State* L) {
    return GuardedBinding(L, [&] {
        LineFilePutNumber(ArgText(L, 1).Text(), ArgNumber(L, 2), ArgNumber(L, 3));
        return 0;
    });
}

// ---------------------------------------------------------------------------
// External libraries

// The function's address as a number (0 when not found), then the library
// name as lowered in place.
static int Lua_Externalfunction(lua_State* L) {
    return GuardedBinding(L, [&] {
        RuntimeString library = ArgText(L, 1);
        void* address = nullptr;
        ExternalFunction(library, ArgText(L, 2), address);
        lua_pushnumber(L, (double)(uintptr_t)address);
        PushText(L, library);
        return 2;
    });
}

// ---------------------------------------------------------------------------
// Registration

static const LuaBinding filesBindings[] = {
    {"Lua_Channelopen", Lua_Channelopen},
    {"Lua_Channelclose", Lua_Channelclose},
    {"Lua_Channelatend", Lua_Channelatend},
    {"Lua_Channelreadbyte", ReadValue<ChannelReadByte>},
    {"Lua_Channelreadword", ReadValue<ChannelReadWord>},
    {"Lua_Channelreadlong", ReadValue<ChannelReadLong>},
    {"Lua_Channelreaddouble", ReadValue<ChannelReadDouble>},
    {"Lua_Channelreadtext", Lua_Channelreadtext},
    {"Lua_Channelreadline", Lua_Channelreadline},
    {"Lua_Channelreadnumberline", ReadValue<ChannelReadNumberLine>},
    {"Lua_Channelwritebyte", WriteValue<ChannelWriteByte>},
    {"Lua_Channelwriteword", WriteValue<ChannelWriteWord>},
    {"Lua_Channelwritelong", WriteValue<ChannelWriteLong>},
    {"Lua_Channelwritedouble", WriteValue<ChannelWriteDouble>},
    {"Lua_Channelwritetext", WriteText<ChannelWriteText>},
    {"Lua_Channelwriteline", WriteText<ChannelWriteLine>},
    {"Lua_Channelwritenumberline", WriteValue<ChannelWriteNumberLine>},
    {"Lua_Filesize", Lua_Filesize},
    {"Lua_Fileexists", Lua_Fileexists},
    {"Lua_Filedelete", Lua_Filedelete},
    {"Lua_Filecopy", Lua_Filecopy},
    {"Lua_Directoryset", Lua_Directoryset},
    {"Lua_Directoryget", Lua_Directoryget},
    {"Lua_Pathtoslashes", Lua_Pathtoslashes},
    {"Lua_Directorylist", Lua_Directorylist},
    {"Lua_Setdataarchives", Lua_Setdataarchives},
    {"Lua_Iniopen", Lua_Iniopen},
    {"Lua_Inigetvalue", Lua_Inigetvalue},
    {"Lua_Iniputvalue", Lua_Iniputvalue},
    {"Lua_Linefileget", Lua_Linefileget},
    {"Lua_Linefilegetnumber", Lua_Linefilegetnumber},
    {"Lua_Linefileput", Lua_Linefileput},
    {"Lua_Linefileputnumber", Lua_Linefileputnumber},
    {"Lua_Externalfunction", Lua_Externalfunction},
    {nullptr, nullptr},
};

void RegisterFilesBindings(lua_State* L) { RegisterBindingTable(L, filesBindings); }
