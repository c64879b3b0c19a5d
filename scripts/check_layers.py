#!/usr/bin/env python3
"""Checks that every include line of the project follows the layers: a file may include
headers of its own folder's layer and of the layers below it, never of one above.

The layers, lowest first, are those of the libraries in the CMake files (LAYERS below).
Headers of platform/posix and platform/win32 are private to them (and to the tests of
tests/ that prove them); test doubles (testing/ folders) are for test code only.
Run with the project's root as argument, or with --self-test.
"""
import os
import re
import sys
import tempfile

# Folder -> layer rank. A file belongs to the longest folder that is a prefix of its
# path. Folders of equal rank may not include each other (posix and win32 are apart).
LAYERS = {
    "base": 0,
    "zelkorsec": 0,
    "platform": 1,
    "platform/posix": 2,
    "platform/win32": 2,
    "platform/testing": 1,
    "runtime": 3,
    "resources": 4,
    "security": 5,
    "settings": 6,
    "system": 7,
    "repair": 8,
    "startup": 9,
    "tools": 10,
    "bench": 11,
    "tests": 11,
}
# Headers private to one operating system's implementation.
OS_FOLDERS = ("platform/posix", "platform/win32")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
SOURCES = (".h", ".hpp", ".cpp", ".cc", ".c", ".inc")


def folder_of(path):
    best = None
    for folder in LAYERS:
        if path == folder or path.startswith(folder + "/"):
            if best is None or len(folder) > len(best):
                best = folder
    return best


def is_test_code(path):
    name = os.path.basename(path)
    return ("_test." in name or "test_support" in name or "fixture" in name
            or "/testing/" in "/" + path
            or "fuzz" in name or path.startswith(("tests/", "bench/")))


def violations(root):
    found = []
    for directory, _, files in os.walk(root):
        relative_dir = os.path.relpath(directory, root).replace(os.sep, "/")
        if relative_dir.startswith((".", "build")) and relative_dir != ".":
            continue
        for name in files:
            if not name.endswith(SOURCES):
                continue
            path = name if relative_dir == "." else relative_dir + "/" + name
            source = folder_of(path)
            if source is None:
                continue
            with open(os.path.join(root, path), encoding="utf-8", errors="replace") as text:
                for number, line in enumerate(text, 1):
                    match = INCLUDE.match(line)
                    if not match:
                        continue
                    target = folder_of(match.group(1))
                    if target is None or target == source:
                        continue
                    where = f"{path}:{number}: includes {match.group(1)}"
                    if LAYERS[target] > LAYERS[source]:
                        found.append(f"{where} ({target} is above {source})")
                    elif LAYERS[target] == LAYERS[source] and not (
                            source.startswith(target + "/") or target.startswith(source + "/")):
                        found.append(f"{where} ({target} and {source} are apart)")
                    elif (target in OS_FOLDERS and not source.startswith(target)
                          and not path.startswith("tests/")):
                        found.append(f"{where} (only {target} itself uses its headers)")
                    elif target.endswith("testing") or "/testing/" in match.group(1):
                        if not is_test_code(path):
                            found.append(f"{where} (a test double in product code)")
    return found


def self_test():
    """The check must catch an upward include: a runtime file that includes startup."""
    with tempfile.TemporaryDirectory() as root:
        os.makedirs(os.path.join(root, "runtime"))
        os.makedirs(os.path.join(root, "startup"))
        with open(os.path.join(root, "startup", "main.h"), "w") as out:
            out.write("#pragma once\n")
        with open(os.path.join(root, "runtime", "bad.cpp"), "w") as out:
            out.write('#include "startup/main.h"\n')
        found = violations(root)
    if len(found) != 1:
        print("check_layers: the deliberate upward include was not caught", found)
        return 1
    print("check_layers: caught", found[0])
    return 0


def main(argv):
    if argv[1:] == ["--self-test"]:
        return self_test()
    root = argv[1] if len(argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    found = violations(root)
    for line in found:
        print(line)
    print(f"check_layers: {len(found)} include(s) against the layers")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
