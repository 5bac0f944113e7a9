"""A Windows program's resources as Windows finds them: each by type, name and
language, and the version resource's strings under each of its string blocks, with
the language and code page pairs of its Translation entry; and the flags of its
optional header that the loader acts on."""
import struct

RT_DIALOG, RT_STRING, RT_RCDATA, RT_VERSION, RT_MANIFEST = 5, 6, 10, 16, 24
IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE = 0x8000


def dll_characteristics(data):
    """The DllCharacteristics field of the optional header (32- and 64-bit alike)."""
    header = struct.unpack_from("<I", data, 0x3C)[0]
    return struct.unpack_from("<H", data, header + 24 + 70)[0]


def resources(data):
    """{(type, name, language): bytes}; a type or name given by text is that text."""
    header = struct.unpack_from("<I", data, 0x3C)[0]
    sections = struct.unpack_from("<H", data, header + 6)[0]
    optional_size = struct.unpack_from("<H", data, header + 20)[0]
    optional = header + 24
    directories = optional + (96 if struct.unpack_from("<H", data, optional)[0] == 0x10B else 112)
    rsrc = struct.unpack_from("<I", data, directories + 2 * 8)[0]
    for at in range(optional + optional_size, optional + optional_size + 40 * sections, 40):
        size, rva, _, raw = struct.unpack_from("<IIII", data, at + 8)
        if rva <= rsrc < rva + size:
            base, delta = raw + rsrc - rva, rva - raw
    found = {}

    def name_of(entry):
        if not entry & 0x80000000:
            return entry
        at = base + (entry & 0x7FFFFFFF)
        return data[at + 2:at + 2 + 2 * struct.unpack_from("<H", data, at)[0]].decode("utf-16-le")

    def walk(offset, path):
        named, numbered = struct.unpack_from("<HH", data, base + offset + 12)
        for i in range(named + numbered):
            entry, target = struct.unpack_from("<II", data, base + offset + 16 + 8 * i)
            if target & 0x80000000:
                walk(target & 0x7FFFFFFF, path + (name_of(entry),))
            else:
                rva, size = struct.unpack_from("<II", data, base + target)
                found[path + (name_of(entry),)] = data[rva - delta:rva - delta + size]
    walk(0, ())
    return found


def _node(data, offset):
    """One node of a version resource: (key, value bytes, children, where it ends)."""
    length, value_length, is_text = struct.unpack_from("<HHH", data, offset)
    key_end = offset + 6
    while data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    value_at = (key_end + 5) & ~3
    value = data[value_at:value_at + value_length * (2 if is_text else 1)]
    children, child = [], (value_at + len(value) + 3) & ~3
    while child < offset + length:
        children.append(_node(data, child))
        child = (children[-1][3] + 3) & ~3
    return data[offset + 6:key_end].decode("utf-16-le"), value, children, offset + length


def version_info(data):
    """(language of the version resource, [(language, code page)] of its Translation
    entry, {string block key: {name: text}})."""
    (_, _, language), resource = next((k, v) for k, v in resources(data).items() if k[0] == RT_VERSION)
    translations, blocks = [], {}
    for key, _, children, _ in _node(resource, 0)[2]:
        for table, value, entries, _ in children:
            if key == "VarFileInfo" and table == "Translation":
                translations += [struct.unpack_from("<HH", value, i) for i in range(0, len(value), 4)]
            elif key == "StringFileInfo":
                blocks[table] = {name: text.decode("utf-16-le").rstrip("\0") for name, text, _, _ in entries}
    return language, translations, blocks
