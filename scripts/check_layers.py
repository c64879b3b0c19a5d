#!/usr/bin/env python3
"""Checks that every include line of the project follows the layers: a file may include
headers of its own folder's layer and of the layers below it, never of one above.

The layers, lowest first, are those of the libraries in the CMake files (LAYERS below).
Headers of os/posix and os/win32 are private to them (and to the facilities of
format_facilities made over them, and the tests of tests/ that prove them); test
doubles (testing/ folders) are for test code only.
The link libraries of every target are checked against the same order when CMake
configures the project (cmake/Layers.cmake reads LAYERS from here), which also writes
the lists of its test targets' sources and of its other targets' sources
(<build>/test_code.txt, <build>/product_code.txt) for this check. Run with
the project's root as argument (and --test-code <build>/test_code.txt unless the build
is <root>/build), or with --self-test [cmake] to prove both checks.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

# Folder -> layer rank. A file belongs to the longest folder that is a prefix of its
# path. Folders of equal rank may not include each other (posix and win32 are apart).
# cmake/Layers.cmake reads this table too: keep one folder a line.
LAYERS = {
    "base": 0,
    "zelkorsec": 0,
    "platform": 1,
    "platform/testing": 1,
    "os/posix": 2,
    "os/win32": 2,
    "formats": 3,
    "format_facilities": 4,
    "runtime": 5,
    "resources": 6,
    "security": 7,
    "settings": 8,
    "system": 9,
    "repair": 10,
    "startup": 11,
    "tools": 12,
    "bench": 13,
    "tests": 13,
}
# Headers private to one operating system's implementation.
OS_FOLDERS = ("os/posix", "os/win32")
# The facilities made of a format reader and the OS's calls use those headers too.
OS_USERS = ("format_facilities",)
# Quoted includes ("runtime/x.h", "../repair/x.h") and angled ones (<repair/x.h>): every
# target has the source root on its include path, so both reach the project's folders.
INCLUDE = re.compile(r'^\s*#\s*include\s*(?:"([^"]+)"|<([^>]+)>)')
SOURCES = (".h", ".hpp", ".cpp", ".cc", ".c", ".inc")


def folder_of(path):
    best = None
    for folder in LAYERS:
        if path == folder or path.startswith(folder + "/"):
            if best is None or len(folder) > len(best):
                best = folder
    return best


def included_path(root, path, match):
    """The file an include line names, relative to the root, as the compiler finds it: a
    quoted name first beside the including file (always so for "./" and "../"), then
    from the source root; an angled name from the source root only."""
    quoted, angled = match.group(1), match.group(2)
    if quoted is not None:
        beside = os.path.normpath(os.path.join(os.path.dirname(path), quoted))
        if quoted.startswith(("./", "../")) or os.path.isfile(os.path.join(root, beside)):
            return beside.replace(os.sep, "/")
    return os.path.normpath(quoted if quoted is not None else angled).replace(os.sep, "/")


def is_test_code(path, test_sources):
    """Test code is what lies in a testing/ folder (the doubles and fixtures of a layer,
    its fuzzers), in tests/ or bench/, or is a source of a test target of the build."""
    return ("/testing/" in "/" + path or path.startswith(("tests/", "bench/"))
            or path in test_sources)


def read_test_sources(listing):
    """The sources of the build's test targets, one path (relative to the root) a line,
    as the configure writes them (cmake/Layers.cmake)."""
    with open(listing, encoding="utf-8") as lines:
        return {line.strip() for line in lines if line.strip()}


def is_product_code(path, test_sources, product_sources):
    """Product code, which may not use a test double: any header outside the test code,
    and a source the build compiles into a program or library. Without the build's list
    of those, every source outside the test code; with it, a source of neither list is
    one this build does not compile (a POSIX test in a Windows build), which the other
    system's build judges."""
    if is_test_code(path, test_sources):
        return False
    return (path.endswith((".h", ".hpp", ".inc")) or product_sources is None
            or path in product_sources)


def violations(root, test_sources, product_sources=None):
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
                    included = included_path(root, path, match)
                    target = folder_of(included)
                    if target is None:
                        continue
                    quoted, angled = match.group(1), match.group(2)
                    written = f'"{quoted}"' if angled is None else f"<{angled}>"
                    where = f"{path}:{number}: includes {written}"
                    if ("/testing/" in "/" + included
                            and is_product_code(path, test_sources, product_sources)):
                        found.append(f"{where} (a test double in product code)")
                    elif target == source:
                        continue
                    elif LAYERS[target] > LAYERS[source]:
                        found.append(f"{where} ({target} is above {source})")
                    elif LAYERS[target] == LAYERS[source] and not (
                            source.startswith(target + "/") or target.startswith(source + "/")):
                        found.append(f"{where} ({target} and {source} are apart)")
                    elif (target in OS_FOLDERS and not source.startswith(target)
                          and source not in OS_USERS and not path.startswith("tests/")):
                        found.append(f"{where} (only {target} itself uses its headers)")
    return found


def write(root, path, text):
    os.makedirs(os.path.dirname(os.path.join(root, path)), exist_ok=True)
    with open(os.path.join(root, path), "w", encoding="utf-8") as out:
        out.write(text)


def include_self_test():
    """Upward includes in each form the compiler accepts must be caught, and so must a
    test double in product code (a header, or a source the build compiles into a
    library); the includes a runtime file may make (its own folder, lower layers, the C++
    library, a double from a test source or from a source only another system's build
    compiles) must not."""
    expected = {
        "runtime/quoted.cpp:1": "(startup is above runtime)",
        "runtime/angled.cpp:1": "(repair is above runtime)",
        "runtime/relative.cpp:1": "(repair is above runtime)",
        "runtime/roundabout.cpp:1": "(repair is above runtime)",
        "runtime/unlisted.cpp:1": "(a test double in product code)",
    }
    with tempfile.TemporaryDirectory() as root:
        write(root, "startup/main.h", "#pragma once\n")
        write(root, "repair/fix.h", "#pragma once\n")
        write(root, "base/bytes.h", "#pragma once\n")
        write(root, "runtime/file.h", "#pragma once\n")
        write(root, "runtime/quoted.cpp", '#include "startup/main.h"\n')
        write(root, "runtime/angled.cpp", "#include <repair/fix.h>\n")
        write(root, "runtime/relative.cpp", '#include "../repair/fix.h"\n')
        write(root, "runtime/roundabout.cpp", '#include "base/../repair/fix.h"\n')
        write(root, "runtime/fine.cpp", '#include "file.h"\n#include "../base/bytes.h"\n'
              '#include <base/bytes.h>\n#include <string>\n#include "runtime/file.h"\n')
        write(root, "runtime/testing/double.h", "#pragma once\n")
        write(root, "runtime/unlisted.cpp", '#include "runtime/testing/double.h"\n')
        write(root, "runtime/listed.cpp", '#include "runtime/testing/double.h"\n')
        write(root, "runtime/other_system.cpp", '#include "runtime/testing/double.h"\n')
        write(root, "runtime/product.h", '#include "runtime/testing/double.h"\n')
        expected["runtime/product.h:1"] = "(a test double in product code)"
        found = violations(root, {"runtime/listed.cpp"},
                           {"runtime/unlisted.cpp", "runtime/fine.cpp", "runtime/quoted.cpp"})
    caught = {line.split(": includes")[0]: line for line in found}
    failures = 0
    for where, reason in expected.items():
        line = caught.pop(where, None)
        if line is None or reason not in line:
            print(f"check_layers: {where} {reason} was not caught")
            failures += 1
        else:
            print("check_layers: caught", line)
    for line in caught.values():
        print("check_layers: a sound include was reported:", line)
        failures += 1
    return failures


def link_self_test(cmake):
    """Configures two small projects with cmake/Layers.cmake: one whose libraries link
    downward must configure, one with upward links (plain and in a generator
    expression) must fail, naming each."""
    if not cmake or not shutil.which(cmake):
        print("check_layers: no cmake to prove the link check with")
        return 1
    layers = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "cmake",
                          "Layers.cmake").replace(os.sep, "/")

    def configure(links):
        with tempfile.TemporaryDirectory() as root:
            write(root, "CMakeLists.txt",
                  "cmake_minimum_required(VERSION 3.25)\nproject(LayerLinks NONE)\n"
                  f'include("{layers}")\n'
                  "foreach(folder base runtime resources repair startup)\n"
                  "  add_subdirectory(${folder})\nendforeach()\n")
            for folder in ("base", "runtime", "resources", "repair", "startup"):
                write(root, f"{folder}/CMakeLists.txt",
                      f"add_library(tollwick_{folder} INTERFACE)\n" + links.get(folder, ""))
            run = subprocess.run([cmake, "-S", root, "-B", os.path.join(root, "build")],
                                 capture_output=True, text=True)
            return run.returncode, run.stdout + run.stderr

    failures = 0
    status, output = configure({
        "runtime": "target_link_libraries(tollwick_runtime INTERFACE tollwick_base)\n",
        "repair": "target_link_libraries(tollwick_repair INTERFACE tollwick_runtime)\n"})
    if status != 0:
        print("check_layers: downward links failed the configure:\n" + output)
        failures += 1
    status, output = configure({
        "runtime": "target_link_libraries(tollwick_runtime INTERFACE tollwick_repair)\n",
        "resources": "target_link_libraries(tollwick_resources INTERFACE "
                     "$<$<BOOL:ON>:tollwick_startup>)\n"})
    output = " ".join(output.split())
    for link in ("tollwick_runtime (runtime) links tollwick_repair (repair)",
                 "tollwick_resources (resources) links tollwick_startup (startup)"):
        if status == 0 or link + ", a layer above it" not in output:
            print(f"check_layers: the upward link {link} did not fail the configure:\n"
                  + output)
            failures += 1
        else:
            print(f"check_layers: caught {link}, a layer above it (the configure failed)")
    return failures


def self_test(cmake):
    return 1 if include_self_test() + link_self_test(cmake) else 0


def main(argv):
    if argv[1:2] == ["--self-test"]:
        # The link check runs in the configure: it is proven with the cmake given (the
        # one of the build under test) or the first on the PATH.
        return self_test(argv[2] if len(argv) > 2 else "cmake")
    arguments = argv[1:]
    listing = None
    if "--test-code" in arguments:
        at = arguments.index("--test-code")
        listing = arguments[at + 1] if at + 1 < len(arguments) else None
        del arguments[at:at + 2]
    root = arguments[0] if arguments else os.path.join(os.path.dirname(__file__), "..")
    if listing is None:
        listing = os.path.join(root, "build", "test_code.txt")
    if not os.path.isfile(listing):
        print(f"check_layers: no list of the build's test code at {listing}: configure a "
              "build and give --test-code <build>/test_code.txt")
        return 2
    products = os.path.join(os.path.dirname(listing), "product_code.txt")
    found = violations(root, read_test_sources(listing),
                       read_test_sources(products) if os.path.isfile(products) else None)
    for line in found:
        print(line)
    print(f"check_layers: {len(found)} include(s) against the layers")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
