#!/usr/bin/env python3
"""Writes two small files carrying a version block, as seeds of the version-reader fuzz
target (fuzz/corpus/version_block/): a minimal 64-bit PE file with an RT_VERSION resource,
and a minimal ELF file with a ".krx_version" section. The output is committed; the build
does not run this script."""
import struct
from pathlib import Path


def node(key, value=b"", text=False, value_length=None, children=()):
    """One VS_VERSIONINFO node: header, key, padding, value, padding, children."""
    body = key.encode("utf-16le") + b"\0\0"
    head_len = 6 + len(body)
    pad = (-head_len) % 4
    out = bytearray(body + b"\0" * pad + value)
    for child in children:
        out += b"\0" * ((-(6 + len(out))) % 4)
        out += child
    if value_length is None:
        value_length = len(value) // 2 if text else len(value)
    return struct.pack("<HHH", 6 + len(out), value_length, 1 if text else 0) + bytes(out)


def text_value(key, value):
    data = value.encode("utf-16le") + b"\0\0"
    return node(key, data, text=True)


def version_block():
    fixed = struct.pack("<13I", 0xFEEF04BD, 0x00010000, 0x00030001, 0x00040002, 0x00030001,
                        0x00040002, 0x3F, 0, 4, 2, 0, 0, 0)
    table = node("040904E4", text=True, children=[
        text_value("FileVersion", "3.1.4.2"),
        text_value("FileDescription", "Seed"),
    ])
    strings = node("StringFileInfo", text=True, children=[table])
    translation = node("Translation", struct.pack("<HH", 0x0409, 0x04E4))
    var = node("VarFileInfo", text=True, children=[translation])
    return node("VS_VERSION_INFO", fixed, children=[strings, var])


def tiny_pe(block):
    section_rva, section_offset = 0x1000, 0x200
    # Resource tree: type 16 -> name 1 -> language 0x409 -> data entry -> block.
    rsrc = bytearray()

    def directory(entries):
        return struct.pack("<IIHHHH", 0, 0, 0, 0, 0, len(entries)) + b"".join(
            struct.pack("<II", ident, target) for ident, target in entries)

    level1 = directory([(16, 0x80000000 | 24)])
    level2 = directory([(1, 0x80000000 | 48)])
    level3 = directory([(0x409, 72)])
    data_entry = struct.pack("<IIII", section_rva + 88, len(block), 0, 0)
    rsrc = level1 + level2 + level3 + data_entry + block
    rsrc += b"\0" * ((-len(rsrc)) % 0x200)

    dos = bytearray(64)
    dos[0:2] = b"MZ"
    struct.pack_into("<I", dos, 0x3C, 64)
    optional = bytearray(240)
    struct.pack_into("<H", optional, 0, 0x20B)  # PE32+
    struct.pack_into("<I", optional, 108, 16)  # NumberOfRvaAndSizes
    struct.pack_into("<II", optional, 112 + 16, section_rva, len(rsrc))  # resource directory
    coff = struct.pack("<4sHHIIIHH", b"PE\0\0", 0x8664, 1, 0, 0, 0, len(optional), 0x2022)
    section = struct.pack("<8sIIIIIIHHI", b".rsrc", len(rsrc), section_rva, len(rsrc),
                          section_offset, 0, 0, 0, 0, 0x40000040)
    head = bytes(dos) + coff + bytes(optional) + section
    return head + b"\0" * (section_offset - len(head)) + bytes(rsrc)


def tiny_elf(block):
    names = b"\0.shstrtab\0.krx_version\0"
    data_offset = 64
    names_offset = data_offset + len(block)
    sh_offset = names_offset + len(names)
    sh_offset += (-sh_offset) % 8
    header = struct.pack("<4sBBBBB7sHHIQQQIHHHHHH", b"\x7fELF", 2, 1, 1, 0, 0, b"\0" * 7, 1,
                         0x3E, 1, 0, 0, sh_offset, 0, 64, 0, 0, 64, 3, 1)

    def section_header(name, kind, offset, size):
        return struct.pack("<IIQQQQIIQQ", name, kind, 0, 0, offset, size, 0, 0, 1, 0)

    sections = (section_header(0, 0, 0, 0) + section_header(1, 3, names_offset, len(names)) +
                section_header(11, 1, data_offset, len(block)))
    body = header + block + names
    return body + b"\0" * (sh_offset - len(body)) + sections


def main():
    out = Path(__file__).resolve().parents[2] / "fuzz" / "corpus" / "version_block"
    out.mkdir(parents=True, exist_ok=True)
    block = version_block()
    (out / "tiny.dll").write_bytes(tiny_pe(block))
    (out / "tiny.elf").write_bytes(tiny_elf(block))


if __name__ == "__main__":
    main()
