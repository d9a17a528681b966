#!/usr/bin/python3
# SPDX-FileCopyrightText: the Installer utilities authors
# SPDX-License-Identifier: MIT
"""Contract checks of the shipped 32-bit images, of the hardening of their 64-bit twins and of the
test programs that declare Control Flow Guard, and of the release and test kits: one pytest row
each (`-k "Tarbel and imports"` runs one).

Run with Debian's interpreter, /usr/bin/python3, which has pefile and pytest, after a build of
both presets and the kits (scripts/build-kits.sh). The images, maps and kits are read from the
checkout, or from a copy of its dist/ and build/ folders named by CONTRACT_ROOT.
"""
import collections
import functools
import hashlib
import itertools
import json
import os
import re
import struct
import subprocess
import sys
import uuid
import xml.etree.ElementTree as ET
import zipfile
from pathlib import Path

import pefile
import pytest

SOURCES = Path(__file__).resolve().parents[2]
ROOT = Path(os.environ.get("CONTRACT_ROOT", SOURCES))
sys.path.insert(0, str(SOURCES / "scripts"))
from release_kit import linked_files, shipped_images  # noqa: E402

FORBIDDEN_PATHS = ["/work/", "/tmp/", "/build/", str(SOURCES)]
OBJDUMP = {"x86": "i686-w64-mingw32-objdump", "x64": "x86_64-w64-mingw32-objdump"}


class Binary:
    """One parsed image, with its linker's map and its disassembly, read when first needed."""

    def __init__(self, path, arch):
        self.path, self.arch = Path(path), arch
        self.data = self.path.read_bytes()
        self.pe = pefile.PE(data=self.data)

    @functools.cached_property
    def map_text(self):
        return Path(ROOT, "build", self.arch, self.path.stem + ".map").read_text(encoding="utf-8", errors="replace")

    @functools.cached_property
    def function_names(self):
        """{address: "NAME (OBJECT)"} of the map's symbols."""
        return {int(m.group(3), 16): "%s (%s)" % (m.group(2), m.group(4)) for m in MAP_SYMBOL.finditer(self.map_text)
                if m.group(1) != "0000"}

    def map_address(self, match):
        """The address of a map line's SECTION:OFFSET."""
        section = self.pe.sections[int(match.group(1), 16) - 1]
        return self.pe.OPTIONAL_HEADER.ImageBase + section.VirtualAddress + int(match.group(2), 16)

    def in_code(self, address):
        rva = address - self.pe.OPTIONAL_HEADER.ImageBase
        return any(s.IMAGE_SCN_MEM_EXECUTE and s.VirtualAddress <= rva < s.VirtualAddress + s.Misc_VirtualSize
                   for s in self.pe.sections)

    @functools.cached_property
    def function_starts(self):
        """The map's symbols in code, and the starts of its code contributions: a function of a
        runtime object may have no symbol of its own, but a section of its own."""
        contributions = {self.map_address(m) for m in MAP_CONTRIBUTION.finditer(self.map_text)}
        return sorted(a for a in set(self.function_names) | contributions if self.in_code(a))

    def resource_types(self):
        root = getattr(self.pe, "DIRECTORY_ENTRY_RESOURCE", None)
        return root.entries if root else []

    def resources(self, rtype):
        """{id: bytes of the first language} for one resource type, named as pefile names it ("RT_ICON")."""
        return {res.id if res.name is None else str(res.name): self.pe.get_data(lang.OffsetToData, lang.Size)
                for t in self.resource_types() if t.id == pefile.RESOURCE_TYPE[rtype]
                for res in t.directory.entries for lang in [res.directory.entries[0].data.struct]}

    def exports(self):
        """{name: RVA} of the named exports, and how many exports have only an ordinal."""
        exp = getattr(self.pe, "DIRECTORY_ENTRY_EXPORT", None)
        symbols = exp.symbols if exp else []
        named = {s.name.decode("ascii", "replace"): s.address for s in symbols if s.name}
        return named, sum(1 for s in symbols if not s.name)

    def imported_functions(self):
        """(DLL in lower case, function name, address of its import slot) for each named import."""
        return [(e.dll.decode("ascii", "replace").lower(), i.name.decode("ascii", "replace"), i.address)
                for e in getattr(self.pe, "DIRECTORY_ENTRY_IMPORT", []) for i in e.imports if i.name]

    @functools.cached_property
    def disassembly(self):
        return Disassembly(OBJDUMP[self.arch], self.path)

    def body(self, start):
        """The instructions of the function at `start`, up to the next function's start."""
        end = next((s for s in self.function_starts if s > start), float("inf"))
        insns, index = self.disassembly.insns, self.disassembly.index
        return list(itertools.takewhile(lambda i: i[0] < end, insns[index[start]:])) if start in index else []


class Disassembly:
    LINE = re.compile(r"^[ \t]*([0-9a-f]+):[ \t]+(\S.*?)[ \t]*$", re.M)
    PREFIXES = {"repz", "rep", "repnz", "bnd", "notrack", "data16", "cs", "ds", "lock"}

    def __init__(self, objdump, path):
        out = subprocess.run([objdump, "-d", "--no-show-raw-insn", "-w", path],
                             check=True, capture_output=True, text=True).stdout
        self.insns = []  # (address, mnemonic, operands)
        for m in self.LINE.finditer(out):
            words = m.group(2).split()
            while len(words) > 1 and words[0] in self.PREFIXES:
                words.pop(0)
            self.insns.append((int(m.group(1), 16), words[0], " ".join(words[1:])))
        self.index = {a: i for i, (a, _, _) in enumerate(self.insns)}

    @staticmethod
    def direct_target(ops):
        m = re.match(r"(?:0x)?([0-9a-f]+)\b", ops)
        return int(m.group(1), 16) if m else None

    @staticmethod
    def pointer_called(mnem, ops):
        """The address of the pointer an indirect call reads: x86's 'call *0x...', x64's
        'call *0x...(%rip)  # 0x...'; None for any other instruction."""
        m = re.search(r"(?:^\*|# )0x([0-9a-f]+)$", ops) if mnem == "call" else None
        return int(m.group(1), 16) if m else None


# --- checks: each takes (Binary, expected) and returns a list of problems ---

def section_name(section):
    return section.Name.rstrip(b"\0").decode("ascii", "replace")


def differences(kind, got, want, key=str):
    """"unexpected KIND name" for each of `got` not in `want`, then "missing KIND name" the other way;
    names are compared by `key` and shown as spelt."""
    got, want = ({key(n): n for n in names} for names in (got, want))
    return (["unexpected %s%s" % (kind, got[k]) for k in sorted(got.keys() - want.keys())] +
            ["missing %s%s" % (kind, want[k]) for k in sorted(want.keys() - got.keys())])


def check_image(b, want_dll):
    fh, magic = b.pe.FILE_HEADER, b.pe.OPTIONAL_HEADER.Magic
    return (([] if fh.Machine == 0x14C else ["machine 0x%x, want 0x14c (i386)" % fh.Machine]) +
            ([] if magic == 0x10B else ["optional header magic 0x%x, want 0x10b (PE32)" % magic]) +
            ([] if fh.IMAGE_FILE_DLL == want_dll else ["DLL flag %s, want %s" % (fh.IMAGE_FILE_DLL, want_dll)]))


def check_versions(b, want):
    oh = b.pe.OPTIONAL_HEADER
    got = {"OS": (oh.MajorOperatingSystemVersion, oh.MinorOperatingSystemVersion),
           "subsystem": (oh.MajorSubsystemVersion, oh.MinorSubsystemVersion)}
    return ["%s version %d.%d, want %d.%d" % (k, *v, *want) for k, v in got.items() if v != want]


def check_subsystem(b, want):
    got = b.pe.OPTIONAL_HEADER.Subsystem
    return [] if got == want else ["subsystem %d, want %d" % (got, want)]


def check_imports(b, want):
    dlls = [e.dll.decode("ascii", "replace") for attr in ("DIRECTORY_ENTRY_IMPORT", "DIRECTORY_ENTRY_DELAY_IMPORT")
            for e in getattr(b.pe, attr, [])]
    return differences("import ", dlls, want, key=str.lower)


def check_resource_types(b, want):
    present = [str(pefile.RESOURCE_TYPE.get(t.id, t.id) if t.name is None else t.name) for t in b.resource_types()]
    return differences("resource type ", present, want)


def check_manifest(b, want_id):
    manifests = b.resources("RT_MANIFEST")
    if list(manifests) != [want_id]:
        return ["manifest ids %s, want [%s]" % (list(manifests), want_id)]
    try:
        root = ET.fromstring(manifests[want_id])
    except ET.ParseError as e:
        return ["manifest is not well-formed XML: %s" % e]
    levels = [el for el in root.iter() if el.tag.rsplit("}", 1)[-1] == "requestedExecutionLevel"]
    if len(levels) != 1:
        return ["%d requestedExecutionLevel elements, want 1" % len(levels)]
    attrs = levels[0].attrib
    return ["requestedExecutionLevel %s=%r, want %r" % (k, attrs.get(k), v)
            for k, v in (("level", "asInvoker"), ("uiAccess", "false")) if attrs.get(k) != v]


def check_icon_group(b, want):
    group_id, entries = want
    group = b.resources("RT_GROUP_ICON").get(group_id)
    if group is None:
        return ["no RT_GROUP_ICON %s" % group_id]
    icons = b.resources("RT_ICON")
    reserved, kind, count = struct.unpack_from("<HHH", group, 0)
    if (reserved, kind) != (0, 1) or len(group) < 6 + 14 * count:
        return ["malformed icon directory header"]
    got, problems = [], []
    for i, (w, h, _, _, _, bits, size, icon_id) in enumerate(struct.iter_unpack("<BBBBHHIH", group[6:6 + 14 * count])):
        w, h = w or 256, h or 256
        got.append((w, h, bits))
        icon = icons.get(icon_id)
        if icon is None:
            problems.append("entry %d: RT_ICON %d missing" % (i, icon_id))
            continue
        if len(icon) != size:
            problems.append("entry %d: directory says %d bytes, RT_ICON %d has %d" % (i, size, icon_id, len(icon)))
        if len(icon) < 40 or struct.unpack_from("<I", icon, 0)[0] != 40:
            problems.append("entry %d: RT_ICON %d has no BITMAPINFOHEADER" % (i, icon_id))
            continue
        bw, bh, _, bbits = struct.unpack_from("<iiHH", icon, 4)
        if (bw, bh, bbits) != (w, 2 * h, bits):
            problems.append("entry %d: bitmap %dx%d/%d bpp, directory says %dx%d/%d bpp"
                            % (i, bw, bh, bbits, w, 2 * h, bits))
    return (["entry %d is %s, want %s" % (i, g, w) for i, (g, w) in enumerate(zip(got, entries)) if g != w] +
            ([] if len(got) == len(entries) else ["%d icon entries, want %d" % (len(got), len(entries))]) + problems)


def check_exports(b, want):
    names, unnamed = b.exports()
    return (["%d ordinal-only export(s)" % unnamed] if unnamed else []) + differences("export ", names, want)


def build_paths_in(data):
    # Wide-string copies count too (__FILEW__, wide literals).
    return ["contains %r (%s)" % (n, enc) for n in FORBIDDEN_PATHS for enc in ("ascii", "utf-16-le")
            if n.encode(enc) in data]


def check_no_build_paths(b, _):
    return build_paths_in(b.data)


def check_timestamps(b, _):
    # Any stamp makes two builds of one commit differ.
    headers = [("COFF header", b.pe.FILE_HEADER)] + [(label, getattr(b.pe, attr).struct) for attr, label in (
        ("DIRECTORY_ENTRY_EXPORT", "export directory"), ("DIRECTORY_ENTRY_RESOURCE", "resource directory"))
        if hasattr(b.pe, attr)]
    return ["%s TimeDateStamp 0x%x, want 0" % (k, h.TimeDateStamp) for k, h in headers if h.TimeDateStamp]


def check_mitigations(b, want):
    oh = b.pe.OPTIONAL_HEADER
    problems = ["%s not declared" % name for name in want if not getattr(oh, "IMAGE_DLLCHARACTERISTICS_" + name)]
    relocations = oh.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_BASERELOC"]]
    if "DYNAMIC_BASE" in want and (b.pe.FILE_HEADER.IMAGE_FILE_RELOCS_STRIPPED or not relocations.Size):
        problems.append("no relocations: the loader cannot move the image")
    return problems


def check_sections(b, _):
    return ["section %s is %s" % (section_name(s), what) for s in b.pe.sections if s.IMAGE_SCN_MEM_WRITE
            for what, flag in (("writable and executable", s.IMAGE_SCN_MEM_EXECUTE),
                               ("shared and writable", s.IMAGE_SCN_MEM_SHARED)) if flag]


def load_config(b):
    lc = getattr(b.pe, "DIRECTORY_ENTRY_LOAD_CONFIG", None)
    if lc is None:
        raise LookupError("no load configuration")
    return lc.struct


def check_guard_tables(b, _):
    lc = load_config(b)
    problems = ["guard flags 0x%x lack %s" % (lc.GuardFlags, name)
                for flag, name in ((0x100, "CF_INSTRUMENTED"), (0x400, "CF_FUNCTION_TABLE_PRESENT"))
                if not lc.GuardFlags & flag]
    if not lc.GuardCFFunctionTable or not lc.GuardCFFunctionCount:
        problems.append("empty guard function table")
    return problems


def read_only_pointer_problem(b, label, address):
    section = b.pe.get_section_by_rva(address - b.pe.OPTIONAL_HEADER.ImageBase) if address else None
    if section is None:
        return "%s 0x%x is not inside the image" % (label, address)
    if section.IMAGE_SCN_MEM_WRITE:
        return "%s 0x%x is in writable section %s" % (label, address, section_name(section))
    return None


def check_guard_pointers(b, _):
    """The guard's check (and, on x64, dispatch) pointer in read-only data, with indirect calls through it."""
    lc = load_config(b)
    pointers = {"check pointer": lc.GuardCFCheckFunctionPointer}
    if b.pe.FILE_HEADER.Machine == 0x8664:
        pointers["dispatch pointer"] = lc.GuardCFDispatchFunctionPointer
    problems = [p for label, address in pointers.items() for p in [read_only_pointer_problem(b, label, address)] if p]
    through = {Disassembly.pointer_called(mnem, ops) for _, mnem, ops in b.disassembly.insns}
    if not through & set(pointers.values()):
        problems.append("no indirect call goes through the guard's pointers")
    return problems


# lld's /map: a section contribution ("SSSS:OFFSET LENGTHH NAME CLASS") or a symbol
# ("SSSS:OFFSET SYMBOL ADDRESS [ARCHIVE:]OBJECT").
MAP_CONTRIBUTION = re.compile(r"^ ([0-9a-f]{4}):([0-9a-f]{8}) ([0-9a-f]{8})H (\S+)", re.M)
MAP_SYMBOL = re.compile(r"^ ([0-9a-f]{4}):[0-9a-f]{8} +(\S+) +([0-9a-f]{16}) +(\S+)$", re.M)
INITIALIZER_LISTS = re.compile(r"^\.CRT\$X[ICPTL]")  # what msvcrt.dll's _initterm and the loader walk
RUNTIME_REGISTRATION = re.compile(r"_*(atexit|onexit|signal|\w*set_invalid_parameter_handler)\b")


def guard_table(b):
    lc, base = load_config(b), b.pe.OPTIONAL_HEADER.ImageBase
    stride = 4 + (lc.GuardFlags >> 28)  # each entry's extra bytes are in the flags' top nibble
    start = b.pe.get_offset_from_rva(lc.GuardCFFunctionTable - base)
    return {base + struct.unpack_from("<I", b.data, start + i * stride)[0] for i in range(lc.GuardCFFunctionCount)}


def check_guard_complete(b, _):
    """Every address that code outside the image may call is in the guard's table: the entry point, the
    exports, the TLS callbacks, the initializer and terminator lists, and each function whose address
    (an immediate operand on x86, a rip-relative lea on x64) the code hands to an imported function or
    to one of the runtime's registrations (atexit and the like) with its next call."""
    pe, base, names, starts = b.pe, b.pe.OPTIONAL_HEADER.ImageBase, b.function_names, set(b.function_starts)
    width, fmt = (8, "<Q") if pe.FILE_HEADER.Machine == 0x8664 else (4, "<I")
    pointers = lambda va, count: [struct.unpack(fmt, pe.get_data(va - base + i * width, width))[0] for i in range(count)]
    called = {base + pe.OPTIONAL_HEADER.AddressOfEntryPoint: "the entry point"}
    called.update({base + address: "an export" for address in b.exports()[0].values()})
    tls = getattr(pe, "DIRECTORY_ENTRY_TLS", None)
    for address in itertools.takewhile(bool, (pointers(tls.struct.AddressOfCallBacks + i * width, 1)[0]
                                              for i in itertools.count())) if tls else []:
        called[address] = "a TLS callback"
    for m in MAP_CONTRIBUTION.finditer(b.map_text):
        if INITIALIZER_LISTS.match(m.group(4)):
            called.update({a: "an entry of " + m.group(4) for a in pointers(b.map_address(m), int(m.group(3), 16) // width)
                           if a})
    insns, index = b.disassembly.insns, b.disassembly.index
    slots = {address: name for _, name, address in b.imported_functions()}

    def receiver(mnem, ops):
        """What a call reaches: an imported function (directly or through its jump), or the image's own."""
        target = Disassembly.direct_target(ops) if Disassembly.pointer_called(mnem, ops) is None else None
        jump = insns[index[target]] if target in index else None
        slot = Disassembly.pointer_called("call", jump[2]) if jump and jump[1] == "jmp" else None
        slot = Disassembly.pointer_called(mnem, ops) if slot is None else slot
        return ("import", slots[slot]) if slot in slots else ("own", names.get(target, ""))

    for i, (at, mnem, ops) in enumerate(insns):
        refs = {int(x, 16) for pair in re.findall(r"\$0x([0-9a-f]+)|# 0x([0-9a-f]+)$", ops) for x in pair if x} & starts
        # The next call, or jump to a function (a tail call).
        call = next(((m, o) for _, m, o in insns[i + 1:i + 9]
                     if m == "call" or m == "jmp" and Disassembly.direct_target(o) in starts), None) \
            if refs and mnem != "call" else None
        kind, name = receiver(*call) if call else ("own", "")
        # The runtime's registrations keep what they are given for msvcrt.dll, but the project's
        # atexit keeps it for the image's own end.
        if kind == "import" or RUNTIME_REGISTRATION.match(name) and not name.endswith(".obj)"):
            called.update({r: "handed to %s at 0x%x" % (name.split(" ")[0], at) for r in refs if r not in called})
    table = guard_table(b)
    return ["not in the table: %s, %s" % (names.get(a, "0x%x" % a), why) for a, why in sorted(called.items())
            if a not in table]


def check_frame_list(b, _):
    """The unwind tables that the start-up registers run from its label to its zero word: all of .eh_frame."""
    found = {m.group(2): int(m.group(3), 16) for m in MAP_SYMBOL.finditer(b.map_text)}
    frames = [s for s in b.pe.sections if section_name(s) == ".eh_fram"]
    if len(frames) != 1:
        return ["%d .eh_frame sections, want 1" % len(frames)]
    start = b.pe.OPTIONAL_HEADER.ImageBase + frames[0].VirtualAddress
    return ["%s at 0x%x, want 0x%x" % (name, found.get(name, 0), want) for name, want in
            (("_FrameListBegin", start), ("_FrameListEnd", start + frames[0].Misc_VirtualSize - 4))
            if found.get(name) != want]


def debug_entries(b, kind):
    """The debug directory's entries of one type, as pefile names it ("IMAGE_DEBUG_TYPE_CODEVIEW")."""
    return [d for d in getattr(b.pe, "DIRECTORY_ENTRY_DEBUG", []) if d.struct.Type == pefile.DEBUG_TYPE[kind]]


def check_cet_compatible(b, _):
    marked = any(e.struct.SizeOfData >= 4 and (b.pe.get_dword_at_rva(e.struct.AddressOfRawData) or 0) & 0x1
                 for e in debug_entries(b, "IMAGE_DEBUG_TYPE_EX_DLLCHARACTERISTICS"))  # the EX_CET_COMPAT bit
    return [] if marked else ["not marked CET shadow-stack compatible"]


def check_dependent_load_flags(b, want):
    lc = load_config(b)
    # Older pefile names the field Reserved1.
    got = getattr(lc, "DependentLoadFlags", getattr(lc, "Reserved1", None))
    return [] if got == want else ["DependentLoadFlags %s, want 0x%x" % (got if got is None else hex(got), want)]


def pdb_identity(path):
    """("{GUID}", age) of a PDB, as LLVM's reader finds them; raises on anything but a PDB."""
    summary = subprocess.run(["llvm-pdbutil-19", "dump", "--summary", path], capture_output=True,
                             text=True, check=True).stdout
    return re.search(r"^\s*GUID: (\{[0-9A-F-]+\})$", summary, re.M).group(1), \
        int(re.search(r"^\s*Age: (\d+)$", summary, re.M).group(1))


def check_pdb(b, _):
    entries = debug_entries(b, "IMAGE_DEBUG_TYPE_CODEVIEW")
    if len(entries) != 1 or entries[0].entry is None:
        return ["%d CodeView entries, want 1" % len(entries)]
    cv = entries[0].entry
    name = cv.PdbFileName.rstrip(b"\0").decode("ascii", "replace")
    want = Path(b.path).stem + ".pdb"
    if name != want:
        return ["CodeView names the PDB %r, want %r (the file name only)" % (name, want)]
    path = Path(ROOT, "dist", "symbols", b.arch, name)
    if not path.is_file():
        return ["no %s" % path]
    guid, age = pdb_identity(path)
    image_guid = "{%s}" % str(uuid.UUID(cv.Signature_String[:32])).upper()  # pefile's string ends with the age
    if (guid, age) != (image_guid, cv.Age):
        return ["%s is GUID %s age %d, the image wants %s age %d" % (path, guid, age, image_guid, cv.Age)]
    return []


# The C runtime's functions whose time is 32 bits wide on x86, each also under its explicit name
# _NAME32 (time and _time32): they fail from 2038-01-19.
THIRTY_TWO_BIT_TIME = {n for f in ("time localtime gmtime mktime _mkgmtime ctime _wctime difftime _ftime _utime _wutime"
                                    " _futime _stat _wstat _fstat _findfirst _findnext _wfindfirst _wfindnext").split()
                       for n in (f, "_%s32" % f.lstrip("_"))}


def check_forbidden_imports(b, forbidden):
    names, why = forbidden
    return ["imports %s from %s (%s)" % (name, dll, why)
            for dll, name, _ in sorted(b.imported_functions()) if dll == "msvcrt.dll" and name in names]


def check_stack_protector(b, minimum):
    """clang's i386 epilogue check: the guard, read through its read-only pointer into a register
    ('mov PTR,%r ... mov (%r),%x'), compared with the frame's copy ('cmp %y,%x; jne <fail>');
    all against one writable data word."""
    insns, base = b.disassembly.insns, b.pe.OPTIONAL_HEADER.ImageBase
    guards = collections.Counter()
    for i in range(2, len(insns)):
        (_, load, load_ops), (_, cmp, cmp_ops), (_, jump, _) = insns[i - 2:i + 1]
        m = re.match(r"\(%(e[a-z]{2})\),(%e[a-z]{2})$", load_ops)
        if load != "mov" or cmp != "cmp" or jump != "jne" or not m or not cmp_ops.endswith("," + m.group(2)):
            continue
        pointer = next((int(p.group(1), 16) for _, mnem, ops in reversed(insns[max(0, i - 300):i - 2])
                        for p in [re.match(r"0x([0-9a-f]+),%" + m.group(1) + "$", ops)] if mnem == "mov" and p),
                       None)
        if pointer is not None:
            guards[pointer] += 1
    if not guards:
        return ["no stack-protector checks found"]
    pointer, checks = guards.most_common(1)[0]
    problems = [] if checks >= minimum else ["%d functions check the guard, want at least %d" % (checks, minimum)]
    problem = read_only_pointer_problem(b, "the guard's pointer", pointer)
    if problem:
        return problems + [problem]
    guard = b.pe.get_dword_at_rva(pointer - base)
    section = b.pe.get_section_by_rva(guard - base)
    if section is None or not section.IMAGE_SCN_MEM_WRITE or section.IMAGE_SCN_MEM_EXECUTE:
        problems.append("guard at 0x%x is not in a writable data section" % guard)
    return problems


def check_entry_seeds_guard(b, wanted):
    """The entry point calls, among its first instructions, a function that reads the sources of the seed."""
    oh, dis = b.pe.OPTIONAL_HEADER, b.disassembly
    imports = {address: name for _, name, address in b.imported_functions()}
    entry = oh.ImageBase + oh.AddressOfEntryPoint
    if entry not in dis.index:
        return ["entry point 0x%x is not an instruction boundary" % entry]
    first = dis.insns[dis.index[entry]:dis.index[entry] + 24]
    for target in [dis.direct_target(ops) for _, mnem, ops in first if mnem == "call"]:
        called = {imports.get(dis.pointer_called(mnem, ops)) for _, mnem, ops in b.body(target)}
        if set(wanted) <= called:
            return []
    return ["the entry point calls no function that reads %s" % ", ".join(wanted)]


def check_mentions(b, want):
    text, present = want
    found = text.encode("ascii") + b"\0" in b.data
    return [] if found == present else ["%s %s" % ("does not mention" if present else "mentions", text)]


def check_notices(b, _):
    """Every library archive or object file the linker's map shows giving code or data is named in the notices."""
    notices = Path(SOURCES, "THIRD-PARTY-NOTICES.md").read_text(encoding="utf-8")
    linked = linked_files(Path(ROOT, "build", b.arch, b.path.stem + ".map"))
    return ["%s gives the image objects but the notices do not name it" % n
            for n in sorted(linked) if "`%s`" % n not in notices]


# --- the release kit: (check name, problems) for each row ---

IMAGES = shipped_images(Path(ROOT, "build", "x86"))
PDBS = [Path(f).stem + ".pdb" for f in IMAGES]
CYCLONEDX_SCHEMAS = os.path.join(SOURCES, "build/tools/node_modules/@cyclonedx/cyclonedx-library/res/schema")


def sbom_problems(data, buildinfo):
    """Valid by CycloneDX's own 1.5 schema ($refs resolved to the local files), with the images' digests as built."""
    import jsonschema
    store = {"http://cyclonedx.org/schema/" + f.name: json.loads(f.read_text())
             for f in Path(CYCLONEDX_SCHEMAS).glob("*.schema.json")}
    bom, schema = json.loads(data), store["http://cyclonedx.org/schema/bom-1.5.SNAPSHOT.schema.json"]
    store.update({s["$id"]: s for s in list(store.values())})
    validator = jsonschema.Draft7Validator(schema, resolver=jsonschema.RefResolver.from_schema(schema, store=store),
                                           format_checker=jsonschema.FormatChecker())
    problems = ["/%s: %s" % ("/".join(map(str, e.absolute_path)), e.message[:200]) for e in validator.iter_errors(bom)]
    components = {c.get("bom-ref"): c for c in bom.get("components", [])}
    problems += ["%s: not with its SHA-256 as built" % f for f in IMAGES
                 if "  %s  %s" % (components.get(f, {}).get("hashes", [{}])[0].get("content"), f) not in buildinfo]
    return problems + ["%s: no version, licence or purl" % r for r, c in sorted(components.items())
                       if r.startswith("linked:") and not all(c.get(k) for k in ("version", "licenses", "purl"))]


def check_kit(kit, dist):
    version = re.match(r"installer-utilities-(.+)\.zip$", os.path.basename(kit)).group(1)
    top = "installer-utilities-%s/" % version
    with zipfile.ZipFile(kit) as z:
        members = {n[len(top):]: z.read(n) for n in z.namelist() if n.startswith(top)}
        outside = [n for n in z.namelist() if not n.startswith(top)]
    sums = {name: digest for digest, name in (line.split("  ", 1)
                                              for line in members.get("SHA256SUMS", b"").decode().splitlines())}
    want = {*IMAGES, "examples/quorvane-actions.wxs", "examples/prerequisites.nsi", "README.md",
            "CONTRIBUTING.md", "LICENSE", "THIRD-PARTY-NOTICES.md", "CHANGELOG.md", "BUILDINFO",
            "installer-utilities-%s.spdx" % version, "installer-utilities-%s.cdx.json" % version,
            *("docs/" + f for f in os.listdir(os.path.join(SOURCES, "docs")) if f.endswith(".md"))}
    digest = lambda data: hashlib.sha256(data).hexdigest()
    shipped = {f: Path(dist, "x86", f).read_bytes() for f in IMAGES}
    shipped.update({f: Path(dist, "symbols", "x86", f).read_bytes() for f in PDBS})
    with zipfile.ZipFile(kit[:-len(".zip")] + "-symbols.zip") as z:
        pdbs = {n: z.read(n) for n in z.namelist()}
    buildinfo = members.get("BUILDINFO", b"").decode()
    changelog = members.get("CHANGELOG.md", b"").decode()
    try:  # without CycloneDX's schemas (scripts/setup.sh) or jsonschema this row fails alone
        sbom = sbom_problems(members.get("installer-utilities-%s.cdx.json" % version, b"{}"), buildinfo)
    except (OSError, ImportError, ValueError, KeyError) as e:
        sbom = ["cannot validate: %s: %s" % (type(e).__name__, e)]
    return [
        ("members", ["unexpected %s" % n for n in outside] + differences("", set(members) - {"SHA256SUMS"}, want)),
        ("sha256sums", ["%s: %s" % (n, "not listed" if n not in sums else "checksum differs")
                        for n in sorted(want & set(members)) if sums.get(n) != digest(members[n])] +
         ["lists %s, not in the kit" % n for n in sorted(set(sums) - set(members))]),
        ("shipped-images", ["%s differs from dist" % f for f in IMAGES if members.get(f) != shipped[f]]),
        ("buildinfo", ["no line %r" % line for line in ["Installer utilities " + version] +
                       ["  %s  %s" % (digest(data), f) for f, data in sorted(shipped.items())]
                       if line not in buildinfo.splitlines()] +
         ([] if re.search(r"^commit: [0-9a-f]{40}", buildinfo, re.M) else ["no commit"])),
        ("changelog", [] if "## [%s] - " % version in changelog else ["no entry for %s" % version]),
        ("sbom-cyclonedx-1.5", sbom),
        ("symbols", [] if pdbs == {"installer-utilities-%s-symbols/%s" % (version, f): shipped[f] for f in PDBS}
         else ["PDBs other than dist's: %s" % sorted(pdbs)]),
    ]


# --- what each shipped file must satisfy ---

TARBEL_ICONS = [(48, 48, 8), (32, 32, 8), (16, 16, 8), (64, 64, 32), (48, 48, 32),
                (40, 40, 32), (32, 32, 32), (24, 24, 32), (20, 20, 32), (16, 16, 32)]
QUORVANE_EXPORTS = ["_LaunchProcessSync@4", "_RefreshEnvironmentVariables@4",
                    "_RemoveAppdirTrailingBackslash@4", "_TerminateInstallWithFailure@4",
                    "_TerminateInstallWithSuccess@4"]

# Present in both architectures' images, each image then with its own row of DLL_SEARCH.
HARDENING = [
    ("guard-cf-tables", check_guard_tables, None),
    ("guard-cf-complete", check_guard_complete, None),
    ("guard-cf-pointers", check_guard_pointers, None),
    ("cet-compatible", check_cet_compatible, None),
    ("dependent-load-flags-system32", check_dependent_load_flags, 0x800),
    ("pdb", check_pdb, None),
    ("sections", check_sections, None),
    ("no-abort", check_forbidden_imports, ({"abort"}, "the runtime's abort can show a dialog")),
    ("entry-seeds-stack-guard", check_entry_seeds_guard, ["GetSystemTimeAsFileTime", "QueryPerformanceCounter"]),
]
DLL_SEARCH = {
    "Tarbel.exe": ("dll-search-restricted", check_mentions, ("SetDefaultDllDirectories", True)),
    # It would change DLL loading for the whole installer process.
    "Quorvane.dll": ("dll-search-untouched", check_mentions, ("SetDefaultDllDirectories", False)),
}

CONTRACT_X64 = {name: [("mitigations", check_mitigations, ["DYNAMIC_BASE", "NX_COMPAT", "HIGH_ENTROPY_VA", "GUARD_CF"]),
                       *HARDENING, own] for name, own in DLL_SEARCH.items()}

# The x86 images' own rows come first, then these; NO_SEH, the i386 guard check and 32-bit time are x86 matters.
X86_SHARED = [
    ("no-build-paths", check_no_build_paths, None),
    ("timestamp", check_timestamps, None),
    ("mitigations", check_mitigations, ["DYNAMIC_BASE", "NX_COMPAT", "NO_SEH", "GUARD_CF"]),
    ("stack-protector", check_stack_protector, 5),
    ("frame-list-bounds", check_frame_list, None),
    ("no-32-bit-time", check_forbidden_imports, (THIRTY_TWO_BIT_TIME, "32-bit time ends in 2038")),
    *HARDENING,
]

CONTRACT = {name: own + X86_SHARED + [DLL_SEARCH[name], ("third-party-notices", check_notices, None)]
            for name, own in {
    "Tarbel.exe": [
        ("image", check_image, False),
        ("os-subsystem-version", check_versions, (6, 0)),
        ("subsystem-gui", check_subsystem, 2),
        ("imports", check_imports, ["KERNEL32.dll", "msvcrt.dll"]),
        ("resource-types", check_resource_types, ["RT_ICON", "RT_GROUP_ICON", "RT_MANIFEST"]),
        ("manifest", check_manifest, 1),
        ("icon-group", check_icon_group, (101, TARBEL_ICONS)),
    ],
    "Quorvane.dll": [
        ("image", check_image, True),
        ("os-subsystem-version", check_versions, (6, 0)),
        ("exports", check_exports, QUORVANE_EXPORTS),
        ("imports", check_imports, ["KERNEL32.dll", "USER32.dll", "msi.dll", "msvcrt.dll"]),
        ("resource-types", check_resource_types, ["RT_MANIFEST"]),
        ("manifest", check_manifest, 2),
    ],
}.items()}


@functools.lru_cache(maxsize=None)
def binary(path, arch):
    return Binary(path, arch)


def image_rows():
    for arch, contract in (("x86", CONTRACT), ("x64", CONTRACT_X64)):
        for image, checks in contract.items():
            for name, check, want in checks:
                yield pytest.param(arch, image, check, want, id="%s-%s-%s" % (arch, image, name))


def test_every_shipped_image_has_its_rows():
    assert sorted(CONTRACT) == sorted(CONTRACT_X64) == sorted(IMAGES)


@pytest.mark.parametrize("arch,image,check,want", image_rows())
def test_image(arch, image, check, want):
    problems = check(binary(Path(ROOT, "dist", arch, image), arch), want)
    assert not problems, "; ".join(problems)


def guarded_test_programs():
    """The test programs that declare the guard, which Windows then enforces on them."""
    for arch in OBJDUMP:
        for path in sorted(Path(ROOT, "build", arch, "tests", "bin").glob("*.exe")):
            if binary(path, arch).pe.OPTIONAL_HEADER.IMAGE_DLLCHARACTERISTICS_GUARD_CF:
                yield pytest.param(path, arch, id="%s-%s" % (arch, path.name))


@pytest.mark.parametrize("path,arch", guarded_test_programs())
def test_guard_table_of_test_program(path, arch):
    problems = check_guard_complete(binary(path, arch), None)
    assert not problems, "; ".join(problems)


def kit_path(suffix=""):
    version = Path(ROOT, "build", "x86", "VERSION").read_text().strip()
    return Path(ROOT, "dist", "installer-utilities-%s%s.zip" % (version, suffix))


@functools.lru_cache(maxsize=None)
def kit_problems():
    return dict(check_kit(str(kit_path()), str(Path(ROOT, "dist"))))


@pytest.mark.parametrize("row", ["members", "sha256sums", "shipped-images", "buildinfo", "changelog",
                                 "sbom-cyclonedx-1.5", "symbols"])
def test_release_kit(row):
    problems = kit_problems()[row]
    assert not problems, "; ".join(problems)


def test_tests_kit_names_no_build_folder():
    # It runs from wherever it is unpacked.
    with zipfile.ZipFile(kit_path("-tests")) as z:
        found = ["%s %s" % (m, p) for m in z.namelist() for p in build_paths_in(z.read(m))]
    assert not found, "; ".join(found)
