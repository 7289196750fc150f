#!/usr/bin/env python3
"""Reads every PE file in a folder as Windows' loader would and checks what Wine forgives:
the manifest sits under the resource id the loader reads (1 for a program, 2 for a DLL)
and parses as XML; its assemblyIdentity names the image's own architecture and the
version of the image's version resource; only devhost.exe asks for common controls 6;
devhost.exe is a GUI program; nothing shipped carries DWARF, and each binary links to its
debug file.
    tests/windows/pe_audit.py FOLDER
Prints one line per file and a line per problem; exits 1 when there is any."""
import os
import struct
import sys
import xml.etree.ElementTree as ElementTree

RT_VERSION, RT_MANIFEST = 16, 24
MACHINE_ARCHITECTURE = {0x014C: "x86", 0x8664: "amd64", 0xAA64: "arm64"}
SUBSYSTEM_GUI = 2
IMAGE_FILE_DLL = 0x2000
ASM = "{urn:schemas-microsoft-com:asm.v1}"
COMMON_CONTROLS = "Microsoft.Windows.Common-Controls"
# The one program that asks for version 6 of the common controls; the module uses the
# host's, and the stand-in libraries create no controls.
COMMON_CONTROLS_USERS = {"devhost.exe"}
GUI_PROGRAMS = {"devhost.exe"}


class Image:
    """The headers, sections and resources of one PE file."""

    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        self.machine, section_count, _, symbols, symbol_count, optional_size, characteristics = struct.unpack_from(
            "<HHIIIHH", data, pe + 4)
        # Names longer than 8 bytes (.eh_frame, .debug_info ...) are "/offset" into the
        # string table after the COFF symbols.
        strings = symbols + 18 * symbol_count
        self.is_dll = bool(characteristics & IMAGE_FILE_DLL)
        optional = pe + 24
        magic = struct.unpack_from("<H", data, optional)[0]
        self.subsystem = struct.unpack_from("<H", data, optional + 68)[0]
        directories = optional + (96 if magic == 0x10B else 112)
        self.resource_rva = struct.unpack_from("<I", data, directories + 2 * 8)[0]
        self.sections = []
        table = optional + optional_size
        for i in range(section_count):
            raw = data[table + 40 * i:table + 40 * i + 40]
            name = raw[:8].rstrip(b"\0").decode("latin-1")
            if name.startswith("/") and symbols:
                start = strings + int(name[1:])
                name = data[start:data.index(b"\0", start)].decode("latin-1")
            virtual_size, rva, raw_size, raw_offset = struct.unpack_from("<IIII", raw, 8)
            self.sections.append((name, rva, max(virtual_size, raw_size), raw_offset))

    def offset(self, rva):
        for _, start, size, raw_offset in self.sections:
            if start <= rva < start + size:
                return raw_offset + rva - start
        raise ValueError("address 0x%x is in no section" % rva)

    def section_names(self):
        return [name for name, _, _, _ in self.sections]

    def resources(self, kind):
        """{id: bytes} of every resource of one type (every language)."""
        found = {}
        if self.resource_rva == 0:
            return found
        root = self.offset(self.resource_rva)
        for type_id, type_dir in self._entries(root, root):
            if type_id != kind:
                continue
            for name_id, name_dir in self._entries(root, type_dir):
                for _, leaf in self._entries(root, name_dir):
                    rva, size = struct.unpack_from("<II", self.data, leaf)
                    found[name_id] = self.data[self.offset(rva):self.offset(rva) + size]
        return found

    def _entries(self, root, directory):
        named, numbered = struct.unpack_from("<HH", self.data, directory + 12)
        for i in range(named + numbered):
            ident, target = struct.unpack_from("<II", self.data, directory + 16 + 8 * i)
            yield (None if ident & 0x80000000 else ident), root + (target & 0x7FFFFFFF)


def fixed_file_version(block):
    """The file version of a VS_VERSIONINFO block, as a.b.c.d."""
    at = block.find(struct.pack("<I", 0xFEEF04BD))
    if at < 0:
        return None
    most, least = struct.unpack_from("<II", block, at + 8)
    return "%d.%d.%d.%d" % (most >> 16, most & 0xFFFF, least >> 16, least & 0xFFFF)


def audit(name, image):
    problems = []
    manifests = image.resources(RT_MANIFEST)
    wanted_id = 2 if image.is_dll else 1
    if list(manifests) != [wanted_id]:
        problems.append("manifest resource ids %s, the loader reads only %d" % (sorted(manifests), wanted_id))
    versions = [fixed_file_version(block) for block in image.resources(RT_VERSION).values()]
    if len(versions) != 1 or versions[0] is None:
        problems.append("%d version resources" % len(versions))
    file_version = versions[0] if versions else None
    for text in manifests.values():
        try:
            assembly = ElementTree.fromstring(text)
        except ElementTree.ParseError as error:
            problems.append("manifest is not XML: %s" % error)
            continue
        identity = assembly.find(ASM + "assemblyIdentity")
        if assembly.tag != ASM + "assembly" or identity is None:
            problems.append("manifest has no assembly identity")
            continue
        architecture = identity.get("processorArchitecture")
        machine = MACHINE_ARCHITECTURE.get(image.machine, "machine 0x%x" % image.machine)
        if architecture != machine:
            problems.append("manifest says %s, the image is %s" % (architecture, machine))
        if identity.get("version") != file_version:
            problems.append("manifest version %s, version resource %s" % (identity.get("version"), file_version))
        dependencies = [d.get("name") for d in assembly.iter(ASM + "assemblyIdentity") if d is not identity]
        if (COMMON_CONTROLS in dependencies) != (name in COMMON_CONTROLS_USERS):
            problems.append("depends on %s" % (dependencies or "nothing"))
    if name in GUI_PROGRAMS and image.subsystem != SUBSYSTEM_GUI:
        problems.append("subsystem %d, not the GUI's %d" % (image.subsystem, SUBSYSTEM_GUI))
    dwarf = [section for section in image.section_names() if section.startswith(".debug")]
    if dwarf:
        problems.append("not stripped: %d debug sections" % len(dwarf))
    if ".gnu_debuglink" not in image.section_names():
        problems.append("no link to its debug file")
    return file_version, problems


def main(folder):
    failed = False
    names = sorted(os.listdir(folder))
    images = 0
    for name in names:
        with open(os.path.join(folder, name), "rb") as file:
            data = file.read()
        if data[:2] != b"MZ":
            continue
        images += 1
        try:
            image = Image(data)
            version, problems = audit(name, image)
            print("%s: %s %s, version %s" % (name, MACHINE_ARCHITECTURE.get(image.machine, "?"),
                                             "DLL" if image.is_dll else "program", version))
        except (ValueError, struct.error) as error:
            print("%s: unreadable" % name)
            problems = [str(error)]
        for problem in problems:
            print("  %s: %s" % (name, problem))
        failed = failed or bool(problems)
    if images == 0:
        print("no PE files in %s" % folder)
        failed = True
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
