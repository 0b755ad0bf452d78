/* lorrinlua: the Lua shell of LorrinBoot.
 *
 * Greets the user, runs index.lua when the host's file store has it, then reads Lua
 * chunks at a prompt from standard input: an expression prints its values, a statement
 * runs, a chunk that is not complete yet continues on the next line, and an error prints
 * its message and traceback before the prompt comes back. "help" prints the version
 * line; "exit" or the end of input leaves with status 0, os.exit(n) with status n. */
#include <lorrinboot/console.h>
#include <stdio.h>
#include <string.h>

#include "lauxlib.h"
#include "lua.h"
#include "lualib.h"

#define PROMPT "> "
#define CONTINUATION_PROMPT ">> "
#define AUTORUN_FILE "index.lua"

/* The message handler of every protected call: the message with a traceback. */
static int add_traceback(lua_State *L) {
    const char *message = lua_tostring(L, 1);
    if (message == NULL) {
        if (luaL_callmeta(L, 1, "__tostring") && lua_type(L, -1) == LUA_TSTRING)
            return 1;
        message = lua_pushfstring(L, "(error object is a %s value)", luaL_typename(L, 1));
    }
    luaL_traceback(L, L, message, 1);
    return 1;
}

/* Calls the function below its `argument_count` arguments with add_traceback as the
 * message handler; an error leaves its message on the stack. */
static int call_with_traceback(lua_State *L, int argument_count, int result_count) {
    int handler = lua_gettop(L) - argument_count;
    lua_pushcfunction(L, add_traceback);
    lua_insert(L, handler);
    int status = lua_pcall(L, argument_count, result_count, handler);
    lua_remove(L, handler);
    return status;
}

/* Prints the error message on top of the stack, if `status` is an error, and pops it. */
static int report(lua_State *L, int status) {
    if (status != LUA_OK) {
        const char *message = lua_tostring(L, -1);
        fputs(message ? message : "(error object is not a string)", stderr);
        fputs("\n", stderr);
        fflush(stderr);
        lua_pop(L, 1);
    }
    return status;
}

static void run_autorun_file(lua_State *L) {
    FILE *file = fopen(AUTORUN_FILE, "r");
    if (file == NULL)
        return;
    fclose(file);
    int status = luaL_loadfile(L, AUTORUN_FILE);
    if (status == LUA_OK)
        status = call_with_traceback(L, 0, 0);
    report(L, status);
}

/* Shows `prompt`, reads one line and pushes it without its line end; 0 at the end of
 * input. Standard input hands out lines of at most 510 bytes, so one read takes a whole
 * line. */
static int push_line(lua_State *L, const char *prompt) {
    char line[512];
    fputs(prompt, stdout);
    fflush(stdout);
    if (fgets(line, sizeof line, stdin) == NULL)
        return 0;
    size_t length = strlen(line);
    if (length > 0 && line[length - 1] == '\n')
        line[--length] = '\0';
    lua_pushlstring(L, line, length);
    return 1;
}

/* The line without the blanks around it equals `word`. */
static int is_command(const char *line, const char *word) {
    while (*line == ' ' || *line == '\t')
        line++;
    size_t length = strlen(word);
    if (strncmp(line, word, length) != 0)
        return 0;
    for (line += length; *line == ' ' || *line == '\t' || *line == '\r'; line++)
        ;
    return *line == '\0';
}

/* A syntax error at the end of the text: the chunk goes on in the next line. */
static int is_incomplete(lua_State *L, int status) {
    static const char kEndMark[] = "<eof>";
    const size_t mark_length = sizeof kEndMark - 1;
    size_t length;
    const char *message = lua_tolstring(L, -1, &length);
    if (status != LUA_ERRSYNTAX || length < mark_length ||
        strcmp(message + length - mark_length, kEndMark) != 0)
        return 0;
    lua_pop(L, 1);
    return 1;
}

/* Compiles the line on top of the stack as an expression whose values are printed;
 * on success the compiled chunk replaces the line. */
static int compile_as_expression(lua_State *L) {
    const char *code = lua_pushfstring(L, "return %s;", lua_tostring(L, -1));
    int status = luaL_loadbuffer(L, code, strlen(code), "=stdin");
    if (status == LUA_OK)
        lua_replace(L, -3);
    lua_pop(L, status == LUA_OK ? 1 : 2);
    return status;
}

/* Compiles the text on top of the stack as statements, reading further lines while the
 * chunk is incomplete. Leaves the chunk or the error message in place of the text. */
static int compile_as_statements(lua_State *L) {
    for (;;) {
        size_t length;
        const char *text = lua_tolstring(L, -1, &length);
        int status = luaL_loadbuffer(L, text, length, "=stdin");
        if (!is_incomplete(L, status)) {
            lua_remove(L, -2);
            return status;
        }
        if (!push_line(L, CONTINUATION_PROMPT)) {
            /* The input ended inside the chunk: report what was incomplete. */
            luaL_loadbuffer(L, text, length, "=stdin");
            lua_remove(L, -2);
            return LUA_ERRSYNTAX;
        }
        lua_pushliteral(L, "\n");
        lua_insert(L, -2);
        lua_concat(L, 3);
    }
}

/* Prints the values left on the stack by the chunk through the global print. */
static void print_results(lua_State *L) {
    int count = lua_gettop(L);
    if (count == 0)
        return;
    luaL_checkstack(L, LUA_MINSTACK, "too many results to print");
    lua_getglobal(L, "print");
    lua_insert(L, 1);
    if (lua_pcall(L, count, 0, 0) != LUA_OK) {
        lua_pushfstring(L, "error calling 'print' (%s)", lua_tostring(L, -1));
        report(L, LUA_ERRRUN);
        lua_pop(L, 1);
    }
}

static void read_evaluate_print(lua_State *L) {
    for (;;) {
        lua_settop(L, 0);
        if (!push_line(L, PROMPT))
            return;
        const char *line = lua_tostring(L, 1);
        if (is_command(line, "exit"))
            return;
        if (is_command(line, "help")) {
            lm_lua_show_help();
            continue;
        }
        int status = compile_as_expression(L);
        if (status != LUA_OK)
            status = compile_as_statements(L);
        if (status == LUA_OK)
            status = call_with_traceback(L, 0, LUA_MULTRET);
        if (report(L, status) == LUA_OK)
            print_results(L);
    }
}

/* Runs in protected mode so that an error while opening the libraries is reported. */
static int run_shell(lua_State *L) {
    luaL_openlibs(L);
    run_autorun_file(L);
    read_evaluate_print(L);
    return 0;
}

int main(void) {
    stdin = fopen("__lmfs_stdin", "r");
    stdout = fopen("__lmfs_stdout", "w");
    stderr = fopen("__lmfs_stderr", "w");
    lm_lua_show_banner();
    lua_State *L = luaL_newstate();
    if (L == NULL) {
        fputs("lorrinlua: not enough memory for the Lua state\n", stderr);
        fflush(stderr);
        return 1;
    }
    lua_pushcfunction(L, run_shell);
    int status = report(L, lua_pcall(L, 0, 0, 0));
    lua_close(L);
    fflush(stdout);
    return status == LUA_OK ? 0 : 1;
}
