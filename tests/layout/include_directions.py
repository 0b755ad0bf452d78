#!/usr/bin/env python3
"""README's layout table says which folder may include which. Every include of every
tracked source file that names a folder of the tree must be one its folder's row allows,
its own folder's or a public header (libc/include/). Includes by a bare name (system
headers, public headers on the include path, files beside the includer) pass."""
import os, re, subprocess, sys

source = sys.argv[1]
readme = open(os.path.join(source, "README.md"), encoding="utf-8").read()
layout = readme[readme.index("\n## Layout"):]
layout = layout[:layout.find("\n## ", 1)]
rules = {}
for row in re.findall(r"^\|([^|\n]*)\|([^|\n]*)\|", layout, re.M):
    for folder in re.findall(r"`([^`]+)`", row[0]):
        rules[folder] = re.findall(r"`([^`]+)`", row[1])

def source_files():
    listing = subprocess.run(["git", "-C", source, "ls-files"], capture_output=True, text=True)
    if listing.returncode == 0:
        return listing.stdout.split()
    # A copy without its history: every file outside build and hidden folders.
    found = []
    for folder, subfolders, names in os.walk(source):
        subfolders[:] = [d for d in subfolders if not d.startswith((".", "build"))]
        found += [os.path.relpath(os.path.join(folder, name), source) for name in names]
    return found

files = source_files()
files = [f for f in files if re.search(r"\.(c|cc|cpp|h|hpp|inc|S)$", f)]
top = lambda path: path.split("/")[0] + "/" if "/" in path else ""
folders = {top(f) for f in files}
problems = ["README's table names %s, which holds no source file" % f for f in rules if f not in folders]
if not rules or not files:
    problems.append("no include table in README's layout section, or no tracked sources")

def allowed(folder, target):
    if target.startswith((folder, "libc/include/")):
        return True
    return any(target.startswith(r) if r.endswith("/") else target == r for r in rules[folder])

for f in files:
    folder = top(f)
    if folder not in rules:
        problems.append("%s: README's include table has no row for %s" % (f, folder))
        continue
    for number, line in enumerate(open(os.path.join(source, f), encoding="utf-8", errors="replace"), 1):
        m = re.match(r'\s*#\s*include\s*[<"]([^>"]+)[>"]', line)
        if not m:
            continue
        name = m.group(1)
        target = os.path.normpath(os.path.join(os.path.dirname(f), name)) if name.startswith(".") else name
        if top(target) in folders and not allowed(folder, target):
            problems.append("%s:%d: %s may not include %s" % (f, number, folder, name))
print("\n".join(problems) or "every include is one the layout table allows")
sys.exit(1 if problems else 0)
