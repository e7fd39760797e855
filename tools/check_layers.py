#!/usr/bin/env python3
"""Checks every include of the source tree against two rules and fails with one line per
breach ("FILE:LINE: error: ..."):

- a folder includes only itself and the folders below it (LAYERS);
- a third-party library's headers appear only in the files at the edge of that library
  (LIBRARIES).

Every form of include is read: indented, "# include" with blanks or comments around the "#",
the "%:" spelling, a directive continued with a backslash, quotes and angle brackets, paths
with "./" and "../" (resolved the way the compiler resolves them, from the including file's
folder first and then from the source root). A computed include (#include MACRO) cannot be
checked and is a breach itself. Comments, string and raw string literals are skipped, so an
include written inside one is not read.

Usage: check_layers.py [SOURCE_DIR]   (the default is the folder above this script)
"""

import bisect
import fnmatch
import os
import re
import sys

# The folders directly below each folder; a folder may include these and everything below
# them. playlist/, disc/ and outputs/ stand side by side; the front ends never include each
# other. Support code: testing/ (the test-support library) builds on the whole core; the
# sample-disc writer (tools/), the benchmarks (bench/) and the fuzz targets (fuzz/) on the core
# and testing/. Neither the core nor the front ends include the support code, except that a
# test (a file named *_test.* or *_test_*) may include testing/ as well.
LAYERS = {
    "report": [],
    "analysis": ["report"],
    "engine": ["analysis"],
    "playlist": ["engine"],
    "disc": ["engine"],
    "outputs": ["engine"],
    "mux": ["playlist", "disc", "outputs"],
    "runs": ["mux"],
    "cli": ["runs"],
    "ui": ["runs"],
    "testing": ["runs"],
    "tools": ["testing"],
    "bench": ["testing"],
    "fuzz": ["testing"],
}
TEST_SUPPORT = "testing"

# Each library: the headers that are its own (a pattern matched from the start of the path
# as included), and the files that may include them (patterns over the path from the source
# root; "*" spans folders). Besides the edge itself, a few tests use a library to read back
# what the product wrote; they are listed too.
LIBRARIES = [
    ("libdvdread", r"dvdread/", ["disc/ifo.cpp"]),
    ("pugixml", r"pugi(xml|config)\.hpp$", ["disc/xpl_model.cpp"]),
    ("libudfread", r"udfread/", ["disc/udf_image.cpp"]),
    ("libsndfile", r"sndfile\.hh?$", ["outputs/sound_file.cpp", "outputs/*_test.cpp"]),
    ("nlohmann-json", r"nlohmann/", ["cli/*", "mux/*", "runs/mkv_run_test.cpp"]),
    ("CLI11", r"CLI/", ["cli/*"]),
    ("Qt", r"(Qt\w*/|Q[A-Za-z0-9]+$)", ["ui/*"]),
    ("libjpeg", r"(jpeglib|jerror|jconfig|jmorecfg)\.h$", ["ui/logo.cpp"]),
    ("GoogleTest", r"(gtest|gmock)/", ["*_test.cpp"]),
    ("Google Benchmark", r"benchmark/", ["bench/*"]),
]

SOURCE_SUFFIXES = (".h", ".hh", ".hpp", ".hxx", ".c", ".cc", ".cpp", ".cxx", ".inc", ".ipp")

# One token of C++ source at a time: comments, literals (raw strings first, as "R" would
# otherwise read as a name), numbers with digit separators, names, a line end, the
# directive introducers, or any other single character.
TOKEN = re.compile(
    r"""(?P<comment>//[^\n]*|/\*.*?(?:\*/|\Z))
      |(?P<raw>\b(?:u8|u|U|L)?R"(?P<delim>[^()\\\s"]{0,16})\(.*?(?:\)(?P=delim)"|\Z))
      |(?P<literal>"(?:\\.|[^"\\\n])*"|'(?:\\.|[^'\\\n])*')
      |(?P<number>\.?\d(?:'?[\w.]|[eEpP][+-])*)
      |(?P<name>\w+)
      |(?P<newline>\n)
      |(?P<blank>[ \t\f\v\r]+)
      |(?P<hash>\#|%:)
      |(?P<other>.)""",
    re.DOTALL | re.VERBOSE,
)
HEADER = re.compile(r'[ \t\f\v\r]*(?:/\*.*?\*/[ \t\f\v\r]*)*(<[^>\n]*>|"[^"\n]*")')
INCLUDE_WORDS = ("include", "include_next", "import")


def splice(text):
    """The text with every backslash-newline removed, as the compiler does before anything
    else, and a function that gives the line of the original text for an offset into it."""
    pieces = text.split("\\\n")
    starts, first_lines, offset, line = [], [], 0, 1
    for piece in pieces:
        starts.append(offset)
        first_lines.append(line)
        offset += len(piece)
        line += piece.count("\n") + 1
    joined = "".join(pieces)

    def line_of(at):
        index = bisect.bisect_right(starts, at) - 1
        return first_lines[index] + joined.count("\n", starts[index], at)

    return joined, line_of


def directives(text):
    """Yields (line, header) for each include directive; header keeps its delimiters, or is
    None for a computed include."""
    text, line_of = splice(text)
    at_line_start, in_directive = True, False
    position = 0
    while position < len(text):
        token = TOKEN.match(text, position)
        kind, position = token.lastgroup, token.end()
        if kind in ("comment", "blank"):
            continue
        if kind == "newline":
            at_line_start, in_directive = True, False
            continue
        if kind == "hash" and at_line_start:
            in_directive, at_line_start = True, False
            continue
        if kind == "name" and in_directive and token.group() in INCLUDE_WORDS:
            header = HEADER.match(text, position)
            yield line_of(token.start()), header.group(1) if header else None
        at_line_start, in_directive = False, False


def below(folder):
    """Every folder that `folder` may include, itself included."""
    allowed, pending = {folder}, list(LAYERS[folder])
    while pending:
        lower = pending.pop()
        if lower not in allowed:
            allowed.add(lower)
            pending.extend(LAYERS[lower])
    return allowed


def is_test(path):
    name = os.path.basename(path)
    return "_test." in name or "_test_" in name


def resolve(root, path, header):
    """The path from the source root that an include reaches, or None outside the tree. A
    quoted name is looked for beside the including file first, then from the root (as the
    compiler does). When neither file exists, the name from the root counts, or, when that
    leaves the tree, the name beside the file."""
    name = header[1:-1]
    if os.path.isabs(name):
        name = os.path.relpath(name, root)
    candidates = [os.path.join(os.path.dirname(path), name)] if header.startswith('"') else []
    candidates = [os.path.normpath(c) for c in candidates + [name]]
    inside = [c.replace(os.sep, "/") for c in candidates if not c.startswith("..")]
    for candidate in inside:
        if os.path.isfile(os.path.join(root, candidate)):
            return candidate
    return inside[-1] if inside else None


def rule_text(folder):
    lower = sorted(below(folder) - {folder})
    names = ", ".join(f + "/" for f in lower) if lower else "nothing of Korvell"
    return f"{folder}/ may include {names}"


def breaches(root, path, text):
    """The breaches of one file, as "LINE: message" strings."""
    folder = path.split("/")[0]
    allowed = below(folder) | ({TEST_SUPPORT} if is_test(path) else set())
    for line, header in directives(text):
        if header is None:
            yield line, "a computed include cannot be checked; name the header"
            continue
        reached = resolve(root, path, header)
        if reached is None:
            yield line, f"#include {header} reaches outside the source tree"
            continue
        first = reached.split("/")[0]
        if "/" in reached and first in LAYERS:
            if first not in allowed:
                rule = rule_text(folder) + (f" and {TEST_SUPPORT}/" if is_test(path) else "")
                yield line, f"#include {header}: {rule}, not {first}/"
            continue
        for library, pattern, edges in LIBRARIES:
            if re.match(pattern, reached) or re.match(pattern, header[1:-1]):
                if not any(fnmatch.fnmatchcase(path, edge) for edge in edges):
                    yield line, (f"#include {header}: {library} is included only in "
                                 f"{', '.join(edges)}")
                break


def source_files(root):
    """Every C++ file under the source root's folders, build folders left out; a folder of
    C++ files with no layer rule yields (None, folder)."""
    for entry in sorted(os.listdir(root)):
        top = os.path.join(root, entry)
        if entry.startswith(".") or not os.path.isdir(top) or entry.startswith("build"):
            continue
        found = []
        for folder, subfolders, files in os.walk(top):
            if "CMakeCache.txt" in files:
                subfolders[:] = []
                continue
            subfolders.sort()
            for name in sorted(files):
                if name.endswith(SOURCE_SUFFIXES):
                    found.append(os.path.relpath(os.path.join(folder, name), root))
        if found and entry not in LAYERS:
            yield None, entry
            continue
        for path in found:
            yield path.replace(os.sep, "/"), None


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    root = os.path.abspath(argv[1] if len(argv) > 1 else os.path.join(here, ".."))
    failures = 0
    for path, stray in source_files(root):
        if path is None:
            print(f"{stray}/: error: a folder of C++ sources with no layer rule in LAYERS")
            failures += 1
            continue
        with open(os.path.join(root, path), encoding="utf-8", errors="replace") as source:
            text = source.read()
        for line, message in breaches(root, path, text):
            print(f"{path}:{line}: error: {message}")
            failures += 1
    if failures:
        print(f"{failures} include(s) break the layer rules (tools/check_layers.py)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
