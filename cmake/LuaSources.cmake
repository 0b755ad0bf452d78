# Finds Lua 5.4.8's sources for the lorrinlua shell. Sets LBW_LUA_SOURCES_FOUND and
# LBW_LUA_SOURCES, the C files of Lua's core and standard libraries.
#
# The sources are a dependency, never part of the project: LBW_LUA_SOURCE_DIR names an
# unmodified copy (by default the environment variable of the same name); without one
# they are downloaded from the lua/lua repository at the v5.4.8 commit. When neither
# works, configuring says so in one line and everything but the shell still builds.
set(LBW_LUA_SOURCE_DIR "$ENV{LBW_LUA_SOURCE_DIR}" CACHE PATH "Folder of Lua 5.4.8's sources (lua.h, testes/)")
if(NOT LBW_LUA_SOURCE_DIR AND DEFINED ENV{LBW_LUA_SOURCE_DIR})
  set(LBW_LUA_SOURCE_DIR "$ENV{LBW_LUA_SOURCE_DIR}" CACHE PATH "" FORCE)
endif()
set(LBW_LUA_REPOSITORY https://github.com/lua/lua.git)
set(LBW_LUA_COMMIT 6e22fedb74cf0c9b6656e9fce8b7331db847c605) # tag v5.4.8

set(LBW_LUA_SOURCES_FOUND OFF)
if(LBW_LUA_SOURCE_DIR)
  if(EXISTS ${LBW_LUA_SOURCE_DIR}/lua.h AND EXISTS ${LBW_LUA_SOURCE_DIR}/lapi.c)
    set(LBW_LUA_SOURCES_FOUND ON)
  else()
    message(STATUS "Lua sources: ${LBW_LUA_SOURCE_DIR} holds no Lua sources; lorrinlua is not built")
  endif()
else()
  # A failed download would stop the configuration, so ask the repository first.
  find_package(Git QUIET)
  if(GIT_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} ls-remote ${LBW_LUA_REPOSITORY} v5.4.8
      RESULT_VARIABLE reachable OUTPUT_QUIET ERROR_QUIET TIMEOUT 30)
  endif()
  if(GIT_FOUND AND reachable EQUAL 0)
    include(FetchContent)
    FetchContent_Declare(lua GIT_REPOSITORY ${LBW_LUA_REPOSITORY} GIT_TAG ${LBW_LUA_COMMIT})
    FetchContent_GetProperties(lua)
    if(NOT lua_POPULATED)
      FetchContent_Populate(lua)
    endif()
    set(LBW_LUA_SOURCE_DIR ${lua_SOURCE_DIR} CACHE PATH "" FORCE)
    set(LBW_LUA_SOURCES_FOUND ON)
  else()
    message(STATUS "Lua sources: none (set LBW_LUA_SOURCE_DIR or allow the download); lorrinlua is not built")
  endif()
endif()

if(LBW_LUA_SOURCES_FOUND)
  set(LBW_LUA_SOURCES)
  foreach(module lapi lcode lctype ldebug ldo ldump lfunc lgc llex lmem lobject lopcodes lparser
      lstate lstring ltable ltm lundump lvm lzio lauxlib lbaselib lcorolib ldblib liolib lmathlib
      loadlib loslib lstrlib ltablib lutf8lib linit)
    list(APPEND LBW_LUA_SOURCES ${LBW_LUA_SOURCE_DIR}/${module}.c)
  endforeach()
endif()
