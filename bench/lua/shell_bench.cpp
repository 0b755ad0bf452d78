// Lua programs run by the lorrinlua shell on the library, next to the same Lua sources
// built for Linux with glibc at the same optimisation. The shell runs each program as
// its index.lua, from the substitute host's in-memory store, and leaves at the end of
// input; glibc's Lua runs it as a string in a fresh state.
#include "bench/bench_library.h"

#include "simhost/files.h"

#include <benchmark/benchmark.h>

extern "C" {
#include "lauxlib.h"
#include "lua.h"
#include "lualib.h"
}

#include <stdexcept>

namespace lbw::bench {
namespace {

const char kFib[] = "local function fib(n) if n < 2 then return n end return fib(n - 1) + fib(n - 2) end\n"
                    "assert(fib(32) == 2178309)";
const char kSort[] = "math.randomseed(42) local t = {} for i = 1, 1000000 do t[i] = math.random() end\n"
                     "table.sort(t) assert(t[1] <= t[2])";
const char kStrings[] = "local p = {} for i = 1, 200000 do p[#p + 1] = 'item' .. i end assert(#p == 200000)";
const char kFormat[] = "local s for i = 1, 200000 do s = string.format('%d %s %5.2f %g', i, 'x', i / 7, i * 0.1) end\n"
                       "assert(s == '200000 x 28571.43 20000')";

void run_lib(benchmark::State &state, const char *program) {
    static auto *shell_main = [] {
        void *shell = library().load_program(LBW_BENCH_LORRINLUA);
        return reinterpret_cast<int (*)()>(simhost::LoadedLibrary::program_symbol(shell, "main"));
    }();
    simhost::Host::instance().files().recording = false;
    simhost::Host::instance().files().memory().put("index.lua", program);
    for (auto _ : state) {
        if (shell_main() != 0)
            throw std::runtime_error("the shell failed to run the program");
    }
}

void run_glibc(benchmark::State &state, const char *program) {
    for (auto _ : state) {
        lua_State *L = luaL_newstate();
        luaL_openlibs(L);
        if (luaL_dostring(L, program) != LUA_OK)
            throw std::runtime_error(lua_tostring(L, -1));
        lua_close(L);
    }
}

BENCHMARK_CAPTURE(run_lib, lua_fib32_lib, kFib)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run_glibc, lua_fib32_glibc, kFib)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run_lib, lua_sort_1e6_lib, kSort)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run_glibc, lua_sort_1e6_glibc, kSort)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run_lib, lua_strings_200000_lib, kStrings)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run_glibc, lua_strings_200000_glibc, kStrings)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run_lib, lua_format_200000_lib, kFormat)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run_glibc, lua_format_200000_glibc, kFormat)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace lbw::bench
