#!/usr/bin/env python3
"""Writes the integrators' reference of the automation server (Markdown) from
what the build already holds:

  automation/Tindrel2.idl       classes, CLSIDs, interfaces, events, DISPIDs,
                                argument types and directions, help strings
  automation/member_tables.h    the member lists the objects are built from;
                                each row must agree with its IDL member
  automation/win/coclasses.cpp  the ProgID each class is registered under
  automation/reference_notes.md the hand-written prose, and one line for each
                                member the type library gives no help string

Nothing about a member is written down here. It stops with a message and
exit status 1, writing nothing, when a row or a declaration cannot be read,
a row disagrees with the IDL, or a member has neither a help string nor a
line in the notes.

    python3 automation/make_reference.py -o docs/automation.md
    python3 automation/make_reference.py --check docs/automation.md
"""

import argparse
import difflib
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
IDL = os.path.join(ROOT, "automation", "Tindrel2.idl")
HEADER = os.path.join(ROOT, "automation", "member_tables.h")
CLASSES = os.path.join(ROOT, "automation", "win", "coclasses.cpp")
NOTES = os.path.join(ROOT, "automation", "reference_notes.md")
REGENERATE = "python3 automation/make_reference.py -o docs/automation.md"


class Unreadable(Exception):
    pass


# IDL types as a VB client names them.
VB_TYPES = {
    "BSTR": "String", "long": "Long", "short": "Integer", "VARIANT_BOOL": "Boolean",
    "DATE": "Date", "double": "Double", "float": "Single", "CURRENCY": "Currency",
    "BYTE": "Byte", "VARIANT": "Variant", "IDispatch*": "Object", "IUnknown*": "Unknown",
}
# The automation types of the member rows, as IDL types.
ROW_TYPES = {"String": "BSTR", "Int32": "long", "Int16": "short", "Bool": "VARIANT_BOOL",
             "Date": "DATE"}


def vb_type(idl_type, where):
    if idl_type not in VB_TYPES:
        raise Unreadable(f"{where}: no VB name for the IDL type {idl_type!r}")
    return VB_TYPES[idl_type]


# ---------------------------------------------------------------- the IDL


def strip_comments(text):
    """C and C++ comments out, string literals kept."""
    out, i = [], 0
    while i < len(text):
        if text.startswith("//", i):
            i = text.find("\n", i)
            i = len(text) if i < 0 else i
        elif text.startswith("/*", i):
            end = text.find("*/", i + 2)
            if end < 0:
                raise Unreadable("unterminated comment")
            i = end + 2
        elif text[i] == '"':
            m = re.compile(r'"(?:[^"\\\n]|\\.)*"').match(text, i)
            if not m:
                raise Unreadable("unterminated string: " + text[i:i + 40])
            out.append(m.group(0))
            i = m.end()
        else:
            out.append(text[i])
            i += 1
    return "".join(out)


def closing(text, i, open_ch, close_ch):
    """Index of the bracket that closes the one at text[i]."""
    depth = 0
    j = i
    while j < len(text):
        c = text[j]
        if c == '"':
            j = re.compile(r'"(?:[^"\\]|\\.)*"').match(text, j).end()
            continue
        if c == open_ch:
            depth += 1
        elif c == close_ch:
            depth -= 1
            if depth == 0:
                return j
        j += 1
    raise Unreadable(f"no closing {close_ch!r} for: {text[i:i + 60]!r}")


def split_top(text, sep=","):
    parts, depth, cur, j = [], 0, [], 0
    while j < len(text):
        c = text[j]
        if c == '"':
            end = re.compile(r'"(?:[^"\\]|\\.)*"').match(text, j).end()
            cur.append(text[j:end])
            j = end
            continue
        if c in "([":
            depth += 1
        elif c in ")]":
            depth -= 1
        if c == sep and depth == 0:
            parts.append("".join(cur).strip())
            cur = []
        else:
            cur.append(c)
        j += 1
    if "".join(cur).strip():
        parts.append("".join(cur).strip())
    return parts


def unquote(literal):
    if not (literal.startswith('"') and literal.endswith('"')):
        raise Unreadable("not a string literal: " + literal)
    return re.sub(r"\\(.)", r"\1", literal[1:-1])


def attributes(text):
    """[a, b(x), ...] as {name: argument or True}."""
    attrs = {}
    for item in split_top(text):
        m = re.fullmatch(r"(\w+)\s*(?:\((.*)\))?", item, re.S)
        if not m:
            raise Unreadable("unreadable attribute: " + item)
        attrs[m.group(1)] = m.group(2).strip() if m.group(2) is not None else True
    return attrs


def parse_params(text, where):
    text = text.strip()
    if text in ("", "void"):
        return []
    params = []
    for item in split_top(text):
        m = re.fullmatch(r"\[([^\]]*)\]\s*([\w ]+?)\s*(\*?)\s*(\w+)", item)
        if not m:
            raise Unreadable(f"{where}: unreadable argument {item!r}")
        attrs = attributes(m.group(1))
        if "in" not in attrs and "out" not in attrs:
            raise Unreadable(f"{where}: argument {item!r} has no direction")
        params.append({"name": m.group(4), "type": m.group(2) + m.group(3), "attrs": attrs})
    return params


DECL = re.compile(r"\s*(?P<ret>HRESULT|void)\s+(?P<name>\w+)\s*\(", re.S)


def attribute_block(text, i):
    """The attribute list '[...]' that may stand at text[i] (after blanks):
    its text (empty when there is none) and the index after it."""
    j = len(text) - len(text[i:].lstrip())
    if j < len(text) and text[j] == "[":
        end = closing(text, j, "[", "]")
        return text[j + 1:end], end + 1
    return "", i


def parse_members(body, where, kind):
    """The members of an interface or dispinterface body, in order."""
    if kind == "dispinterface":
        m = re.fullmatch(r"\s*properties\s*:\s*methods\s*:(.*)", body, re.S)
        if not m:
            raise Unreadable(f"{where}: expected 'properties:' and 'methods:'")
        body = m.group(1)
    members, i = [], 0
    while body[i:].strip():
        attr_text, j = attribute_block(body, i)
        m = DECL.match(body, j)
        if not m:
            raise Unreadable(f"{where}: unreadable declaration at {body[i:i + 80].strip()!r}")
        attrs = attributes(attr_text)
        end = closing(body, m.end() - 1, "(", ")")
        semi = re.compile(r"\s*;").match(body, end + 1)
        if not semi:
            raise Unreadable(f"{where}: no ';' after {m.group('name')}")
        name = m.group("name")
        if "id" not in attrs or not re.fullmatch(r"-?\d+", str(attrs["id"])):
            raise Unreadable(f"{where}.{name}: no id(n)")
        members.append({
            "name": name,
            "dispid": int(attrs["id"]),
            "kind": "get" if "propget" in attrs else "put" if "propput" in attrs else "method",
            "help": unquote(attrs["helpstring"]) if "helpstring" in attrs else None,
            "params": parse_params(body[m.end():end], f"{where}.{name}"),
        })
        i = semi.end()
    return members


def parse_idl(text):
    text = strip_comments(text)
    lib = re.search(r"\[(?P<attrs>[^\]]*)\]\s*library\s+(?P<name>\w+)\s*\{", text)
    if not lib:
        raise Unreadable("Tindrel2.idl: no library block")
    body = text[lib.end():closing(text, lib.end() - 1, "{", "}")]
    library = {"name": lib.group("name"), "attrs": attributes(lib.group("attrs")),
               "types": {}, "coclasses": []}
    i = 0
    importlib = re.compile(r"\s*importlib\s*\([^)]*\)\s*;")
    item = re.compile(r"\s*(?P<kind>interface|dispinterface|coclass)\s+(?P<name>\w+)"
                      r"(?:\s*:\s*(?P<base>\w+))?\s*\{", re.S)
    while body[i:].strip():
        m = importlib.match(body, i)
        if m:
            i = m.end()
            continue
        attr_text, j = attribute_block(body, i)
        m = item.match(body, j)
        if not attr_text or not m:
            raise Unreadable(f"Tindrel2.idl: unreadable at {body[i:i + 80].strip()!r}")
        end = closing(body, m.end() - 1, "{", "}")
        semi = re.compile(r"\s*;").match(body, end + 1)
        if not semi:
            raise Unreadable(f"Tindrel2.idl: no ';' after {m.group('name')}")
        inner = body[m.end():end]
        attrs = attributes(attr_text)
        kind, name = m.group("kind"), m.group("name")
        if "uuid" not in attrs:
            raise Unreadable(f"Tindrel2.idl: {name} has no uuid")
        entry = {"name": name, "kind": kind, "uuid": attrs["uuid"].upper(),
                 "help": unquote(attrs["helpstring"]) if "helpstring" in attrs else None,
                 "attrs": attrs}
        if kind == "coclass":
            entry["default"] = entry["source"] = None
            for ref in filter(None, (s.strip() for s in inner.split(";"))):
                r = re.fullmatch(r"\[([^\]]*)\]\s*(interface|dispinterface)\s+(\w+)", ref)
                if not r:
                    raise Unreadable(f"Tindrel2.idl: {name}: unreadable {ref!r}")
                ra = attributes(r.group(1))
                if "default" in ra:
                    entry["source" if "source" in ra else "default"] = r.group(3)
            if not entry["default"]:
                raise Unreadable(f"Tindrel2.idl: {name} has no default interface")
            library["coclasses"].append(entry)
        else:
            entry["members"] = parse_members(inner, name, kind)
            library["types"][name] = entry
        i = semi.end()
    for c in library["coclasses"]:
        for ref in (c["default"], c["source"]):
            if ref and ref not in library["types"]:
                raise Unreadable(f"Tindrel2.idl: {c['name']} names unknown {ref}")
    return library


# ------------------------------------------------------ the member lists


def parse_lists(text):
    """{interface name in upper case: [row, ...]} from the X-macro lists."""
    text = strip_comments(text.replace("\\\n", " "))
    defines = {}
    for m in re.finditer(r"^[ \t]*#define[ \t]+(TINDREL_\w+)\(M, M1, G, GP\)(.*)$", text, re.M):
        defines[m.group(1)] = m.group(2)

    def expand(name, seen=()):
        if name in seen:
            raise Unreadable(f"member_tables.h: {name} includes itself")
        rows, body, pos = [], defines[name], 0
        call = re.compile(r"\s*(\w+)\s*\(")
        while body[pos:].strip():
            m = call.match(body, pos)
            if not m:
                raise Unreadable(f"member_tables.h: {name}: unreadable at {body[pos:pos + 60].strip()!r}")
            end = closing(body, m.end() - 1, "(", ")")
            head, args = m.group(1), [a.strip() for a in body[m.end():end].split(",")]
            pos = end + 1
            if head in defines:
                if args != ["M", "M1", "G", "GP"]:
                    raise Unreadable(f"member_tables.h: {name}: {head} called with {args}")
                rows += expand(head, seen + (name,))
            else:
                rows.append(parse_row(name, head, args))
        return rows

    lists = {}
    for name in defines:
        m = re.fullmatch(r"TINDREL_(\w+)_MEMBERS", name)
        if m:
            lists[m.group(1)] = expand(name)
    if not lists:
        raise Unreadable("member_tables.h: no TINDREL_<interface>_MEMBERS list")
    return lists


def parse_row(list_name, shape, args):
    where = f"member_tables.h: {list_name}: {shape}({', '.join(args)})"
    arity = {"M": 2, "M1": 3, "G": 4, "GP": 4}
    if shape not in arity or len(args) < arity[shape] or (shape in ("M", "M1") and len(args) != arity[shape]):
        raise Unreadable(f"{where}: not a row")
    name, dispid = args[0], args[1]
    if not re.fullmatch(r"\w+", name) or not re.fullmatch(r"-?\d+", dispid):
        raise Unreadable(f"{where}: name or DISPID unreadable")
    row = {"name": name, "dispid": int(dispid), "shape": shape, "type": None, "source": None}
    if shape == "M1" or shape in ("G", "GP"):
        if args[2] not in ROW_TYPES:
            raise Unreadable(f"{where}: unknown automation type {args[2]!r}")
        row["type"] = ROW_TYPES[args[2]]
    if shape in ("G", "GP"):
        if not re.fullmatch(r"\w+", args[3]):
            raise Unreadable(f"{where}: unreadable source {args[3]!r}")
        row["source"] = args[3]
    return row


# ------------------------------------------------------------ the notes


def parse_notes(text):
    """Sections '@@ name' of prose, and the member lines of '@@ members'."""
    sections, current = {}, None
    for line in text.splitlines():
        m = re.fullmatch(r"@@ (.+)", line)
        if m:
            current = m.group(1).strip()
            if current in sections:
                raise Unreadable(f"reference_notes.md: section {current!r} twice")
            sections[current] = []
        elif current is None:
            if line.strip():
                raise Unreadable("reference_notes.md: text before the first '@@' section")
        else:
            sections[current].append(line)
    prose = {k: "\n".join(v).strip("\n") for k, v in sections.items() if k != "members"}
    described = {}
    for line in sections.get("members", []):
        if not line.strip():
            continue
        m = re.fullmatch(r"([\w.]+(?:\s*,\s*[\w.]+)*)\s*:\s*(\S.*)", line)
        if not m:
            raise Unreadable(f"reference_notes.md: unreadable member line {line!r}")
        for key in re.split(r"\s*,\s*", m.group(1)):
            if not re.fullmatch(r"\w+\.\w+", key) or key in described:
                raise Unreadable(f"reference_notes.md: bad or repeated member {key!r}")
            described[key] = m.group(2).strip()
    return prose, described


# ------------------------------------------------------- putting together


def cell(text):
    return text.replace("|", "\\|")


def signature(member, where):
    ins, result = [], None
    for p in member["params"]:
        t = vb_type(p["type"].rstrip("*") if "out" in p["attrs"] else p["type"], where)
        if "retval" in p["attrs"]:
            result = t
        else:
            ins.append(f"{'ByRef' if 'out' in p['attrs'] else 'ByVal'} {p['name']} As {t}")
    return f"{member['name']}({', '.join(ins)})", result


def interface_rows(iface, rows, described, used):
    """One entry per member name: DISPID, member text, kind, type, description."""
    where = iface["name"]
    by_name = {}
    for m in iface["members"]:
        by_name.setdefault(m["name"], []).append(m)
    if rows is not None:
        row_names = [r["name"] for r in rows]
        if len(set(row_names)) != len(row_names):
            raise Unreadable(f"member_tables.h: {where}: a member listed twice")
        missing = set(by_name) - set(row_names)
        extra = set(row_names) - set(by_name)
        if missing or extra:
            raise Unreadable(f"{where}: the IDL and member_tables.h differ: only in the IDL "
                             f"{sorted(missing)}, only in the rows {sorted(extra)}")
        rows = {r["name"]: r for r in rows}
    out = []
    for name, decls in by_name.items():
        kinds = sorted(d["kind"] for d in decls)
        dispids = {d["dispid"] for d in decls}
        if len(dispids) != 1 or kinds not in (["method"], ["get"], ["get", "put"]):
            raise Unreadable(f"{where}.{name}: declared as {kinds} with DISPIDs {sorted(dispids)}")
        first = decls[0] if kinds == ["method"] else next(d for d in decls if d["kind"] == "get")
        helps = {d["help"] for d in decls}
        if len(helps) != 1:
            raise Unreadable(f"{where}.{name}: get and put have different help strings")
        help_text = helps.pop()
        key = f"{where}.{name}"
        if help_text is None:
            if key not in described:
                raise Unreadable(f"{key} has no help string in the IDL and no line under "
                                 "'@@ members' in automation/reference_notes.md")
            help_text = described[key]
            used.add(key)
        elif key in described:
            raise Unreadable(f"{key} has a help string in the IDL; drop its line from "
                             "automation/reference_notes.md")
        if kinds == ["method"]:
            text, result = signature(first, key)
            kind, vtype = "method", result or ""
        else:
            ret = [p for p in first["params"] if "retval" in p["attrs"]]
            if len(first["params"]) != 1 or len(ret) != 1:
                raise Unreadable(f"{key}: a property get with arguments")
            idl_type = ret[0]["type"].rstrip("*")
            for d in decls:
                if d["kind"] == "put" and [p["type"] for p in d["params"]] != [idl_type]:
                    raise Unreadable(f"{key}: put and get differ in type")
            text, kind, vtype = name, "/".join(kinds), vb_type(idl_type, key)
        if rows is not None:
            row = rows[name]
            shape = {"method": ("M", "M1"), "get": ("G",), "get/put": ("GP",)}[kind]
            if row["dispid"] != first["dispid"] or row["shape"] not in shape:
                raise Unreadable(f"{key}: the row says {row['shape']} DISPID {row['dispid']}, "
                                 f"the IDL {kind} DISPID {first['dispid']}")
            if kind != "method" and row["type"] != idl_type:
                raise Unreadable(f"{key}: the row's type is {row['type']}, the IDL's {idl_type}")
            if kind == "method":
                types = [p["type"] for p in first["params"]]
                if (row["shape"] == "M" and types) or (row["shape"] == "M1" and types != [row["type"]]):
                    raise Unreadable(f"{key}: the row's arguments differ from the IDL's")
            if row["source"] == "Nothing":
                help_text += " (*always reads the empty value*)"
        out.append((first["dispid"], text, kind, vtype, help_text))
    return out


def render(library, lists, prose, described, progids):
    types = library["types"]
    used = set()
    row_lists = {}
    for key, rows in lists.items():
        match = [n for n in types if n.upper() == key and types[n]["kind"] == "interface"]
        if not match:
            raise Unreadable(f"member_tables.h: no interface {key} in the IDL")
        row_lists[match[0]] = rows
    classes = [c["name"] for c in library["coclasses"]]
    for section in prose:
        if section.startswith("class ") and section[6:] not in classes:
            raise Unreadable(f"reference_notes.md: no class {section[6:]!r} in the IDL")
        if not section.startswith("class ") and section not in ("intro", "end"):
            raise Unreadable(f"reference_notes.md: unknown section {section!r}")

    lines = ["<!-- Written by automation/make_reference.py from automation/Tindrel2.idl, "
             "automation/member_tables.h, automation/win/coclasses.cpp and automation/reference_notes.md. "
             f"Do not edit; run: {REGENERATE} -->", ""]
    lines.append(f"# {library['name']} automation reference")
    lines.append("")
    attrs = library["attrs"]
    lines.append(f"Type library `{library['name']}` "
                 f"({unquote(attrs['helpstring']) if 'helpstring' in attrs else library['name']}), "
                 f"version {attrs.get('version', '?')}, LIBID `{{{attrs['uuid'].upper()}}}`.")
    lines.append("")
    if "intro" in prose:
        lines += [prose["intro"], ""]
    lines.append("| Class | ProgID | Default interface | Events |")
    lines.append("|---|---|---|---|")
    for c in library["coclasses"]:
        anchor = c["name"].lower()
        lines.append(f"| [{c['name']}](#{anchor}) | `{progids[c['name']]}` | `{c['default']}` | "
                     f"{'`' + c['source'] + '`' if c['source'] else 'none'} |")
    lines.append("")
    for c in library["coclasses"]:
        lines.append(f"## {c['name']}")
        lines.append("")
        lines.append(f"- ProgID: `{progids[c['name']]}`")
        lines.append(f"- CLSID: `{{{c['uuid']}}}`")
        default = types[c["default"]]
        lines.append(f"- Default interface: `{c['default']}` (IID `{{{default['uuid']}}}`)")
        if c["source"]:
            lines.append(f"- Events: `{c['source']}` (DIID `{{{types[c['source']]['uuid']}}}`)")
        else:
            lines.append("- Events: none")
        lines.append("")
        if f"class {c['name']}" in prose:
            lines += [prose[f"class {c['name']}"], ""]
        members = interface_rows(default, row_lists.get(c["default"]), described, used)
        if members:
            lines.append(f"Members of `{c['default']}`, in the interface's order:")
            lines.append("")
            lines.append("| DISPID | Member | Kind | Type | What it does |")
            lines.append("|---:|---|---|---|---|")
            for dispid, text, kind, vtype, help_text in members:
                lines.append(f"| {dispid} | `{text}` | {kind} | {vtype} | {cell(help_text)} |")
        else:
            lines.append(f"`{c['default']}` has no members beyond those of `IDispatch`.")
        lines.append("")
        if c["source"]:
            events = interface_rows(types[c["source"]], None, described, used)
            if events:
                lines.append(f"Events of `{c['source']}`:")
                lines.append("")
                lines.append("| DISPID | Event | What it tells |")
                lines.append("|---:|---|---|")
                for dispid, text, _, _, help_text in events:
                    lines.append(f"| {dispid} | `Sub {text}` | {cell(help_text)} |")
            else:
                lines.append(f"`{c['source']}` has no events; nothing is ever fired.")
            lines.append("")
    if "end" in prose:
        lines += [prose["end"], ""]
    stale = set(described) - used
    if stale:
        raise Unreadable("reference_notes.md: lines for members that do not exist or that no "
                         f"class shows: {sorted(stale)}")
    return "\n".join(lines).rstrip("\n") + "\n"


def progids_of(classes_text, library):
    progids = {}
    for c in library["coclasses"]:
        found = re.findall(r'L"(\w+\.' + re.escape(c["name"]) + r')"', classes_text)
        if len(set(found)) != 1:
            raise Unreadable(f"coclasses.cpp: no single ProgID registered for {c['name']}")
        progids[c["name"]] = found[0]
    return progids


def generate():
    def read(path):
        with open(path, encoding="utf-8") as f:
            return f.read()
    library = parse_idl(read(IDL))
    prose, described = parse_notes(read(NOTES))
    return render(library, parse_lists(read(HEADER)), prose, described,
                  progids_of(read(CLASSES), library))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    group = parser.add_mutually_exclusive_group(required=True)
    group.add_argument("-o", "--output", help="write the reference to this file")
    group.add_argument("--check", metavar="FILE",
                       help="fail when FILE differs from what would be written")
    args = parser.parse_args()
    try:
        text = generate()
    except (Unreadable, OSError) as e:
        print(f"make_reference.py: {e}", file=sys.stderr)
        if args.check:
            print("0 passed, 1 failed")
        return 1
    if args.output:
        with open(args.output, "w", encoding="utf-8", newline="\n") as f:
            f.write(text)
        return 0
    try:
        with open(args.check, encoding="utf-8") as f:
            current = f.read()
    except OSError as e:
        current = ""
        print(f"{args.check}: {e}")
    if current != text:
        diff = list(difflib.unified_diff(current.splitlines(), text.splitlines(),
                                         args.check, "generated", lineterm=""))
        print("\n".join(diff[:40]))
        if len(diff) > 40:
            print(f"... {len(diff) - 40} more diff lines")
        print(f"{args.check} is stale. Regenerate it from the repository's root with:")
        print(f"    {REGENERATE}")
        print("0 passed, 1 failed")
        return 1
    print(f"{args.check} matches the IDL, the member lists and the notes")
    print("1 passed, 0 failed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
