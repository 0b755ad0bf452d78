// The library file imports nothing and exports exactly the names its folders list.
#include "tests/exports/elf_symbols.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

namespace lbw::test {
namespace {

std::set<std::string> listed_exports() {
    std::set<std::string> names;
    for (const char *dir : {"host", "console", "fs", "window", "core", "cxxabi", "libc"}) {
        std::filesystem::path folder = std::filesystem::path(LBW_SOURCE_DIR) / dir;
        if (!std::filesystem::is_directory(folder))
            continue;
        for (const auto &entry : std::filesystem::directory_iterator(folder)) {
            if (entry.path().filename().string().rfind("exports", 0) != 0 || entry.path().extension() != ".txt")
                continue;
            std::ifstream in(entry.path());
            std::string line;
            while (std::getline(in, line)) {
                line.erase(0, line.find_first_not_of(" \t"));
                line.erase(line.find_last_not_of(" \t\r") + 1);
                if (!line.empty() && line[0] != '#')
                    names.insert(line);
            }
        }
    }
    return names;
}

// Names the library uses among its own files that no program may reach.
const char *const kInternalNames[] = {
    "lm_program_api_field_ready", "lm_lua_app_stat_file", "lm_lua_app_write_file",
    "lm_lua_app_delete_file", "lm_program_png_decode_file", "lm_probe_heap_init",
    "lm_probe_heap_append_region", "lm_lua_flush_output_line", "lm_lua_write_cstr",
    "gHeapHead", "gHeapInitialized", "gLuaOutputLine", "gLuaOutputLineLength", "gLuaClockTicks",
    "gSjLjHead", "gCaughtException", "lorrinboot_sjlj_jump", "type_matches", "inspect_context",
    "read_encoded_pointer", "read_uleb128", "read_sleb128", "read_unaligned", "raise_exception",
    "continue_unwind", "object_from_header", "exception_pointer", "header_from_exception_pointer",
    "gExceptionGlobals", "header_from_object", "thrown_object", "retain_exception", "release_exception",
    "lm_plain_exception_destroy", "lm_message_exception_what", "lm_bad_cast_construct", "lm_runtime_error_copy",
    // Each module has its own __dso_handle
    "__dso_handle",
    // Core containers
    "_ZN2lm6string8allocateEm", "_ZN2lm6string6assignEPKcm", "_ZN2lm6string6appendEPKcm",
    "_ZN2lm6vectorIhE6insertEPhPKhS4_", "_ZN2lm6vectorINS_6stringEE12emplace_backERKS1_",
    // File layer
    "lm_lua_file_reserve", "gOpenStreams",
    // Window and display
    "gActiveWindow", "gSerialEscapeState", "_ZN2lm13gActiveWindowE", "_ZN2lm18gSerialEscapeStateE",
    "_ZN2lm21renderIntoFramebufferEP15BaremetalWindow", "_ZN2lm13packComponentEhjj",
    "_ZN2lm20packFramebufferPixelERKNS_18DisplayFramebufferEhhh",
    "_ZN2lm23queryDisplayFramebufferEPNS_18DisplayFramebufferE", "_ZN2lm16presentToDisplayEP15BaremetalWindow",
    "_ZN2lm10clampMouseEP15BaremetalWindow",
    // character classes, locale, number parsing, math
    "gLocale", "digit_value", "wrap_angle",
};

// Names every build of the library must export, whatever else it grows.
const char *const kCoreExports[] = {
    "malloc", "free", "realloc", "memcpy", "memmove", "memset", "memcmp", "strlen", "strdup",
    "abort", "lm_lua_write", "lm_lua_writeline", "lm_lua_flush_output", "lm_lua_readline",
    "lm_lua_show_banner", "lm_lua_show_help", "clock", "time", "getenv", "system",
    "_Unwind_SjLj_Register", "_Unwind_SjLj_Unregister", "setjmp", "longjmp", "__cxa_allocate_exception",
    "__cxa_free_exception", "__cxa_throw", "__cxa_begin_catch", "__cxa_get_exception_ptr", "__cxa_end_catch",
    "__cxa_rethrow", "_ZSt9terminatev", "__clang_call_terminate", "_Unwind_SjLj_RaiseException",
    "_Unwind_SjLj_Resume", "_Unwind_SjLj_Resume_or_Rethrow", "_Unwind_SjLj_ForcedUnwind", "_Unwind_Resume",
    "__dynamic_cast", "_ZTVN10__cxxabiv117__class_type_infoE", "_ZTVN10__cxxabiv120__si_class_type_infoE",
    "_ZTVN10__cxxabiv121__vmi_class_type_infoE", "_ZTIi", "_ZTIPKc",
    "lm_lua_write_errorf", "snprintf", "vsnprintf", "bzero", "__bzero", "memchr", "strcmp",
    "strncmp", "strcoll", "strcpy", "strchr", "strspn", "strpbrk", "strstr", "abs",
    "lm_probe_heap_alloc", "lm_probe_heap_free_bytes", "lm_probe_heap_free_bytes64",
    "lm_probe_heap_total_bytes", "lm_probe_heap_total_bytes64", "lm_probe_heap_reset",
    // Allocation operators (new, new[], delete and delete[], unsized and sized), std::nothrow
    "_Znwm", "_Znam", "_ZdlPv", "_ZdaPv", "_ZdlPvm", "_ZdaPvm", "_ZSt7nothrow",
    // Static guards and destructors, the pure-virtual trap, inert compiler entries
    "__cxa_guard_acquire", "__cxa_guard_release", "__cxa_guard_abort", "__cxa_atexit",
    "__cxa_pure_virtual", "__gxx_personality_sj0", "__gxx_personality_v0", "_tlv_bootstrap",
    // Window API, input, the key flags and the last character, image files
    "createWindow", "destroyWindow", "closeWindow", "windowShouldClose", "getWindowSize", "setWindowSize",
    "getWindowTitle", "setWindowTitle", "updateWindow", "pushImage", "clearWindow", "captureWindow",
    "updateKeyboardState", "consumeKeyboardState", "getMousePosition", "getMouseButtonState",
    "setTouchBarButtonText", "setTouchBarButtonImage", "clearTouchBar", "getTouchBarButtonState",
    "baremetal_load_raw_image", "baremetal_save_raw_image", "keylastchar",
    "keyup", "keydown", "keyleft", "keyright", "keyreturn", "keyback", "keydelete", "keyspace",
    "keya", "keyb", "keyc", "keyd", "keye", "keyf", "keyg", "keyh", "keyi", "keyj", "keyk", "keyl", "keym",
    "keyn", "keyo", "keyp", "keyq", "keyr", "keys", "keyt", "keyu", "keyv", "keyw", "keyx", "keyy", "keyz",
    "key0", "key1", "key2", "key3", "key4", "key5", "key6", "key7", "key8", "key9", "keyminus", "keyperiod",
    // character classes, locale, number parsing, math, 64-bit integer helpers
    "islower", "isupper", "isalpha", "isdigit", "isalnum", "isxdigit", "isspace", "isblank", "isprint",
    "tolower", "toupper", "setlocale", "localeconv", "strtol", "strtoul", "strtoll", "strtoull", "strtod",
    "strtof", "ldexp", "frexp", "fmod", "pow", "floor", "ceil", "trunc", "round", "lround", "llround",
    "sqrt", "log", "sin", "cos", "fabs", "isfinite", "lm_math_isfinite", "lm_math_isfinitel", "frexpf",
    "ldexpf", "powf", "floorf", "ceilf", "truncf", "sqrtf", "logf", "sinf", "cosf", "fmodf", "fabsf",
    "lm_math_isfinitef", "__ashldi3", "__lshrdi3", "__ashrdi3", "udivmod64", "__udivdi3", "__umoddi3",
    "__divdi3", "__moddi3",
    // What ordinary C programs expect beyond that: strings, classes, calendar time, signals
    "strrchr", "strcspn", "strcat", "strncat", "strncpy", "bcmp", "isgraph", "iscntrl", "ispunct", "difftime",
    "gmtime", "gmtime_r", "localtime", "localtime_r", "mktime", "strftime", "signal", "raise",
    // The accurate math functions
    "exp", "log2", "log10", "tan", "asin", "acos", "atan", "atan2", "sinh", "cosh", "tanh",
    // Standard input and output, exit, calloc
    "fopen", "freopen", "fclose", "fread", "fwrite", "fgetc", "getc", "getchar", "ungetc", "fgets", "fputc",
    "putc", "putchar", "fputs", "puts", "printf", "fprintf", "vprintf", "vfprintf", "fflush", "fseek", "ftell",
    "feof", "ferror", "clearerr", "remove", "rename", "setvbuf", "tmpfile", "tmpnam", "exit", "calloc",
    // Ordinary C++: termination, exceptions in flight and being handled, exception_ptr
    "_ZSt13set_terminatePFvvE", "_ZSt13get_terminatev", "_ZSt19uncaught_exceptionsv", "_ZSt18uncaught_exceptionv",
    "__cxa_uncaught_exceptions", "__cxa_uncaught_exception", "__cxa_get_globals", "__cxa_get_globals_fast",
    "__cxa_current_exception_type", "__cxa_current_primary_exception", "__cxa_rethrow_primary_exception",
    "__cxa_increment_exception_refcount", "__cxa_decrement_exception_refcount",
    // The standard exception classes: type_infos, vtables, what(), the constructors from a message
    "_ZTISt9exception", "_ZTVSt9exception", "_ZNKSt9exception4whatEv", "_ZNSt9exceptionD2Ev",
    "_ZTISt13bad_exception", "_ZTVSt13bad_exception", "_ZTISt8bad_cast", "_ZTVSt8bad_cast", "_ZTISt10bad_typeid",
    "_ZTVSt10bad_typeid", "_ZTISt9bad_alloc", "_ZTVSt9bad_alloc", "_ZTISt20bad_array_new_length",
    "_ZTVSt20bad_array_new_length", "_ZTISt11logic_error", "_ZTVSt11logic_error", "_ZNKSt11logic_error4whatEv",
    "_ZNSt11logic_errorC1EPKc", "_ZTISt12domain_error", "_ZTVSt12domain_error", "_ZNSt12domain_errorC1EPKc",
    "_ZTISt16invalid_argument", "_ZTVSt16invalid_argument", "_ZNSt16invalid_argumentC1EPKc", "_ZTISt12length_error",
    "_ZTVSt12length_error", "_ZNSt12length_errorC1EPKc", "_ZTISt12out_of_range", "_ZTVSt12out_of_range",
    "_ZNSt12out_of_rangeC1EPKc", "_ZTISt13runtime_error", "_ZTVSt13runtime_error", "_ZNKSt13runtime_error4whatEv",
    "_ZNSt13runtime_errorC1EPKc", "_ZTISt11range_error", "_ZTVSt11range_error", "_ZNSt11range_errorC1EPKc",
    "_ZTISt14overflow_error", "_ZTVSt14overflow_error", "_ZNSt14overflow_errorC1EPKc", "_ZTISt15underflow_error",
    "_ZTVSt15underflow_error", "_ZNSt15underflow_errorC1EPKc",
};

class ExportsTest : public ::testing::Test {
protected:
    DynamicInfo info = read_dynamic_info(LBW_LIBRARY_PATH);

    std::set<std::string> exported() const {
        std::set<std::string> names;
        for (const auto &sym : info.symbols)
            if (sym.defined && sym.global)
                names.insert(sym.name);
        return names;
    }
};

TEST_F(ExportsTest, FileNameAndSonameAreTheLibraryName) {
    EXPECT_EQ(std::filesystem::path(LBW_LIBRARY_PATH).filename(), "LorrinBootWindow");
    EXPECT_EQ(info.soname, "LorrinBootWindow");
}

TEST_F(ExportsTest, ImportsNothing) {
    EXPECT_TRUE(info.needed.empty());
    for (const auto &sym : info.symbols)
        EXPECT_TRUE(sym.defined) << "undefined dynamic symbol " << sym.name;
    EXPECT_FALSE(info.has_textrel);
}

TEST_F(ExportsTest, ExportsExactlyTheListedNames) {
    std::set<std::string> listed = listed_exports();
    std::set<std::string> actual = exported();
    for (const auto &name : listed)
        EXPECT_TRUE(actual.count(name)) << name << " is listed but not exported";
    for (const auto &name : actual)
        EXPECT_TRUE(listed.count(name)) << name << " is exported but not listed";
}

TEST_F(ExportsTest, CoreInterfaceIsExportedAndInternalsAreHidden) {
    std::set<std::string> actual = exported();
    for (const char *name : kCoreExports)
        EXPECT_TRUE(actual.count(name)) << name;
    for (const auto &sym : info.symbols)
        for (const char *name : kInternalNames)
            EXPECT_NE(sym.name, name) << name << " is in the dynamic symbol table";
}

} // namespace
} // namespace lbw::test
