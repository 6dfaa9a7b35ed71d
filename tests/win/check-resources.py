#!/usr/bin/env python3
"""check-resources.py <exe> <res dir>: reads the resources of the built program back and compares them
with what Properties > Details and the loader will see: every string of the version block as UTF-16
text, its translation and version numbers, the manifest (id 1) and the main icon's images."""
import struct
import sys

VERSION_STRINGS = {
    "CompanyName": "Quarvo",
    "FileDescription": "Quarvo地址扫描+唤醒",
    "FileVersion": "1.1.0.0",
    "InternalName": "Quarvo",
    "LegalCopyright": "Quarvo",
    "OriginalFilename": "Quarvo.exe",
    "ProductName": "Quarvo",
    "ProductVersion": "1.0.0.0",
}
RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24
LANG_ZH_CN = 0x0804


def read_resources(pe):
    """Returns {(type, name, language): data}; names are ids or upper-case strings."""
    pe_at = struct.unpack_from("<I", pe, 0x3C)[0]
    if pe[pe_at:pe_at + 4] != b"PE\0\0":
        sys.exit("not a PE file")
    sections, optional_size = struct.unpack_from("<H12xH", pe, pe_at + 6)
    optional_at = pe_at + 24
    magic = struct.unpack_from("<H", pe, optional_at)[0]
    directories_at = optional_at + (96 if magic == 0x10B else 112)
    rsrc_rva = struct.unpack_from("<I", pe, directories_at + 2 * 8)[0]
    for i in range(sections):
        size, rva, _, raw_at = struct.unpack_from("<8xIIII", pe, optional_at + optional_size + 40 * i)
        if rva <= rsrc_rva < rva + size:
            break
    else:
        sys.exit("no resource section")

    def at(rva_):
        return rva_ - rva + raw_at

    base = at(rsrc_rva)

    def name_of(entry_name):
        if not entry_name & 0x80000000:
            return entry_name
        offset = base + (entry_name & 0x7FFFFFFF)
        length = struct.unpack_from("<H", pe, offset)[0]
        return pe[offset + 2:offset + 2 + 2 * length].decode("utf-16-le").upper()

    found = {}

    def walk(offset, path):
        named, ids = struct.unpack_from("<HH", pe, base + offset + 12)
        for i in range(named + ids):
            entry_name, target = struct.unpack_from("<II", pe, base + offset + 16 + 8 * i)
            key = path + (name_of(entry_name),)
            if target & 0x80000000:
                walk(target & 0x7FFFFFFF, key)
            else:
                data_rva, size = struct.unpack_from("<II", pe, base + target)
                found[key] = pe[at(data_rva):at(data_rva) + size]

    walk(0, ())
    return found


def read_block(data, offset=0):
    """One node of a version block, 32-bit aligned like its children: (key, value, children)."""
    length, value_length, kind = struct.unpack_from("<HHH", data, offset)
    end = offset + length
    key_end = offset + 6
    while data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = data[offset + 6:key_end].decode("utf-16-le")
    value_at = (key_end + 2 + 3) & ~3
    value_size = value_length * 2 if kind == 1 else value_length
    value = data[value_at:min(value_at + value_size, end)]
    children = []
    child = (value_at + value_size + 3) & ~3
    while child < end:
        children.append(read_block(data, child))
        child = (child + struct.unpack_from("<H", data, child)[0] + 3) & ~3
    return key, value, children


def main():
    exe, res_dir = sys.argv[1], sys.argv[2]
    resources = read_resources(open(exe, "rb").read())
    errors = []

    def one(kind, name):
        hits = {k: v for k, v in resources.items() if k[:2] == (kind, name)}
        if len(hits) != 1:
            errors.append(f"resource type {kind} name {name}: {len(hits)} found, 1 expected")
            return None, None
        (key, data), = hits.items()
        return key[2], data

    language, version = one(RT_VERSION, 1)
    if version is not None:
        key, fixed, children = read_block(version)
        numbers = struct.unpack_from("<13I", fixed)
        if key != "VS_VERSION_INFO" or numbers[0] != 0xFEEF04BD or language != LANG_ZH_CN:
            errors.append(f"version block: key {key!r}, signature {numbers[0]:#x}, language {language:#x}")
        if numbers[2:6] != (0x10001, 0, 0x10000, 0):  # 1.1.0.0 and 1.0.0.0
            errors.append(f"file and product version numbers {[hex(n) for n in numbers[2:6]]}")
        blocks = {child[0]: child for child in children}
        tables = [(table[0], table[2]) for table in blocks.get("StringFileInfo", ("", b"", []))[2]]
        strings = {k: v.decode("utf-16-le").split("\0")[0] for k, v, _ in (tables[0][1] if tables else [])}
        if [name for name, _ in tables] != ["080403A8"]:
            errors.append(f"string tables {[name for name, _ in tables]}, expected ['080403A8']")
        for name in sorted(set(strings) | set(VERSION_STRINGS)):
            if strings.get(name) != VERSION_STRINGS.get(name):
                errors.append(f"{name}: {ascii(strings.get(name))}, expected {ascii(VERSION_STRINGS.get(name))}")
        translations = [v for k, v, _ in blocks.get("VarFileInfo", ("", b"", []))[2] if k == "Translation"]
        if translations != [struct.pack("<HH", LANG_ZH_CN, 936)]:
            errors.append(f"Translation {translations}, expected 0x0804, 936")

    _, manifest = one(RT_MANIFEST, 1)
    if manifest is not None and manifest != open(f"{res_dir}/Quarvo.manifest", "rb").read():
        errors.append("manifest 1 differs from Quarvo.manifest")

    _, group = one(RT_GROUP_ICON, "MAINICON")
    if group is not None:
        ico = open(f"{res_dir}/Quarvo.ico", "rb").read()
        count = struct.unpack_from("<H", ico, 4)[0]
        if group[:6] != ico[:6]:
            errors.append("icon group header differs from Quarvo.ico")
        for i in range(count):
            entry = ico[6 + 16 * i:6 + 16 * i + 16]
            size, image_at = struct.unpack_from("<II", entry, 8)
            group_entry = group[6 + 14 * i:6 + 14 * i + 14]
            image_id = struct.unpack_from("<H", group_entry, 12)[0] if len(group_entry) == 14 else None
            image = [v for k, v in resources.items() if k[:2] == (RT_ICON, image_id)]
            if group_entry[:12] != entry[:12] or image != [ico[image_at:image_at + size]]:
                errors.append(f"icon image {i} differs from Quarvo.ico")

    for error in errors:
        print(error)
    if not errors:
        print(f"ok: {len(VERSION_STRINGS)} version strings, manifest, {count} icon image(s)")
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
