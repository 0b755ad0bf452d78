#!/usr/bin/env python3
"""Runs the benchmark executable and writes docs/performance.md.

Benchmarks come in pairs: a capture named NAME_lib times the library, a capture NAME_REF
(any other suffix: glibc, memset, gxx, ...) times the reference for the same work. The
table shows both times and their ratio (library / reference; below 1 is faster), and for
the rows that have a target, whether they meet it. The notes in
bench/performance-notes.md (what the references are, why a target is missed) follow the
table.

Times are CPU times of the benchmark process: the machine is shared, and wall-clock times
include waiting for the processor.
"""
import json
import os
import platform
import re
import subprocess
import sys

# Targets by benchmark key; a key ending in "*" is a prefix. A number bounds the ratio
# library / reference; a time ("50 ns") bounds the library's own time, for rows whose
# reference does other work or that have none. bench/performance-notes.md gives the
# reason for each target that no issue set.
TARGETS = {
    "memcpy/*": 1.2,
    "memmove_up/*": 1.2,
    "memmove_down/*": 1.2,
    "memset/*": 1.2,
    "memcmp/*": 1.2,
    "strlen/*": 1.2,
    "strchr/*": 1.2,
    "fwrite_1MiB_in_16_byte_pieces": 1.0,
    "getc_1MiB": 1.0,
    "throw_1_frame": 1.0,
    "throw_10_frames": 1.0,
    "call_with_landing_pad": 3.0,
    "snprintf_mixed": 1.0,
    "snprintf_long_string": 1.0,
    "malloc_free_live_blocks/10": "50 ns",
    "malloc_free_live_blocks/1000": "50 ns",
    "malloc_free_live_blocks/100000": "80 ns",
    "strtod_typical": 1.0,
    "strtol_typical": 1.0,
    "exp_typical": 3.0,
    "atan2_typical": 2.0,
    "probe_heap_alloc_10000": 1.0,
    "update_640x480_to_1920x1080": 1.5,
    "update_320x200_to_1920x1080": 1.2,
    "render_640x480_image_640x480": "200 us",
    "render_640x480_image_100x100": "100 us",
    "lorrinlua_format_g14": 1.3,
    "lorrinlua_format_5_2f": 1.3,
    "lorrinlua_format_lld": 1.3,
    "lorrinlua_strtod_typical": 1.3,
    "lua_fib32": 1.3,
    "lua_sort_1e6": 1.3,
    "lua_strings_200000": 1.3,
    "lua_format_200000": 1.3,
}

REPETITIONS = 5

# glibc's feature selection without AVX-512: its AVX2 memory and string functions, the
# instruction set the library's use.
AVX2_ONLY = "glibc.cpu.hwcaps=-AVX512F,-AVX512VL,-AVX512BW,-AVX512DQ,-AVX512CD"
AVX2_COMPARED = ["memcpy", "memmove", "memset", "memcmp", "strlen", "strchr"]

UNITS = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}


def target_for(key):
    if key in TARGETS:
        return TARGETS[key]
    for pattern, target in TARGETS.items():
        if pattern.endswith("*") and key.startswith(pattern[:-1]):
            return target
    return None


def judge(target, lib, ratio):
    """(target text, met text) for a target and the library's (time, unit)."""
    if target is None:
        return "-", "-"
    if isinstance(target, str):
        bound, unit = target.split()
        if not lib:
            return f"≤ {target}", "-"
        value = lib[0] * UNITS[lib[1]] / (float(bound) * UNITS[unit])
    else:
        bound = f"{target:.2f}"
        if ratio is None:
            return f"≤ {bound}", "-"
        value = ratio / target
    return f"≤ {target if isinstance(target, str) else bound}", "yes" if value <= 1 else f"no, {value:.2f}x over"


def machine():
    """The processor as /proc/cpuinfo names it, with its family, model and stepping
    (a virtual machine may give no more than a generic name)."""
    fields = {}
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if not line.strip():
                    break
                name, _, value = line.partition(":")
                fields[name.strip()] = value.strip()
    except OSError:
        pass
    model = fields.get("model name") or platform.processor() or "unknown processor"
    if "cpu family" in fields:
        model += f" (family {fields['cpu family']}, model {fields.get('model', '?')}, stepping {fields.get('stepping', '?')})"
    return f"{model}, {os.cpu_count()} cores, {platform.machine()}"


def compiler():
    try:
        out = subprocess.run(["clang++", "--version"], capture_output=True, text=True).stdout
        return out.splitlines()[0]
    except OSError:
        return "unknown compiler"


def split_name(name):
    """(key, side) from a benchmark name such as copy/memcpy_lib/16 or fwrite_..._glibc.

    The segment ending in _SIDE is the one after the function name when there is one
    (BENCHMARK_CAPTURE names are function/capture/args); numeric segments after it are
    arguments and stay in the key."""
    segments = name.split("/")
    named = [i for i, s in enumerate(segments) if re.search(r"_[A-Za-z0-9+]+$", s) and not s.isdigit()]
    if not named:
        return None
    i = named[-1]
    m = re.match(r"^(.*)_([A-Za-z0-9+]+)$", segments[i])
    key = "/".join([m.group(1)] + segments[i + 1:])
    return key, m.group(2)


def ratio_of(sides):
    """library / reference of a row's times (the first reference), or None."""
    lib = sides.get("lib")
    refs = [value for name, value in sides.items() if name != "lib" and value]
    if not lib or not refs or refs[0][1] != lib[1] or refs[0][0] <= 0:
        return None
    return lib[0] / refs[0][0]


def format_time(value, unit):
    return f"{value:,.1f} {unit}"


def run_benchmarks(bench, *arguments, env=None):
    """The median results of the benchmark executable, in the order the benchmarks are
    defined. Repetitions run in random order, so that a burst of load on the shared
    machine falls on the library's and the reference's runs alike."""
    run = subprocess.run([bench, "--benchmark_format=json", "--benchmark_min_time=0.2",
                          f"--benchmark_repetitions={REPETITIONS}", "--benchmark_enable_random_interleaving=true",
                          "--benchmark_report_aggregates_only=true", *arguments],
                         capture_output=True, text=True, check=True, env=env)
    results = sorted(json.loads(run.stdout)["benchmarks"],
                     key=lambda r: (r.get("family_index", 0), r.get("per_family_instance_index", 0)))
    return [r for r in results if r.get("aggregate_name", "median") == "median"]


def avx2_references(bench):
    """glibc's memory and string functions for processors without AVX-512, by key: the
    same instructions as the library's."""
    env = dict(os.environ, GLIBC_TUNABLES=AVX2_ONLY)
    times = {}
    for r in run_benchmarks(bench, f"--benchmark_filter=({'|'.join(AVX2_COMPARED)}).*_glibc", env=env):
        parsed = split_name(r.get("run_name", r["name"]))
        if parsed:
            times[parsed[0]] = (r["cpu_time"], r["time_unit"])
    return times


def main():
    bench, output = sys.argv[1], sys.argv[2]
    notes_path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "bench", "performance-notes.md")
    results = run_benchmarks(bench)
    avx2 = avx2_references(bench)
    pairs = {}
    order = []
    for r in results:
        name = r.get("run_name", r["name"])
        parsed = split_name(name)
        if not parsed:
            continue
        key, side = parsed
        if key not in pairs:
            pairs[key] = {}
            order.append(key)
        pairs[key][side] = (r["cpu_time"], r["time_unit"])
    lines = [
        "# Performance",
        "",
        "Generated by `cmake --build build --target benchmarks` (tools/performance-report.py",
        "runs build/bench/lbw_bench); do not edit by hand. The notes below the table come from",
        "bench/performance-notes.md.",
        "",
        f"- Machine: {machine()}",
        f"- Compiler: {compiler()} (library and programs); references: glibc "
        f"{platform.libc_ver()[1] or '?'}, g++ for the exception reference",
        f"- Times: median of {REPETITIONS} runs in random order, CPU time of the benchmark process (the machine is shared).",
        "",
        "| benchmark | library | reference | reference time | library / reference | target | met |",
        "|---|---|---|---|---|---|---|",
    ]
    for key in order:
        sides = pairs[key]
        lib = sides.get("lib")
        refs = [(name, value) for name, value in sides.items() if name != "lib"]
        for ref_name, ref in refs or [("-", None)]:
            lib_text = format_time(*lib) if lib else "-"
            ref_text = format_time(*ref) if ref else "-"
            ratio = ratio_of({"lib": lib, ref_name: ref})
            ratio_text = f"{ratio:.2f}" if ratio is not None else "-"
            target_text, met = judge(target_for(key), lib, ratio)
            lines.append(f"| {key} | {lib_text} | {ref_name} | {ref_text} | {ratio_text} | {target_text} | {met} |")
    missed = [(key, pairs[key]["lib"], avx2[key]) for key in order
              if key in avx2 and "lib" in pairs[key] and judge(target_for(key), pairs[key]["lib"], ratio_of(pairs[key]))[1].startswith("no")]
    if missed:
        lines += [
            "",
            "## The rows that miss, against glibc's AVX2 versions",
            "",
            "The library's memory and string functions use AVX2 where the processor and host allow it",
            "(SSE2 otherwise); glibc picks its AVX-512VL (EVEX) versions on this processor. The same",
            "benchmarks, run again by this report with glibc's versions for processors without AVX-512",
            f"(`GLIBC_TUNABLES={AVX2_ONLY}`):",
            "",
            "| benchmark | library | glibc, AVX2 | library / glibc AVX2 |",
            "|---|---|---|---|",
        ]
        for key, lib, ref in missed:
            ratio = f"{lib[0] / ref[0]:.2f}" if lib[1] == ref[1] and ref[0] > 0 else "-"
            lines.append(f"| {key} | {format_time(*lib)} | {format_time(*ref)} | {ratio} |")
    try:
        with open(notes_path) as f:
            lines += ["", f.read().rstrip()]
    except OSError:
        pass
    with open(output, "w") as f:
        f.write("\n".join(lines) + "\n")
    print(f"wrote {output}")


if __name__ == "__main__":
    main()
