#!/usr/bin/env python3
"""Generates the shipped parameter files in data/INI from the SPI part facts.

    scripts/gen_ini.py            rewrite data/INI
    scripts/gen_ini.py --check    exit 1 when data/INI differs from what the table gives

Input: data/spi_flash_parts.tsv (one row per part: IDs, sizes, page program size, erase
sizes, sector layout, notes). Output: FlashROM_Index.ini, one file per manufacturer,
Kavo.ini (controllers' embedded flash and the USB-PD flash), Kavo_Flash_TypeAuto.ini,
Version.ini and PinSet.ini.

Command modes are the ones the Vessa board firmware understands:
  CommandMode_ReadID  0 = RDID 9Fh then REMS 90h, 1 = 9Fh then RES ABh, 2 = 9Fh then Atmel 15h
  CommandMode_Read    0 = READ 03h; 0x80 = embedded-flash read of 128 KB (Save keeps 128 KB)
  CommandMode_Erase   sector / block / chip opcodes: 0 = 20h/D8h/C7h, 1 = D7h/D8h/C7h (PMC),
                      2 = 52h/52h/62h (Atmel AT25F), 0x80 = embedded flash
  CommandMode_Write   0 = page program 02h with PageWriteSize bytes, 1 = byte program 02h,
                      2 = AAI word ADh, 4 = AAI byte AFh, 5 or 0x80 = embedded flash
  EraseType           0 chip, 1 sector (SectorSize), 2 block (D8h per SectorSize step)

A part with a uniform 64 KB block erase is erased in those blocks (EraseType 2, SectorSize
64), the largest uniform unit it has; a part that also has 4 KB sectors says so with
SmallSectorSize=4, so that an image ending in the middle of a block can have its half erased
sector by sector. Boot-sector layouts keep their sector walk.
"""

import csv
import re
import sys
from collections import OrderedDict
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
FACTS = ROOT / "data" / "spi_flash_parts.tsv"
OUT = ROOT / "data" / "INI"

VERSION = "Q-2025.1 (SPI parts: 116)"
KAVO = "Kavo"


def size_text(kbit):
    return f"{kbit // 1024} Mbit" if kbit >= 1024 else f"{kbit} Kbit"


def layout_groups(layout):
    """ "2x4K,1x8K,1x16K,1x32K then 31x64K" -> "04,02,08,01,16,01,32,01,64,31," """
    groups = []
    for count, size in re.findall(r"(\d+)x(\d+)K", layout):
        count, size = int(count), int(size)
        while count > 0:  # two decimal digits per count
            step = min(count, 99)
            groups.append(f"{size:02d},{step:02d},")
            count -= step
    return "".join(groups)


def alt_id(notes):
    """The two ID bytes a part without RDID and REMS answers to RES (ABh) or Atmel 15h."""
    match = re.search(r"= ([0-9A-F]{2}) ([0-9A-F]{2})", notes)
    if match:
        return match.group(1) + match.group(2)
    match = re.search(r"RES \(ABh\) = ([0-9A-F]{2})h", notes)
    if match:  # one-byte RES answer: both reply bytes carry it
        return match.group(1) * 2
    return ""


class Part:
    def __init__(self, row):
        self.row = row
        self.maker = row["manufacturer"]
        self.name = row["part"]
        self.notes = row["notes"]
        self.jedec = row["jedec_mfr"] + row["jedec_type"] + row["jedec_cap"]
        self.rems = row["rems_mfr"] + row["rems_dev"]
        self.kbit = int(row["size_kbit"])
        self.size = int(row["size_bytes"])
        self.page = int(row["page_program_bytes"])
        self.sector_kb = int(row["sector_erase_kb"])
        self.layout = row["erase_layout"]
        self.comments = []
        self.decide()

    def decide(self):
        notes = self.notes.lower()
        # Read ID: REMS gives the older key of parts without RDID; the rest answer RES or 15h.
        if self.jedec or self.rems:
            self.read_id = 0
        elif "opcode 15h" in notes:
            self.read_id = 2
        else:
            self.read_id = 1

        self.erase_mode, self.erase_type, self.sector = 0, 1, 4
        self.sector_offset = "0"
        if self.layout.startswith("D8h block map"):
            self.comments.append("4 KB sectors are uniform (20h); only D8h follows the block map")
        elif "parameter area" in notes:
            self.erase_type, self.sector = 2, 64
            self.comments.append("20h erases only inside the parameter area: erase by D8h blocks")
        elif self.layout != "uniform":
            self.erase_type, self.sector = 2, 64
            self.sector_offset = layout_groups(self.layout)
            self.comments.append("D8h erases one sector of the boot-sector layout")
        elif "chip erase is 62h" in notes:
            self.erase_mode, self.sector = 2, self.sector_kb
        elif "4 kb erase is d7h" in notes:
            self.erase_mode = 1
        elif self.sector_kb != 4:
            self.erase_type, self.sector = 2, min(self.sector_kb, 64)
            if self.sector_kb > 64:
                self.comments.append(
                    f"D8h erases {self.sector_kb} KB: each 64 KB step erases the whole sector")

        if self.page >= 16:
            self.write_mode, self.page_size = 0, min(self.page, 256)
        elif self.page == 2:
            self.write_mode, self.page_size = 2, 1
        else:
            self.write_mode, self.page_size = (4 if "aai" in notes else 1), 1

        blocks_kb = [int(kb) for kb in self.row["block_erase_kb"].split("/")]
        self.small_sector = 0
        if self.layout == "uniform" and 64 in blocks_kb:
            if self.sector == 4 and self.erase_type == 1:
                self.small_sector = 4
            if (self.erase_type, self.sector) != (2, 64):
                self.erase_type, self.sector = 2, 64
                self.comments.append("erased in 64 KB blocks, the largest uniform erase unit")

        self.flashblock = self.size // 65536
        layout_units = [int(size) for size in re.findall(r"\d+x(\d+)K", self.layout)]
        self.smallest_unit_kb = min([self.sector_kb] + layout_units)
        self.id_text = self.jedec or self.rems or alt_id(self.notes)

    def lookup_keys(self):
        """Keys the automatic typing forms for this part (see the lookup-key rule)."""
        if self.jedec and self.row["jedec_mfr"] != self.row["jedec_cap"]:
            keys = [self.jedec]
            if "0eh" in self.notes.lower() and self.row["jedec_mfr"] == "5E":
                keys.append("0E" + self.jedec[2:])  # the manufacturer byte flashrom gives
            return keys
        if self.rems:
            return [self.rems]
        key = alt_id(self.notes)
        return [key] if key else []

    def section(self):
        lines = [f"; {c}" for c in self.comments]
        lines += [
            f"[{self.name}]",
            "PIN=8 (SOP8)",
            f"Vcc={self.row['voltage']} V",
            f"Vccp={self.row['voltage']} V",
            "Vpp=None",
            f"Size={size_text(self.kbit)}",
            f"MIDDID={self.id_text}",
            f"ReadID_CommandMode={self.read_id}",
            "Read_CommandMode=0",
            f"Erase_CommandMode={self.erase_mode}",
            f"Write_CommandMode={self.write_mode}",
            f"PageWriteSize={self.page_size}",
            f"EraseType={self.erase_type}",
            f"SectorSize={self.sector}",
            f"Flashblock={self.flashblock}",
            f"SectorOffset={self.sector_offset}",
        ]
        if self.small_sector:
            lines.append(f"SmallSectorSize={self.small_sector}")
        return lines


# Embedded flash of the controllers (sized again by the identification) and the USB-PD flash.
KAVO_DEVICES = [
    ("eFlash 64KB", "64 KB", 1, "5"),
    ("eFlash 128KB", "128 KB", 2, "5"),
    ("eFlash 192KB", "192 KB", 3, "5"),
    ("eFlash 256KB", "256 KB", 4, "5"),
    ("eFlash 512KB", "512 KB", 8, "5"),
    ("eFlash 1MB", "1 MB", 16, "5"),
    ("eFlash 128KB Mode80", "128 KB", 2, "0x80"),
    ("USB-PD eFlash", "64 KB", 1, "5"),
]


def kavo_sections():
    lines = ["; Embedded flash: written through the debugger, erased in 1 KB sectors"]
    for name, size, blocks, write_mode in KAVO_DEVICES:
        lines += [
            f"[{name}]",
            "PIN=Internal",
            "Vcc=3.3 V",
            "Vccp=3.3 V",
            "Vpp=None",
            f"Size={size}",
            "MIDDID=Embedded",
            "ReadID_CommandMode=0",
            # 0x80 is the 128 KB embedded-flash read: Save cuts or pads a read in that
            # mode to 128 KB, so the other sizes read in the plain mode.
            f"Read_CommandMode={'0x80' if blocks == 2 else '0'}",
            "Erase_CommandMode=0x80",
            f"Write_CommandMode={write_mode}",
            "PageWriteSize=256",
            "EraseType=1",
            "SectorSize=1",
            f"Flashblock={blocks}",
            "SectorOffset=0",
        ]
    return lines


def pin_sets():
    sets = [
        ("01,02,03,04,05,06,07,08,09,10,11,12,13,14,15,", "Default"),
        ("16,17,18,19,20,21,22,23,24,25,26,27,28,29,30,", "KQ8 EVB"),
        ("15,14,13,12,11,10,09,08,07,06,05,04,03,02,01,", "Reversed"),
    ]
    lines = ["[SetNum]", f"Num={len(sets)}", "[PinSet]"]
    lines += [f"{i}={pins}{name}" for i, (pins, name) in enumerate(sets)]
    return lines


# Shared keys where the part with the smallest erase unit would not erase every part that
# answers the key: the key goes to the part named here instead, for the reason given.
SHARED_KEY_CHOICE = {
    "204014": ("M45PE80", "XM25QH80B's 4 KB erase (20h) does nothing on M45PE80, "
               "while D8h erases 64 KB on both"),
}


def sector_starts(part):
    """Start addresses (KB) of the sectors the part's erase walk hits."""
    if part.sector_offset == "0":
        return set(range(0, part.size // 1024, part.sector))
    starts, at = set(), 0
    for group in re.findall(r"(\d\d),(\d\d),", part.sector_offset):
        size, count = int(group[0]), int(group[1])
        for _ in range(count):
            starts.add(at)
            at += size
    return starts


def union_layout(sharing):
    """A layout with a sector start wherever any of the parts has one, so that one D8h per
    sector erases every sector of each of them."""
    total = sharing[0].size // 1024
    starts = sorted(set().union(*(sector_starts(p) for p in sharing))) + [total]
    runs = []
    for begin, end in zip(starts, starts[1:]):
        if runs and runs[-1][0] == end - begin:
            runs[-1][1] += 1
        else:
            runs.append([end - begin, 1])
    groups = []
    for size, count in runs:
        while count > 0:
            step = min(count, 99)
            groups.append(f"{size:02d},{step:02d},")
            count -= step
    return "".join(groups)


class SharedPart(Part):
    """One description for parts that answer the same key but have different boot-sector
    layouts: erased by D8h at every sector start of any of them."""

    def __init__(self, key, sharing):
        base = min(sharing, key=lambda p: p.smallest_unit_kb)
        super().__init__(base.row)
        assert all(p.size == base.size for p in sharing)
        self.name = "/".join(p.name for p in sharing)
        self.id_text = key
        self.erase_mode, self.erase_type, self.sector = 0, 2, 64
        self.sector_offset = union_layout(sharing)
        self.comments = [f"One description for the parts that answer {key}: D8h erases "
                         "each sector of any of their layouts"]


def choose(key, sharing, by_name):
    """The description a lookup key leads to, and the comment line that says why."""
    if len(sharing) == 1:
        return sharing[0], None
    if key in SHARED_KEY_CHOICE:
        name, why = SHARED_KEY_CHOICE[key]
        chosen = by_name[name]
        others = ", ".join(p.name for p in sharing if p is not chosen)
        return chosen, f"; {key} is shared with {others}: mapped to {chosen.name}, as {why}"
    if len({p.sector_offset for p in sharing}) > 1 and any(
            p.sector_offset != "0" for p in sharing):
        chosen = SharedPart(key, sharing)
        return chosen, (f"; {key} is answered by parts with different boot sectors: mapped to "
                        f"{chosen.name}, which erases each of them")
    chosen = min(sharing, key=lambda p: p.smallest_unit_kb)  # first of equals stays first
    others = ", ".join(p.name for p in sharing if p is not chosen)
    return chosen, f"; {key} is shared with {others}: mapped to {chosen.name}, the smallest erase unit"


def build():
    with FACTS.open(newline="") as f:
        parts = [Part(row) for row in csv.DictReader(f, delimiter="\t")]

    # Several parts may answer the same key; the key goes to the one with the smallest erase
    # unit, which erases no more than intended on any of them, unless that one cannot erase
    # all of them (see SHARED_KEY_CHOICE and SharedPart).
    by_key = OrderedDict()
    for part in parts:
        for key in part.lookup_keys():
            by_key.setdefault(key, []).append(part)
    by_name = {p.name: p for p in parts}
    auto = ["; Flash auto-typing table: JEDEC key (6 hex digits) or older ID key (4 digits)"]
    shared_parts = []
    for key, sharing in by_key.items():
        chosen, comment = choose(key, sharing, by_name)
        if isinstance(chosen, SharedPart):
            shared_parts.append(chosen)
        if comment:
            auto.append(comment)
        auto += [f"[{key}]", f"Manufacturer={chosen.maker}", f"NAME={chosen.name}"]
    auto += ["; USB-PD targets answer FF FF FE", "[FFFFFE]", f"Manufacturer={KAVO}",
             "NAME=USB-PD eFlash"]

    files = OrderedDict()
    makers = OrderedDict()
    for part in parts + shared_parts:
        makers.setdefault(part.maker, []).append(part)
    for maker, members in makers.items():
        lines = [f"; {maker} SPI flash parts, generated by scripts/gen_ini.py"]
        for part in members:
            lines += part.section()
        files[f"{maker}.ini"] = lines
    files[f"{KAVO}.ini"] = kavo_sections()

    index = ["[Index]"] + [f"{i + 1}={m}" for i, m in enumerate(list(makers) + [KAVO])]
    files["FlashROM_Index.ini"] = index

    files["Kavo_Flash_TypeAuto.ini"] = auto

    files["Version.ini"] = ["[Parameter]", f"VERSION={VERSION}"]
    files["PinSet.ini"] = pin_sets()
    return {name: "".join(line + "\r\n" for line in lines) for name, lines in files.items()}


def main():
    files = build()
    if "--check" in sys.argv[1:]:
        stale = [n for n, text in files.items()
                 if not (OUT / n).exists() or (OUT / n).read_bytes() != text.encode()]
        extra = [p.name for p in OUT.glob("*.ini") if p.name not in files]
        for name in stale + extra:
            print(f"data/INI/{name} differs from scripts/gen_ini.py's output", file=sys.stderr)
        return 1 if stale or extra else 0
    OUT.mkdir(parents=True, exist_ok=True)
    for old in OUT.glob("*.ini"):
        if old.name not in files:
            old.unlink()
    for name, text in files.items():
        (OUT / name).write_bytes(text.encode())
    print(f"wrote {len(files)} files to {OUT.relative_to(ROOT)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
