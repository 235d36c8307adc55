#!/usr/bin/env python3
# Reads the built Brelquin.exe and checks what Windows sees of it: header, imports, icon groups, manifest, version.
# Run: python3 tests/pe/check_pe.py --exe build/Brelquin.exe --icon res/brelquin.ico --project-version 1.0.0 [CHECK ...]
#      (all checks when none is named).
"""Checks of the shipped executable, parsed here with the standard library alone.

Each check returns a list of problems; an empty list is a pass. The resource
directory is read in the order it is stored, because that order is what
decides which icon group Windows takes as the file's icon.
"""

import argparse
import struct
import sys
import xml.etree.ElementTree as ElementTree
from pathlib import Path

kPe32Magic = 0x10B
kMachineI386 = 0x14C
kSubsystemWindowsGui = 2
kImportDirectory = 1
kResourceDirectory = 2
kDelayImportDirectory = 13

kRtIcon = 3
kRtGroupIcon = 14
kRtManifest = 24
kRtVersion = 16
kEnglishUnitedStates = 1033
kManifestId = 1
kVersionInfoId = 1

kAppIconName = "0"
kMessageIconId = 1005
kIconSizes = [16, 32, 48, 64, 128, 256]
kPngSignature = b"\x89PNG\r\n\x1a\n"
kBitmapInfoHeaderBytes = 40
kBiRgb = 0

# Windows' own DLLs, present on every supported system. Anything else (the
# MinGW runtime DLLs above all) would have to ship beside the executable.
kSystemDlls = {
    "ADVAPI32.DLL", "COMCTL32.DLL", "COMDLG32.DLL", "GDI32.DLL", "KERNEL32.DLL", "MSVCRT.DLL",
    "OLE32.DLL", "OLEAUT32.DLL", "SHELL32.DLL", "SHLWAPI.DLL", "USER32.DLL",
}

kAsmV1 = "urn:schemas-microsoft-com:asm.v1"
kCommonControls = {
    "type": "win32",
    "name": "Microsoft.Windows.Common-Controls",
    "version": "6.0.0.0",
    "processorArchitecture": "x86",
    "publicKeyToken": "6595b64144ccf1df",
    "language": "*",
}


class FormatError(Exception):
    """The file is not a PE image this script can read."""


class PeImage:
    """The parts of a PE32 file the checks need: header fields, data directories, and RVA reads."""

    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise FormatError("no MZ signature")
        pe = self.U32(0x3C)
        if data[pe:pe + 4] != b"PE\0\0":
            raise FormatError("no PE signature")
        coff = pe + 4
        self.machine = self.U16(coff)
        section_count = self.U16(coff + 2)
        optional_size = self.U16(coff + 16)
        optional = coff + 20
        self.magic = self.U16(optional)
        if self.magic != kPe32Magic:
            # The remaining fields sit elsewhere in PE32+; the format check reports the magic.
            self.subsystem = None
            self.directories = []
            self.sections = []
            return
        self.subsystem = self.U16(optional + 68)
        directory_count = self.U32(optional + 92)
        self.directories = [(self.U32(optional + 96 + 8 * i), self.U32(optional + 100 + 8 * i))
                            for i in range(directory_count)]
        table = optional + optional_size
        self.sections = []
        for i in range(section_count):
            header = table + 40 * i
            virtual_size, virtual_address, raw_size, raw_offset = struct.unpack_from("<IIII", data, header + 8)
            self.sections.append((virtual_address, max(virtual_size, raw_size), raw_offset, raw_size))

    def U16(self, offset):
        return self.Unpack("<H", offset)[0]

    def U32(self, offset):
        return self.Unpack("<I", offset)[0]

    def Unpack(self, layout, offset):
        if offset < 0 or offset + struct.calcsize(layout) > len(self.data):
            raise FormatError(f"read past the end of the file at offset {offset:#x}")
        return struct.unpack_from(layout, self.data, offset)

    def Directory(self, index):
        return self.directories[index] if index < len(self.directories) else (0, 0)

    def Offset(self, rva):
        for virtual_address, span, raw_offset, raw_size in self.sections:
            if virtual_address <= rva < virtual_address + span and rva - virtual_address < raw_size:
                return raw_offset + rva - virtual_address
        raise FormatError(f"RVA {rva:#x} lies in no section")

    def Read(self, rva, size):
        start = self.Offset(rva)
        if start + size > len(self.data):
            raise FormatError(f"{size} bytes at RVA {rva:#x} run past the end of the file")
        return self.data[start:start + size]

    def CString(self, rva):
        start = self.Offset(rva)
        end = self.data.find(b"\0", start)
        if end < 0:
            raise FormatError(f"unterminated string at RVA {rva:#x}")
        return self.data[start:end].decode("ascii", "replace")


def _TableDllNames(image, directory, entry_format, name_field):
    """Names of the DLLs in one import-style table: entries until an all-zero one."""
    names = []
    rva, _ = image.Directory(directory)
    if not rva:
        return names
    descriptor = image.Offset(rva)
    entry_size = struct.calcsize(entry_format)
    while True:
        fields = image.Unpack(entry_format, descriptor)
        if not any(fields):
            return names
        names.append(image.CString(fields[name_field]))
        descriptor += entry_size


def ImportedDlls(image):
    """Names of the DLLs in the import table and the delay-load table, in table order."""
    return (_TableDllNames(image, kImportDirectory, "<IIIII", 3) +
            _TableDllNames(image, kDelayImportDirectory, "<8I", 1))


def ResourceEntries(image, base, directory_offset):
    """The entries of one resource directory, in stored order: (key, is_subdirectory, offset).

    A key is a str for a named entry and an int for a numbered one, so the name "0" and the id 0 differ."""
    named, numbered = image.Unpack("<HH", base + directory_offset + 12)
    entries = []
    for i in range(named + numbered):
        name_field, data_field = image.Unpack("<II", base + directory_offset + 16 + 8 * i)
        if name_field & 0x80000000:
            string = base + (name_field & 0x7FFFFFFF)
            length = image.U16(string)
            key = image.data[string + 2:string + 2 + 2 * length].decode("utf-16-le")
        else:
            key = name_field
        entries.append((key, bool(data_field & 0x80000000), data_field & 0x7FFFFFFF))
    return entries


def Resources(image):
    """The resource tree as {type: [(name, [(language, bytes)])]}, names and languages in stored order."""
    rva, _ = image.Directory(kResourceDirectory)
    if not rva:
        return {}
    base = image.Offset(rva)
    tree = {}
    for type_key, type_is_dir, type_offset in ResourceEntries(image, base, 0):
        if not type_is_dir:
            raise FormatError(f"resource type {type_key!r} is not a directory")
        names = []
        for name_key, name_is_dir, name_offset in ResourceEntries(image, base, type_offset):
            if not name_is_dir:
                raise FormatError(f"resource {type_key!r}/{name_key!r} is not a directory")
            languages = []
            for language, language_is_dir, data_offset in ResourceEntries(image, base, name_offset):
                if language_is_dir:
                    raise FormatError(f"resource {type_key!r}/{name_key!r}/{language} nests too deep")
                data_rva, data_size = image.Unpack("<II", base + data_offset)
                languages.append((language, image.Read(data_rva, data_size)))
            names.append((name_key, languages))
        tree[type_key] = names
    return tree


def Describe(key):
    return f'name "{key}"' if isinstance(key, str) else f"id {key}"


def OnlyEnglishData(resources, type_id, key, what):
    """The bytes of resource (type_id, key) if it exists once, in language 1033; else a list of problems."""
    for name, languages in resources.get(type_id, []):
        if name != key:
            continue
        found = [language for language, _ in languages]
        if found != [kEnglishUnitedStates]:
            return None, [f"{what} ({Describe(key)}) has languages {found}, expected only [{kEnglishUnitedStates}]"]
        return languages[0][1], []
    return None, [f"{what} ({Describe(key)}) is missing"]


def ParseGroup(data):
    """A GRPICONDIR: the list of (width, height, bit count, planes, bytes, icon id) entries."""
    if len(data) < 6:
        raise FormatError(f"icon group directory of only {len(data)} bytes")
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    if reserved != 0 or kind != 1 or len(data) < 6 + 14 * count:
        raise FormatError("not an icon group directory")
    entries = []
    for i in range(count):
        width, height, _, _, planes, bits, size, icon_id = struct.unpack_from("<BBBBHHIH", data, 6 + 14 * i)
        entries.append((width or 256, height or 256, bits, planes, size, icon_id))
    return entries


def GroupImages(resources, key):
    """{size: image bytes} for one icon group, with the problems found on the way."""
    group, problems = OnlyEnglishData(resources, kRtGroupIcon, key, "icon group")
    if group is None:
        return {}, problems
    images = {}
    for width, height, bits, planes, size, icon_id in ParseGroup(group):
        label = f"icon group {Describe(key)}, {width}x{height} entry"
        if width != height:
            problems.append(f"{label}: not square")
        if bits != 32 or planes != 1:
            problems.append(f"{label}: {bits} bits per pixel in {planes} planes, expected 32 in 1")
        data, missing = OnlyEnglishData(resources, kRtIcon, icon_id, f"{label}: icon")
        problems += missing
        if data is None:
            continue
        if len(data) != size:
            problems.append(f"{label}: directory says {size} bytes, the icon holds {len(data)}")
        if width in images:
            problems.append(f"{label}: size listed twice")
        images[width] = data
    sizes = sorted(images)
    if sizes != kIconSizes:
        problems.append(f"icon group {Describe(key)} holds sizes {sizes}, expected {kIconSizes}")
    return images, problems


def DibProblems(label, size, data):
    """Why the image is not an uncompressed 32-bit DIB of the given size with its AND mask, if it is not."""
    if data.startswith(kPngSignature):
        return [f"{label}: PNG-compressed, expected an uncompressed bitmap"]
    if len(data) < kBitmapInfoHeaderBytes:
        return [f"{label}: only {len(data)} bytes"]
    header_size, width, height, planes, bits, compression = struct.unpack_from("<IiiHHI", data, 0)
    problems = []
    if header_size != kBitmapInfoHeaderBytes:
        problems.append(f"{label}: header of {header_size} bytes, "
                        f"expected a {kBitmapInfoHeaderBytes}-byte BITMAPINFOHEADER")
    if (width, height) != (size, 2 * size):
        problems.append(f"{label}: bitmap is {width}x{height}, "
                        f"expected {size}x{2 * size} (height doubled for the mask)")
    if bits != 32 or planes != 1:
        problems.append(f"{label}: bitmap has {bits} bits per pixel in {planes} planes, expected 32 in 1")
    if compression != kBiRgb:
        problems.append(f"{label}: bitmap compression {compression}, expected BI_RGB (0)")
    mask_bytes = ((size + 31) // 32) * 4 * size
    expected = kBitmapInfoHeaderBytes + size * size * 4 + mask_bytes
    if len(data) != expected:
        problems.append(f"{label}: {len(data)} bytes, expected {expected} (header, pixels, AND mask)")
    return problems


def IcoFileImages(path):
    """{size: image bytes} of an .ico file."""
    data = path.read_bytes()
    _, _, count = struct.unpack_from("<HHH", data, 0)
    images = {}
    for i in range(count):
        width, _, _, _, _, _, size, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        images[width or 256] = data[offset:offset + size]
    return images


def CheckFormat(image, resources, icon_path):
    problems = []
    if image.magic != kPe32Magic:
        problems.append(f"optional header magic {image.magic:#x}, expected {kPe32Magic:#x} (PE32)")
    if image.machine != kMachineI386:
        problems.append(f"machine {image.machine:#x}, expected {kMachineI386:#x} (i386)")
    if image.magic == kPe32Magic and image.subsystem != kSubsystemWindowsGui:
        problems.append(f"subsystem {image.subsystem}, expected {kSubsystemWindowsGui} (Windows GUI)")
    return problems


def CheckImports(image, resources, icon_path):
    dlls = ImportedDlls(image)
    if not any(dll.upper() == "KERNEL32.DLL" for dll in dlls):
        return [f"imports {dlls}: KERNEL32.dll missing, so the import table was not read right"]
    foreign = [dll for dll in dlls if dll.upper() not in kSystemDlls]
    if foreign:
        return [f"imports DLLs that are not part of Windows: {foreign} (all imports: {dlls})"]
    return []


def CheckIconGroups(image, resources, icon_path):
    groups = [name for name, _ in resources.get(kRtGroupIcon, [])]
    order = [Describe(group) for group in groups]
    problems = []
    if 0 in groups:
        problems.append(f'an icon group has the number 0 where the name "{kAppIconName}" belongs (groups: {order})')
    if groups and groups[0] != kAppIconName:
        problems.append(f'icon group "{kAppIconName}" is not first; the order is {order}')
    for key in (kAppIconName, kMessageIconId):
        _, group_problems = OnlyEnglishData(resources, kRtGroupIcon, key, "icon group")
        problems += [f"{problem} (groups: {order})" for problem in group_problems]
    return problems


def CheckIconImages(image, resources, icon_path):
    problems = []
    for key in (kAppIconName, kMessageIconId):
        images, group_problems = GroupImages(resources, key)
        problems += group_problems
        for size, data in sorted(images.items()):
            problems += DibProblems(f"icon group {Describe(key)}, {size}x{size} image", size, data)
    return problems


def CheckIconSameness(image, resources, icon_path):
    app, problems = GroupImages(resources, kAppIconName)
    message, more = GroupImages(resources, kMessageIconId)
    problems += more
    if problems:
        return problems
    if not icon_path.is_file():
        return [f"{icon_path} does not exist"]
    drawn = IcoFileImages(icon_path)
    for size in kIconSizes:
        if app[size] != message[size]:
            problems.append(f'{size}x{size}: the images of groups "{kAppIconName}" and {kMessageIconId} differ')
        if app[size] != drawn.get(size):
            problems.append(f'{size}x{size}: group "{kAppIconName}" does not hold the image of {icon_path}')
    return problems


def LocalName(element):
    return element.tag.rsplit("}", 1)[-1]


def CheckManifest(image, resources, icon_path):
    manifests = resources.get(kRtManifest, [])
    keys = [name for name, _ in manifests]
    if keys != [kManifestId]:
        return [f"manifest resources {[Describe(k) for k in keys]}, expected exactly id {kManifestId}"]
    data, problems = OnlyEnglishData(resources, kRtManifest, kManifestId, "manifest")
    if data is None:
        return problems
    try:
        root = ElementTree.fromstring(data)
    except ElementTree.ParseError as error:
        return problems + [f"manifest is not well-formed XML: {error}"]
    if root.tag != f"{{{kAsmV1}}}assembly" or root.get("manifestVersion") != "1.0":
        problems.append(f"manifest root is {root.tag} version {root.get('manifestVersion')}, "
                        f"expected an asm.v1 assembly, manifestVersion 1.0")
    levels = [e for e in root.iter() if LocalName(e) == "requestedExecutionLevel"]
    if len(levels) != 1:
        problems.append(f"manifest has {len(levels)} requestedExecutionLevel elements, expected 1")
    for level in levels:
        if level.get("level") != "asInvoker" or level.get("uiAccess") != "false":
            problems.append(f"manifest asks for level={level.get('level')!r} uiAccess={level.get('uiAccess')!r}, "
                            f"expected 'asInvoker' and 'false'")
    identities = [identity for dependent in root.iter() if LocalName(dependent) == "dependentAssembly"
                  for identity in dependent if LocalName(identity) == "assemblyIdentity"]
    if len(identities) != 1:
        names = [identity.get("name") for identity in identities]
        return problems + [f"manifest depends on {names}, expected {kCommonControls['name']} alone"]
    found = identities[0].attrib
    for attribute in sorted(set(found) | set(kCommonControls)):
        if found.get(attribute) != kCommonControls.get(attribute):
            problems.append(f"manifest dependency has {attribute}={found.get(attribute)!r}, "
                            f"expected {kCommonControls.get(attribute)!r}")
    return problems


# Explorer's Properties, Details reads these; the numbers follow the project version.
kFixedFileInfoSignature = 0xFEEF04BD
kFixedFileInfoBytes = 52
kVftApp = 1
kStringTable = "040904B0"
kTranslation = (0x0409, 1200)
kExpectedStrings = {
    "ProductName": "Brelquin",
    "OriginalFilename": "Brelquin.exe",
}
kRequiredStrings = ["FileDescription", "InternalName", "LegalCopyright"]
kVersionTextType = 1


def Align4(offset):
    return (offset + 3) & ~3


def VersionBlock(data, start):
    """One node of a VS_VERSIONINFO tree: (key, value bytes, [children]).

    Each node is its length, its value's length, its type, a NUL-terminated
    UTF-16 key, the value and the children, each part starting on a 4-byte
    boundary counted from the start of the resource."""
    if start + 6 > len(data):
        raise FormatError(f"version block at {start} runs past the resource's {len(data)} bytes")
    length, value_length, value_type = struct.unpack_from("<HHH", data, start)
    end = start + length
    if length < 6 or end > len(data):
        raise FormatError(f"version block at {start} claims {length} bytes of a {len(data)}-byte resource")
    key_end = start + 6
    while key_end + 2 <= end and data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    if key_end + 2 > end:
        raise FormatError(f"version block at {start} has an unterminated key")
    key = data[start + 6:key_end].decode("utf-16-le")
    value_start = Align4(key_end + 2)
    # A text value's length counts UTF-16 characters, any other value's counts bytes.
    value_bytes = value_length * 2 if value_type == kVersionTextType else value_length
    value = data[value_start:min(value_start + value_bytes, end)]
    children = []
    child = Align4(value_start + value_bytes)
    while child < end:
        node = VersionBlock(data, child)
        children.append(node)
        child = Align4(child + struct.unpack_from("<H", data, child)[0])
    return key, value, children


def VersionText(value):
    return value.decode("utf-16-le", "replace").split("\0", 1)[0]


def VersionNumbers(text):
    """"1.2.3" as the four 16-bit numbers of a fixed file version, or None if it is not one."""
    parts = text.split(".")
    if not 1 <= len(parts) <= 4 or not all(part.isdigit() and int(part) <= 0xFFFF for part in parts):
        return None
    return [int(part) for part in parts] + [0] * (4 - len(parts))


def FixedFileInfoProblems(value, numbers):
    if len(value) < kFixedFileInfoBytes:
        return [f"fixed file info of {len(value)} bytes, expected {kFixedFileInfoBytes}"]
    fields = struct.unpack_from("<13I", value, 0)
    if fields[0] != kFixedFileInfoSignature:
        return [f"fixed file info signature {fields[0]:#x}, expected {kFixedFileInfoSignature:#x}"]
    problems = []
    for label, most, least in (("file", fields[2], fields[3]), ("product", fields[4], fields[5])):
        found = [most >> 16, most & 0xFFFF, least >> 16, least & 0xFFFF]
        if found != numbers:
            problems.append(f"fixed {label} version {'.'.join(map(str, found))}, "
                            f"expected {'.'.join(map(str, numbers))}")
    if fields[9] != kVftApp:
        problems.append(f"file type {fields[9]}, expected VFT_APP ({kVftApp})")
    return problems


def StringProblems(tables, version):
    keys = [key for key, _, _ in tables]
    if [key.upper() for key in keys] != [kStringTable]:
        return [f"string tables {keys}, expected exactly {kStringTable} (English (United States), Unicode)"]
    strings = {key: VersionText(value) for key, value, _ in tables[0][2]}
    expected = dict(kExpectedStrings, FileVersion=version, ProductVersion=version)
    problems = []
    for key, text in expected.items():
        if strings.get(key) != text:
            problems.append(f"{key} is {strings.get(key)!r}, expected {text!r}")
    for key in kRequiredStrings:
        if not strings.get(key, "").strip():
            problems.append(f"{key} is missing or empty")
    return problems


def TranslationProblems(variables):
    pairs = [struct.unpack_from(f"<{len(value) // 2}H", value) for key, value, _ in variables
             if key == "Translation"]
    if pairs != [kTranslation]:
        return [f"translations {pairs}, expected exactly [{kTranslation}] (0x409, 1200)"]
    return []


def CheckVersion(image, resources, icon_path, version):
    if version is None:
        return ["no --project-version given, so there is nothing to compare the version resource with"]
    numbers = VersionNumbers(version)
    if numbers is None:
        return [f"project version {version!r} is not one to four numbers of at most 65535"]
    versions = [name for name, _ in resources.get(kRtVersion, [])]
    if versions != [kVersionInfoId]:
        return [f"version resources {[Describe(key) for key in versions]}, expected exactly id {kVersionInfoId}"]
    data, problems = OnlyEnglishData(resources, kRtVersion, kVersionInfoId, "version resource")
    if data is None:
        return problems
    key, value, children = VersionBlock(data, 0)
    if key != "VS_VERSION_INFO":
        return problems + [f"version resource root is {key!r}, expected 'VS_VERSION_INFO'"]
    problems += FixedFileInfoProblems(value, numbers)
    blocks = {name: grandchildren for name, _, grandchildren in children}
    for name in ("StringFileInfo", "VarFileInfo"):
        if name not in blocks:
            problems.append(f"version resource has no {name} block (blocks: {list(blocks)})")
    if "StringFileInfo" in blocks:
        problems += StringProblems(blocks["StringFileInfo"], version)
    if "VarFileInfo" in blocks:
        problems += TranslationProblems(blocks["VarFileInfo"])
    return problems


kChecks = {
    "format": CheckFormat,
    "imports": CheckImports,
    "icon-groups": CheckIconGroups,
    "icon-images": CheckIconImages,
    "icon-sameness": CheckIconSameness,
    "manifest": CheckManifest,
    "version": CheckVersion,
}


def Main():
    parser = argparse.ArgumentParser(description="Checks the built Brelquin.exe.")
    parser.add_argument("--exe", type=Path, required=True, help="the built Brelquin.exe")
    parser.add_argument("--icon", type=Path, required=True, help="res/brelquin.ico, which the exe must carry")
    parser.add_argument("--project-version", help="the build's project version, which the version resource must carry")
    parser.add_argument("checks", nargs="*", metavar="CHECK",
                        help=f"one of {', '.join(kChecks)}; all when none is given")
    args = parser.parse_args()
    unknown = [name for name in args.checks if name not in kChecks]
    if unknown:
        parser.error(f"unknown checks {unknown}; the checks are {', '.join(kChecks)}")

    if not args.exe.is_file():
        print(f"FAIL: {args.exe} does not exist; build the cross configuration first", file=sys.stderr)
        return 1
    try:
        image = PeImage(args.exe.read_bytes())
        resources = Resources(image) if image.magic == kPe32Magic else {}
    except FormatError as error:
        print(f"FAIL: {args.exe} cannot be read as a PE image: {error}", file=sys.stderr)
        return 1

    failed = False
    for name in args.checks or list(kChecks):
        try:
            if name == "version":
                problems = CheckVersion(image, resources, args.icon, args.project_version)
            else:
                problems = kChecks[name](image, resources, args.icon)
        except FormatError as error:
            problems = [f"malformed data: {error}"]
        for problem in problems:
            print(f"FAIL {name}: {problem}", file=sys.stderr)
        if problems:
            failed = True
        else:
            print(f"ok   {name}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(Main())
