#!/usr/bin/env python3
# Writes the seeds of the pe_resources fuzz target (corpus/pe_resources): a
# small image that vexa-pack takes for a launcher, the same with a jar behind
# it, and two crafted images it must refuse: a resource section whose file
# offset lies inside the headers, and a data directory count of 0x20000001;
# and what the fuzz target found making vexa-pack fill the memory: a section
# without data placed far beyond the end of the file, a file alignment of
# 512 MiB. Inputs that the fuzz target found later are kept beside these.
import io, os, struct, sys, zipfile

def resources():
    # type -> one name (1) -> one language (0x0809) -> data
    items = [(6, b"T\0h\0e\0 \0s\0e\0t\0t\0i\0n\0g\0s\0 \0e\0m\0b\0e\0d\0d\0e\0d\0 \0i\0n\0 \0"),
             (24, b'<assembly><assemblyIdentity name="Vexa.Launcher"/></assembly>')]
    n = len(items)
    dirs = 16 + 8 * n + n * (16 + 8) * 2
    entries = dirs
    data_at = entries + 16 * n
    out = bytearray(data_at)
    struct.pack_into("<HH", out, 12, 0, n)
    data = bytearray()
    for i, (t, payload) in enumerate(items):
        name_dir = 16 + 8 * n + i * 48
        lang_dir = name_dir + 24
        struct.pack_into("<II", out, 16 + 8 * i, t, 0x80000000 | name_dir)
        struct.pack_into("<HH", out, name_dir + 12, 0, 1)
        struct.pack_into("<II", out, name_dir + 16, 1, 0x80000000 | lang_dir)
        struct.pack_into("<HH", out, lang_dir + 12, 0, 1)
        struct.pack_into("<II", out, lang_dir + 16, 0x0809, entries + 16 * i)
        struct.pack_into("<IIII", out, entries + 16 * i, 0x1000 + data_at + len(data), len(payload), 0, 0)
        data += payload + b"\0" * (-len(payload) % 8)
    return bytes(out + data)

def image(rsrc_pointer=None, directories=16, reloc_pointer=None, file_alignment=None):
    align = 0x20
    headers = 0x1A0
    rsrc = resources()
    rsrc += b"\0" * (-len(rsrc) % align)
    reloc = struct.pack("<II", 0x1000, 8) + b"\0" * (align - 8)
    out = bytearray(headers)
    out[0:2] = b"MZ"
    struct.pack_into("<I", out, 0x3C, 0x40)
    out[0x40:0x44] = b"PE\0\0"
    struct.pack_into("<HHIIIHH", out, 0x44, 0x8664, 2, 0, 0, 0, 240, 0x22)
    opt = 0x58
    struct.pack_into("<H", out, opt, 0x20B)
    struct.pack_into("<II", out, opt + 32, 0x1000, file_alignment or align)
    struct.pack_into("<III", out, opt + 56, 0x3000, headers, 0)
    struct.pack_into("<I", out, opt + 108, directories)
    struct.pack_into("<II", out, opt + 112 + 2 * 8, 0x1000, len(resources()))
    struct.pack_into("<II", out, opt + 112 + 5 * 8, 0x2000, 8)
    table = opt + 240
    struct.pack_into("<8sIIII12xI", out, table, b".rsrc", len(rsrc), 0x1000, len(rsrc),
                     headers if rsrc_pointer is None else rsrc_pointer, 0x40000040)
    if reloc_pointer is None:
        struct.pack_into("<8sIIII12xI", out, table + 40, b".reloc", 8, 0x2000, len(reloc), headers + len(rsrc), 0x42000040)
        return bytes(out + rsrc + reloc)
    struct.pack_into("<8sIIII12xI", out, table + 40, b".reloc", 8, 0x2000, 0, reloc_pointer, 0x42000040)
    return bytes(out + rsrc)

def jar():
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w") as z:
        z.writestr(zipfile.ZipInfo("Main.class", date_time=(1980, 1, 1, 0, 0, 0)), b"\xca\xfe\xba\xbe")
    return buffer.getvalue()

folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "corpus", "pe_resources")
os.makedirs(folder, exist_ok=True)
seeds = {
    "launcher": image(),
    "launcher-with-jar": image() + jar(),
    "resources-in-headers": image(rsrc_pointer=0x100),
    "directory-count-wraps": image(directories=0x20000001),
    "section-without-data-far-away": image(reloc_pointer=0xFFFFF000),
    "file-alignment-512-mib": image(file_alignment=0x20000000),
}
for name, data in seeds.items():
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)
