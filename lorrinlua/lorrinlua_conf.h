/* lorrinlua's configuration of Lua, read by lua.h right after luaconf.h: Lua's own
 * defaults, except for what the machine makes different. */
#ifndef LORRINLUA_CONF_H
#define LORRINLUA_CONF_H

#include "number_format.h"
#include "number_read.h"

/* Number text. The C library's snprintf and strtod are small and approximate; Lua's
 * numerals must be exact, so they go through the shell's own formatter and reader. */
#undef l_sprintf
#define l_sprintf(s, sz, f, i) lorrinlua_snprintf(s, sz, f, i)
#undef lua_str2number
#define lua_str2number(s, p) ((lua_Number)lorrinlua_strtod((s), (p)))

/* Files live in the host's file store, named relative to its root; there are no C
 * modules to load. */
#undef LUA_PATH_DEFAULT
#define LUA_PATH_DEFAULT "?.lua;?/init.lua"
#undef LUA_CPATH_DEFAULT
#define LUA_CPATH_DEFAULT ""

/* os.tmpname: the C library has no temporary names, the shell makes its own. */
char *lorrinlua_tmpnam(char *buffer);
#define LUA_TMPNAMBUFSIZE 32
#define lua_tmpnam(b, e) { e = (lorrinlua_tmpnam(b) == NULL); }

#endif
