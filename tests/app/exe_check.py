"""Reads the built Quillet.exe or Quillet64.exe (path in QUILLET_EXE, architecture x86 or x64 in
QUILLET_ARCH) and checks its import table, its resources and where its debug information is."""
import os
import struct
import unittest
import zlib
import xml.etree.ElementTree as ElementTree

RT_CURSOR, RT_DIALOG, RT_GROUP_CURSOR, RT_VERSION, RT_MANIFEST = 1, 5, 12, 16, 24
RT_ICON, RT_MENU, RT_ACCELERATOR, RT_GROUP_ICON = 3, 4, 9, 14

SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "shell32.dll", "advapi32.dll",
               "comctl32.dll", "psapi.dll", "ntdll.dll", "ole32.dll", "shlwapi.dll",
               "msvcrt.dll", "version.dll"}


# What differs between the two builds: machine, optional header magic, file name, manifest
# architecture.
ARCHITECTURES = {
    "x86": (0x14C, 0x10B, "Quillet.exe", "x86"),
    "x64": (0x8664, 0x20B, "Quillet64.exe", "amd64"),
}
MACHINE, MAGIC, FILE_NAME, MANIFEST_ARCH = ARCHITECTURES[os.environ.get("QUILLET_ARCH", "x86")]


class PeImage:
    """The few parts of a PE file that the checks need."""

    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a PE file")
        machine, sections, _, symbols, symbol_count, optional_size, self.characteristics = \
            struct.unpack_from("<HHIIIHH", data, pe + 4)
        # Names longer than eight characters are "/offset" into the string table after the
        # symbols.
        strings = symbols + 18 * symbol_count
        self.machine = machine
        optional = pe + 24
        self.magic, = struct.unpack_from("<H", data, optional)
        self.subsystem, = struct.unpack_from("<H", data, optional + 68)
        directories = optional + (96 if self.magic == 0x10B else 112)
        self.directories = [struct.unpack_from("<II", data, directories + 8 * i)
                            for i in range(16)]
        self.sections = []
        self.named_sections = {}
        table = optional + optional_size
        for i in range(sections):
            name = data[table + 40 * i:table + 40 * i + 8].rstrip(b"\0").decode("ascii")
            if name.startswith("/") and symbols != 0:
                at = strings + int(name[1:])
                name = data[at:data.index(b"\0", at)].decode("ascii")
            virtual_size, rva, raw_size, raw_offset = struct.unpack_from(
                "<IIII", data, table + 40 * i + 8)
            self.sections.append((rva, max(virtual_size, raw_size), raw_offset))
            self.named_sections[name] = data[raw_offset:raw_offset + raw_size]

    def offset(self, rva):
        for start, size, raw in self.sections:
            if start <= rva < start + size:
                return raw + rva - start
        raise ValueError(f"RVA {rva:#x} outside every section")

    def c_string(self, rva):
        at = self.offset(rva)
        return self.data[at:self.data.index(b"\0", at)].decode("ascii")

    def imported_dlls(self):
        rva, _ = self.directories[1]
        names = []
        at = self.offset(rva)
        while True:
            lookup, _, _, name, thunks = struct.unpack_from("<IIIII", self.data, at)
            if lookup == 0 and name == 0 and thunks == 0:
                return names
            names.append(self.c_string(name))
            at += 20

    def resources(self):
        """{(type, name): {language: bytes}} for every resource, names as numbers or strings."""
        rva, _ = self.directories[2]
        base = self.offset(rva)
        found = {}

        def entries(directory):
            named, numbered = struct.unpack_from("<HH", self.data, base + directory + 12)
            for i in range(named + numbered):
                name, target = struct.unpack_from("<II", self.data, base + directory + 16 + 8 * i)
                if name & 0x80000000:
                    at = base + (name & 0x7FFFFFFF)
                    length, = struct.unpack_from("<H", self.data, at)
                    name = self.data[at + 2:at + 2 + 2 * length].decode("utf-16-le")
                yield name, target

        for type_id, type_dir in entries(0):
            for name, name_dir in entries(type_dir & 0x7FFFFFFF):
                for language, leaf in entries(name_dir & 0x7FFFFFFF):
                    data_rva, size = struct.unpack_from("<II", self.data, base + leaf)
                    at = self.offset(data_rva)
                    found.setdefault((type_id, name), {})[language] = self.data[at:at + size]
        return found


def load():
    with open(os.environ["QUILLET_EXE"], "rb") as exe:
        return PeImage(exe.read())


def read_sz_or_ord(data, at):
    """A dialog template's name-or-ordinal field; returns (value, next offset)."""
    first, = struct.unpack_from("<H", data, at)
    if first == 0:
        return None, at + 2
    if first == 0xFFFF:
        return struct.unpack_from("<H", data, at + 2)[0], at + 4
    end = at
    while struct.unpack_from("<H", data, end)[0] != 0:
        end += 2
    return data[at:end].decode("utf-16-le"), end + 2


def align4(at):
    return (at + 3) & ~3


def parse_dialog_ex(data):
    version, signature, help_id, ex_style, style, count, x, y, cx, cy = struct.unpack_from(
        "<HHIIIHhhhh", data, 0)
    dialog = {"version": version, "signature": signature, "help": help_id, "exstyle": ex_style,
              "style": style, "rect": (x, y, cx, cy)}
    at = 26
    dialog["menu"], at = read_sz_or_ord(data, at)
    dialog["class"], at = read_sz_or_ord(data, at)
    dialog["caption"], at = read_sz_or_ord(data, at)
    points, weight, italic, charset = struct.unpack_from("<HHBB", data, at)
    dialog["font"] = (points, weight, italic, charset)
    dialog["typeface"], at = read_sz_or_ord(data, at + 6)
    items = []
    for _ in range(count):
        at = align4(at)
        help_id, ex_style, style, x, y, cx, cy, control_id = struct.unpack_from(
            "<IIIhhhhI", data, at)
        at += 24
        control_class, at = read_sz_or_ord(data, at)
        text, at = read_sz_or_ord(data, at)
        extra, = struct.unpack_from("<H", data, at)
        at += 2 + extra
        items.append({"id": control_id, "class": control_class, "text": text, "style": style,
                      "exstyle": ex_style, "rect": (x, y, cx, cy)})
    dialog["items"] = items
    return dialog


def version_strings(data):
    """The StringFileInfo tables and the VarFileInfo translation of a version resource."""
    tables = {}
    translation = None

    def header(at):
        length, value_length, kind = struct.unpack_from("<HHH", data, at)
        end = at + 6
        while struct.unpack_from("<H", data, end)[0] != 0:
            end += 2
        key = data[at + 6:end].decode("utf-16-le")
        return length, value_length, kind, key, align4(end + 2)

    length, value_length, _, key, at = header(0)
    assert key == "VS_VERSION_INFO"
    fixed = struct.unpack_from("<13I", data, at)
    at = align4(at + value_length)
    while at < length:
        block_length, _, _, block_key, inner = header(at)
        block_end = at + block_length
        if block_key == "StringFileInfo":
            while inner < block_end:
                table_length, _, _, language, entry = header(inner)
                strings = {}
                while entry < inner + table_length:
                    entry_length, characters, _, name, value_at = header(entry)
                    value = data[value_at:value_at + 2 * characters].decode("utf-16-le")
                    strings[name] = value.rstrip("\0")
                    entry = align4(entry + entry_length)
                tables[language] = strings
                inner = align4(inner + table_length)
        elif block_key == "VarFileInfo":
            _, var_length, _, _, value_at = header(inner)
            translation = struct.unpack_from(f"<{var_length // 2}H", data, value_at)
        at = align4(block_end)
    return fixed, tables, translation


class Imports(unittest.TestCase):
    def test_only_system_dlls_are_imported(self):
        image = load()
        self.assertEqual((image.machine, image.magic), (MACHINE, MAGIC))
        self.assertEqual(image.subsystem, 2)    # Windows GUI
        dlls = {name.lower() for name in image.imported_dlls()}
        self.assertTrue({"kernel32.dll", "user32.dll", "gdi32.dll", "shell32.dll",
                         "advapi32.dll"} <= dlls, dlls)
        self.assertEqual(dlls - SYSTEM_DLLS, set())


class DebugInformation(unittest.TestCase):
    """The program a user copies carries no debug information: it lies beside it in a file of
    its own, which the program names with a checksum, as debuggers look for it."""

    def test_debug_information_is_beside_the_program_and_linked(self):
        image = load()
        names = set(image.named_sections)
        self.assertEqual({name for name in names if name.startswith(".debug")}, set(), names)
        self.assertIn(".gnu_debuglink", names)
        link = image.named_sections[".gnu_debuglink"]
        debug_name = link[:link.index(b"\0")].decode("ascii")
        self.assertEqual(debug_name, os.path.basename(os.environ["QUILLET_EXE"]) + ".debug")
        checksum, = struct.unpack_from("<I", link, align4(len(debug_name) + 1))
        debug_path = os.path.join(os.path.dirname(os.environ["QUILLET_EXE"]), debug_name)
        with open(debug_path, "rb") as debug:
            debug_data = debug.read()
        self.assertEqual(zlib.crc32(debug_data), checksum)
        self.assertIn(".debug_info", PeImage(debug_data).named_sections)


class Resources(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.resources = load().resources()

    def single(self, kind, name):
        languages = self.resources.get((kind, name))
        self.assertIsNotNone(languages, f"resource {kind}/{name} missing")
        self.assertEqual(list(languages), [0x0400])
        return languages[0x0400]

    def test_dialog_template(self):
        dialog = parse_dialog_ex(self.single(RT_DIALOG, 101))
        self.assertEqual((dialog["version"], dialog["signature"]), (1, 0xFFFF))
        self.assertEqual(dialog["style"], 0x82CC0840)
        self.assertEqual(dialog["exstyle"], 0)
        self.assertEqual(dialog["rect"], (0, 0, 309, 236))
        self.assertIsNone(dialog["menu"])
        self.assertIsNone(dialog["class"])
        self.assertEqual(dialog["caption"], "Quillet")
        self.assertEqual(dialog["font"], (8, 400, 0, 0))
        self.assertEqual(dialog["typeface"], "Courier New")
        classes = {0x80: "BUTTON", 0x81: "EDIT", 0x82: "STATIC"}
        items = [dict(item, **{"class": classes.get(item["class"], str(item["class"]).upper())})
                 for item in dialog["items"]]
        self.assertEqual(items, [
            {"id": 1001, "class": "EDIT", "text": None, "style": 0x50B10084, "exstyle": 0,
             "rect": (7, 30, 295, 199)},
            {"id": 1002, "class": "STATIC", "text": 102, "style": 0x50000003,
             "exstyle": 0x00020000, "rect": (7, 7, 20, 20)},
            {"id": 1003, "class": "STATIC",
             "text": "Drag the crosshair over a window to select it", "style": 0x5002000C,
             "exstyle": 0, "rect": (31, 7, 227, 21)},
            {"id": 1004, "class": "BUTTON", "text": None, "style": 0x50010040, "exstyle": 0,
             "rect": (270, 7, 17, 16)},
        ])

    def test_crosshair_cursor(self):
        group = self.single(RT_GROUP_CURSOR, 102)
        reserved, kind, count = struct.unpack_from("<HHH", group, 0)
        self.assertEqual((reserved, kind, count), (0, 2, 1))
        width, height, _, _, size, image_id = struct.unpack_from("<HHHHIH", group, 6)
        # The directory's height counts the colour and the mask rows; its bit count is left to
        # the resource compiler, the image's own header below is what counts.
        self.assertEqual((width, height), (32, 64))
        image = self.single(RT_CURSOR, image_id)
        self.assertEqual(len(image), size)
        hot_x, hot_y, header_size, bmp_width, bmp_height, bmp_planes, bmp_bits = \
            struct.unpack_from("<HHIiiHH", image, 0)
        self.assertEqual((hot_x, hot_y), (16, 16))
        self.assertEqual((header_size, bmp_width, bmp_height, bmp_planes, bmp_bits),
                         (40, 32, 64, 1, 32))
        # 32-bit colour with alpha: some pixels opaque, some transparent.
        alpha = image[4 + 40 + 3:4 + 40 + 32 * 32 * 4:4]
        self.assertIn(255, alpha)
        self.assertIn(0, alpha)
        # The mark is symmetric about the hot spot: the opaque pixels mirror at x = 16, y = 16.
        opaque = {(i % 32, 31 - i // 32) for i, a in enumerate(alpha) if a}
        self.assertEqual({(32 - x, y) for x, y in opaque if x > 0},
                         {(x, y) for x, y in opaque if x > 0})
        self.assertEqual({(x, 32 - y) for x, y in opaque if y > 0},
                         {(x, y) for x, y in opaque if y > 0})
        self.assertIn((16, 16), opaque)

    def test_manifest(self):
        root = ElementTree.fromstring(self.single(RT_MANIFEST, 1))
        own = root.find("{urn:schemas-microsoft-com:asm.v1}assemblyIdentity")
        self.assertEqual(own.get("processorArchitecture"), MANIFEST_ARCH)
        level = root.find(".//{urn:schemas-microsoft-com:asm.v3}requestedExecutionLevel")
        self.assertEqual((level.get("level"), level.get("uiAccess")), ("asInvoker", "false"))
        supported = {os_id.get("Id") for os_id in root.iter(
            "{urn:schemas-microsoft-com:compatibility.v1}supportedOS")}
        self.assertEqual(supported, {
            "{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
            "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
            "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"})
        dependency = root.find("{urn:schemas-microsoft-com:asm.v1}dependency//"
                               "{urn:schemas-microsoft-com:asm.v1}assemblyIdentity")
        self.assertEqual((dependency.get("name"), dependency.get("version"),
                          dependency.get("processorArchitecture")),
                         ("Microsoft.Windows.Common-Controls", "6.0.0.0", MANIFEST_ARCH))
        self.assertFalse([e for e in root.iter() if "dpi" in e.tag.lower()])

    def test_version_record(self):
        fixed, tables, translation = version_strings(self.single(RT_VERSION, 1))
        signature, _, file_ms, file_ls, product_ms, product_ls, _, flags, file_os, file_type = \
            fixed[:10]
        self.assertEqual(signature, 0xFEEF04BD)
        self.assertEqual((file_ms, file_ls, product_ms, product_ls),
                         (0x00010004, 0, 0x00010004, 0))
        self.assertEqual((flags, file_os, file_type), (0, 0x00040004, 1))
        self.assertEqual(list(tables), ["040004b0"] if "040004b0" in tables else ["040004B0"])
        strings = next(iter(tables.values()))
        self.assertEqual(strings["ProductName"], "Quillet")
        self.assertEqual(strings["InternalName"], FILE_NAME)
        self.assertEqual(strings["OriginalFilename"], FILE_NAME)
        self.assertTrue(strings["FileDescription"])
        self.assertEqual(translation, (0x0400, 1200))

    def test_nothing_else(self):
        kinds = {kind for kind, _ in self.resources}
        self.assertEqual(kinds, {RT_CURSOR, RT_GROUP_CURSOR, RT_DIALOG, RT_VERSION, RT_MANIFEST})


if __name__ == "__main__":
    unittest.main()
