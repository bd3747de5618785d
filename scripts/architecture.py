#!/usr/bin/env python3
"""The library picture of the CMake tree, and its checks.

    scripts/architecture.py mermaid   print the dependency diagram
    scripts/architecture.py update    write it into docs/architecture.md
    scripts/architecture.py check     fail when a target includes a header of a
                                      library outside what it links, links a
                                      project library it never includes, or
                                      docs/architecture.md shows another picture

Targets and their sources come from add_library/add_executable and
target_link_libraries in the CMakeLists.txt files of src, compiler-lib, tools
and tests/support; includes from the sources themselves.
"""
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
TREES = ["src", "compiler-lib", "tools", "tests/support"]
DOC = ROOT / "docs" / "architecture.md"
# Executables are drawn; other executables (tests, fuzz, bench) are not.
EXECUTABLES = {"Tessel", "tessel-cli", "tessel-sim"}


def commands(text, name):
    """Argument lists of every call of the CMake command name."""
    text = re.sub(r"#[^\n]*", "", text)
    for m in re.finditer(r"\b%s\s*\(([^)]*)\)" % name, text):
        yield m.group(1).split()


def targets():
    """{target: (folder, [source paths], [linked names])}"""
    found = {}
    for tree in TREES:
        for cm in sorted((ROOT / tree).rglob("CMakeLists.txt")):
            text = cm.read_text()
            for kind in ("add_library", "add_executable"):
                for args in commands(text, kind):
                    name = args[0]
                    if kind == "add_executable" and name not in EXECUTABLES:
                        continue
                    files = []
                    for a in args[1:]:
                        if a.startswith("${"):
                            # A globbed list: every source of the folder.
                            files += sorted(cm.parent.glob("*.cpp")) + sorted(cm.parent.glob("*.h"))
                        elif a.endswith((".cpp", ".h")):
                            files.append(cm.parent / a)
                    found[name] = (cm.parent, files, [])
            for args in commands(text, "target_link_libraries"):
                if args[0] in found:
                    found[args[0]][2].extend(a for a in args[1:] if a not in ("PUBLIC", "PRIVATE", "INTERFACE"))
    return found


def owner_of_headers(found):
    """{include prefix such as "device/" or "device/widgets/": target}"""
    owners = {}
    for name, (folder, files, _) in found.items():
        for f in files:
            if f.suffix == ".h":
                rel = f.relative_to(ROOT)
                if rel.parts[0] == "src":
                    owners.setdefault(str(rel.parent.relative_to("src")) + "/", name)
    return owners


def project_links(found, name):
    return [l for l in found[name][2] if l in found]


def closure(found, name):
    seen, todo = set(), [name]
    while todo:
        t = todo.pop()
        if t not in seen:
            seen.add(t)
            todo += project_links(found, t)
    return seen


def includes(files):
    for f in files:
        if f.exists():
            for m in re.finditer(r'^#include "([a-z_]+/(?:widgets/|analysis/)?)', f.read_text(), re.M):
                yield f, m.group(1)


def mermaid(found):
    lines = ["```mermaid", "graph TD"]
    for name in sorted(found):
        for dep in sorted(set(project_links(found, name))):
            lines.append("    %s --> %s" % (name.replace("-", "_"), dep.replace("-", "_")))
    lines.append("```")
    return "\n".join(lines)


def check(found):
    owners = owner_of_headers(found)
    faults = []
    for name, (folder, files, _) in sorted(found.items()):
        reach = closure(found, name)
        used = set()
        for f, prefix in includes(files):
            owner = owners.get(prefix)
            if owner is None:
                continue
            used.add(owner)
            if owner not in reach:
                faults.append("%s: %s includes %s (%s) without linking it" % (name, f.relative_to(ROOT), prefix, owner))
        for dep in project_links(found, name):
            # Libraries outside src are included by bare file name and not checked.
            if dep not in used and dep in owners.values():
                faults.append("%s links %s but includes none of its headers" % (name, dep))
    doc = DOC.read_text()
    if mermaid(found) not in doc:
        faults.append("docs/architecture.md: the dependency picture differs from the CMake targets; "
                      "run scripts/architecture.py update")
    return faults


def main():
    found = targets()
    if sys.argv[1:] == ["mermaid"]:
        print(mermaid(found))
        return 0
    if sys.argv[1:] == ["update"]:
        doc = DOC.read_text()
        start = doc.index("```mermaid")
        end = doc.index("```", start + 3) + 3
        DOC.write_text(doc[:start] + mermaid(found) + doc[end:])
        return 0
    if sys.argv[1:] == ["check"]:
        faults = check(found)
        for f in faults:
            print(f, file=sys.stderr)
        return 1 if faults else 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main())
