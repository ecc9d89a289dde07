#!/usr/bin/env python3
"""Compares a shared library's dynamic symbol table with its public headers.

Every function that the headers declare must be exported, and nothing else
may be: a declaration without its export, or an internal name (a C++ helper,
a template instance of the standard library) in the table, fails the check.

The headers are read as the compiler would see their declarations: comments
and preprocessor lines are dropped, and each declaration is taken in its
scope (namespace, class, extern "C"). A function defined in its header
(inline) is not expected in the table. A class with virtual members
brings its vtable and type information, which callers need to use it.

Usage: check_exports.py --nm NM --library LIB --header H [--header H ...]
                        [--without NAME ...]
"""

import argparse
import re
import subprocess
import sys

# Names that the toolchain puts into every shared library's table, or that
# sanitizer instrumentation adds to it: the section boundaries the linker
# defines, and the module data that the sanitizer runtimes look up by name
# (registered globals, ODR indicators). They belong to no interface of ours,
# and they differ between the normal, ASan and TSan builds.
RUNTIME_NAMES = {"_init", "_fini", "_edata", "_end", "__bss_start"}
RUNTIME_PREFIXES = ("__asan", "___asan", "__odr_asan", "__ubsan", "__tsan", "__lsan", "__sanitizer")


def is_runtime_symbol(name):
    return name in RUNTIME_NAMES or name.startswith(RUNTIME_PREFIXES)


def exported_symbols(nm, library):
    """The defined dynamic symbols, demangled, without their parameter lists."""
    out = subprocess.run([nm, "-D", "--defined-only", "-C", library], check=True,
                         capture_output=True, text=True).stdout
    names = set()
    for line in out.splitlines():
        fields = line.split(maxsplit=2)
        if len(fields) != 3:
            continue
        name = fields[2]
        if is_runtime_symbol(name):
            continue
        names.add(name.split("(", 1)[0])
    return names


def strip_comments_and_preprocessor(text):
    text = re.sub(r"/\*.*?\*/", " ", text, flags=re.S)
    text = re.sub(r"//[^\n]*", "", text)
    lines = []
    continued = False
    for line in text.splitlines():
        directive = continued or line.lstrip().startswith("#")
        continued = directive and line.rstrip().endswith("\\")
        if not directive:
            lines.append(line)
    return "\n".join(lines)


ACCESS_LABEL = re.compile(r"^\s*(public|private|protected)\s*:")
FUNCTION = re.compile(r"^(?!\s*(typedef|using|return)\b)[\w\s\*&:<>,]*?(~?\b[A-Za-z_]\w*)\s*\(.*\)"
                      r"\s*(const)?\s*(noexcept)?\s*(override)?\s*(=\s*(\w+))?\s*$", re.S)
SCOPE = re.compile(r"^\s*(?:template\s*<[^>]*>\s*)?(namespace|class|struct|union|enum)\s*(class\s+)?(\w*)")


def class_name(head):
    """The name in "class EXPORT_MACRO Name final : public Base"."""
    words = [w for w in re.findall(r"\w+", re.split(r"(?<!:):(?!:)", head)[0]) if w != "final"]
    return words[-1] if len(words) > 1 else ""


def declared_functions(header):
    """Qualified names of the functions a header declares, and the classes
    with virtual members (their vtable and type information are exported)."""
    text = strip_comments_and_preprocessor(open(header, encoding="utf-8").read())
    names, polymorphic = set(), set()
    scopes = []  # (kind, name): kind namespace, class, linkage, or skip
    piece = ""

    def qualified(name):
        path = [n for kind, n in scopes if kind in ("namespace", "class") and n]
        return "::".join(path + [name])

    def declaration(text_of_piece):
        body = text_of_piece
        while ACCESS_LABEL.match(body):
            body = ACCESS_LABEL.sub("", body, count=1)
        match = FUNCTION.match(body.strip())
        # Deleted, defaulted and pure virtual functions have no code.
        if not match or match.group(7) in ("delete", "default", "0"):
            return None
        if scopes and scopes[-1][0] == "class" and re.search(r"\bvirtual\b", body):
            polymorphic.add(qualified("")[:-2])
        return match.group(2)

    for ch in text:
        if ch not in ";{}":
            piece += ch
            continue
        in_code = any(kind == "skip" for kind, _ in scopes)
        if ch == "{":
            scope = SCOPE.match(piece)
            if in_code:
                scopes.append(("skip", ""))
            elif re.match(r'^\s*extern\s*"C(\+\+)?"\s*$', piece):
                scopes.append(("linkage", ""))
            elif scope and scope.group(1) == "namespace":
                scopes.append(("namespace", scope.group(3)))
            elif scope and scope.group(1) in ("class", "struct", "union") and "(" not in piece:
                scopes.append(("class", class_name(piece)))
            else:
                # An inline body, an enum, an initialiser: nothing exported.
                scopes.append(("skip", ""))
        elif ch == "}":
            if scopes:
                scopes.pop()
        elif not in_code:
            name = declaration(piece)
            if name:
                names.add(qualified(name))
        piece = ""
    for cls in polymorphic:
        names.update({f"vtable for {cls}", f"typeinfo for {cls}", f"typeinfo name for {cls}"})
    return names


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--nm", required=True)
    parser.add_argument("--library", required=True)
    parser.add_argument("--header", action="append", required=True)
    parser.add_argument("--without", action="append", default=[],
                        help="a declared function this build of the library leaves out")
    args = parser.parse_args()

    declared = set()
    for header in args.header:
        declared |= declared_functions(header)
    declared -= set(args.without)
    if not declared:
        print(f"no function declarations found in {', '.join(args.header)}")
        return 1
    try:
        exported = exported_symbols(args.nm, args.library)
    except (OSError, subprocess.CalledProcessError) as error:
        print(f"cannot read the symbol table of {args.library}: {error}")
        return 1

    missing = sorted(declared - exported)
    extra = sorted(exported - declared)
    for name in missing:
        print(f"declared but not exported: {name}")
    for name in extra:
        print(f"exported but not declared: {name}")
    print(f"{args.library}: {len(declared)} declared, {len(exported)} exported, "
          f"{len(missing)} missing, {len(extra)} undeclared")
    return 1 if missing or extra else 0


if __name__ == "__main__":
    sys.exit(main())
