#!/usr/bin/env python3
"""Write the code mapping tables: the two sorted arrays and their dense forms.

src/convert/mapping_tables.cpp holds the two sorted arrays that the binary
searches read. src/convert/mapping_tables_dense.cpp holds the same content
indexed directly, for the converters' fast road: a two-level table from code
point to Shift_JIS code and a table from Shift_JIS key to the UTF-8 bytes of
its code point. Both files are written in one run from the same records, so
they cannot drift apart.

The base mapping is Shift_JIS-2004 (JIS X 0213:2004, both planes) as
Python's own `shift_jis_2004` codec decodes it. Every single byte and every
lead/trail pair is decoded; nothing is taken from the encoder, whose choices
for shared code points differ from ours. On top of the base the tables give
seven symbol codes their code page 932 values, map two more to fullwidth
forms, add the NEC row 13 codes and give 0x5C a second record.

Standard library only, so it runs on any build host.

usage: gen_tables.py [TABLES [DENSE]]
    TABLES  default: src/convert/mapping_tables.cpp
    DENSE   default: mapping_tables_dense.cpp in the directory of TABLES
"""

import os
import sys

# Base values the tables rely on. The codec agrees with all of them; they
# are forced anyway so that a different codec build cannot move them.
NAMED_BASE = {
    0x8150: 0xFFE3, 0x815C: 0x2015, 0x818F: 0xFFE5, 0x8190: 0xFF04,
    0x81AF: 0xFF0D, 0x81B0: 0x007E, 0x81D2: 0x2225,
    0x815F: 0x005C, 0x8160: 0x301C, 0x8161: 0x2016, 0x817C: 0x2212,
    0x8191: 0x00A2, 0x8192: 0x00A3, 0x81CA: 0x00AC, 0x81D4: 0x2985,
    0x81D5: 0x2986,
    # the ten characters added by the 2004 edition, and 0xFC5A
    0x879F: 0x4FF1, 0x889E: 0x525D, 0x9873: 0x20B9F, 0x989E: 0x541E,
    0xEAA5: 0x5653, 0xEFF8: 0x59F8, 0xEFF9: 0x5C5B, 0xEFFA: 0x5E77,
    0xEFFB: 0x7626, 0xEFFC: 0x7E6B, 0xFC5A: 0x9B1C,
}

# Code page 932 values that replace the base value of a code.
CP932_VALUES = {
    0x815F: 0xFF3C, 0x8160: 0xFF5E, 0x8161: 0x2225, 0x817C: 0xFF0D,
    0x8191: 0xFFE0, 0x8192: 0xFFE1, 0x81CA: 0xFFE2, 0x81D4: 0xFF5F,
    0x81D5: 0xFF60,
}

# NEC row 13 codes that code page 932 has and JIS X 0213 leaves empty.
NEC_ROW13 = {
    0x8790: 0x2252, 0x8791: 0x2261, 0x8792: 0x222B, 0x8794: 0x2211,
    0x8795: 0x221A, 0x8796: 0x22A5, 0x8797: 0x2220, 0x879A: 0x2235,
    0x879B: 0x2229, 0x879C: 0x222A,
}

# Second code points for a code that already has one (Unicode direction).
EXTRA_SOURCES = {
    0x00A2: 0x8191, 0x00A3: 0x8192, 0x00AC: 0x81CA, 0x2014: 0x815C,
    0x2016: 0x8161, 0x2212: 0x817C, 0x301C: 0x8160,
}

LEAD_BYTES = list(range(0x81, 0xA0)) + list(range(0xE0, 0xFD))
TRAIL_BYTES = list(range(0x40, 0x7F)) + list(range(0x80, 0xFD))
SINGLE_BYTES = list(range(0x00, 0x80)) + list(range(0xA1, 0xE0))


def decode(raw):
    """The code points of one Shift_JIS-2004 code, or None if unassigned."""
    try:
        text = raw.decode("shift_jis_2004")
    except UnicodeDecodeError:
        return None
    return [ord(ch) for ch in text]


def read_base():
    """Every assigned code with its one or two code points."""
    base = {}
    for b in SINGLE_BYTES:
        cps = decode(bytes([b]))
        if cps is not None:
            base[b] = cps
    for lead in LEAD_BYTES:
        for trail in TRAIL_BYTES:
            cps = decode(bytes([lead, trail]))
            if cps is not None:
                base[lead << 8 | trail] = cps
    for code, cp in NAMED_BASE.items():
        base[code] = [cp]
    # JIS X 0201 Roman in the single-byte range
    base[0x5C] = [0x00A5]
    base[0x7E] = [0x203E]
    return base


def build_sjis_table(base):
    """(sjis, unicode) records ordered by code; 0x5C has two records."""
    single = {code: cps[0] for code, cps in base.items() if len(cps) == 1}
    single.update(CP932_VALUES)
    for code in NEC_ROW13:
        assert code not in single, hex(code)
    single.update(NEC_ROW13)
    records = [(0x5C, 0x005C)] + sorted(single.items())
    records.sort(key=lambda r: r[0])  # stable: (0x5C, U+005C) stays first
    return records


def build_unicode_table(sjis_records):
    """(sjis, unicode) records ordered by code point, each code point once."""
    preferred = set(CP932_VALUES) | set(NEC_ROW13)
    by_cp = {}
    for code, cp in sjis_records:
        if cp not in by_cp:
            by_cp[cp] = code
        elif code in preferred:
            by_cp[cp] = code
        elif by_cp[cp] in preferred or cp == 0x005C or cp == 0x00A5:
            pass
        else:
            raise SystemExit("code point U+%04X has two codes" % cp)
    # U+005C is reached only from the single byte 0x5C, never from 0x815F.
    by_cp[0x005C] = 0x5C
    for cp, code in EXTRA_SOURCES.items():
        assert cp not in by_cp, hex(cp)
        by_cp[cp] = code
    return sorted(((code, cp) for cp, code in by_cp.items()),
                  key=lambda r: r[1])


def write_table(out, name, records):
    out.append("const MappingRecord %s[%d] = {\n" % (name, len(records)))
    for i in range(0, len(records), 4):
        row = records[i:i + 4]
        out.append("   " + "".join(" {0x%04X, 0x%05X}," % r for r in row)
                   + "\n")
    out.append("};\n")
    out.append("const int %sCount = %d;\n\n" % (name, len(records)))


# Dense forms. Code points are indexed below DENSE_CODE_POINT_END in blocks of
# DENSE_BLOCK; both numbers are also fixed in src/convert/dense_tables.h.
DENSE_CODE_POINT_END = 0x30000
DENSE_BLOCK = 64
NO_SJIS = 0xFFFF


def packed_utf8(c):
    """The UTF-8 bytes of c, chosen by which bits are in use as the
    converter does it, packed from the low byte up."""
    if c & 0x1F0000:
        seq = [0xF0 | (c >> 18 & 0x07), 0x80 | (c >> 12 & 0x3F),
               0x80 | (c >> 6 & 0x3F), 0x80 | (c & 0x3F)]
    elif c & 0xF800:
        seq = [0xE0 | (c >> 12 & 0x0F), 0x80 | (c >> 6 & 0x3F),
               0x80 | (c & 0x3F)]
    elif c & 0x780:
        seq = [0xC0 | (c >> 6 & 0x1F), 0x80 | (c & 0x3F)]
    else:
        seq = [c]
    return sum(b << (8 * i) for i, b in enumerate(seq))


def build_dense_sjis(tbl):
    """Blocks of Shift_JIS codes by code point, shared where equal; block 0
    has no code at all."""
    by_cp = {cp: code for code, cp in tbl}
    if max(by_cp) >= DENSE_CODE_POINT_END:
        raise SystemExit("a code point lies beyond the dense index")
    empty = (NO_SJIS,) * DENSE_BLOCK
    blocks = [empty]
    first_user = [None]
    number = {empty: 0}
    index = []
    for start in range(0, DENSE_CODE_POINT_END, DENSE_BLOCK):
        block = tuple(by_cp.get(cp, NO_SJIS)
                      for cp in range(start, start + DENSE_BLOCK))
        if block not in number:
            number[block] = len(blocks)
            blocks.append(block)
            first_user.append(start)
        index.append(number[block])
    return index, blocks, first_user


def build_bmp_bytes(tbl):
    """The Shift_JIS code of each code point from U+0020 to U+FFFF with its
    bytes in the order they are written, the first byte lowest. The table
    serves characters of two and three bytes of UTF-8, and a control
    character in such a longer form has no code."""
    flat = [NO_SJIS] * 0x10000
    for code, cp in tbl:
        if 0x20 <= cp < 0x10000:
            flat[cp] = code if code < 0x100 else (code & 0xFF) << 8 | code >> 8
    return flat


def build_dense_utf8(tbl2):
    """Packed UTF-8 bytes by Shift_JIS key: one array for single-byte keys,
    one row of 256 trail bytes per lead byte that has codes (row 0 is
    empty)."""
    # Later records win: for 0x5C the lookup finds U+00A5, not U+005C.
    by_code = {}
    for code, cp in tbl2:
        by_code[code] = cp
    assert by_code[0x5C] == 0x00A5
    single = [packed_utf8(by_code[b]) if b in by_code else 0
              for b in range(0x100)]
    row_of_lead = [0] * 0x100
    rows = [[0] * 0x100]
    for lead in range(0x01, 0x100):
        row = [packed_utf8(by_code[lead << 8 | t]) if lead << 8 | t in by_code
               else 0 for t in range(0x100)]
        if any(row):
            row_of_lead[lead] = len(rows)
            rows.append(row)
    return single, row_of_lead, rows


def write_numbers(out, values, per_line, fmt):
    for i in range(0, len(values), per_line):
        out.append("   " + "".join(" " + fmt % v + "," for v in
                                   values[i:i + per_line]) + "\n")


def generate_dense(tbl, tbl2):
    index, blocks, first_user = build_dense_sjis(tbl)
    single, row_of_lead, rows = build_dense_utf8(tbl2)
    if len(blocks) > 0x10000 or len(rows) > 0x100:
        raise SystemExit("dense tables too large for their index types")
    out = [
        "// Dense forms of the code mapping tables, for the converters' fast"
        " road.\n",
        "//\n",
        "// generator: tools/gen_tables.py, from the same records as"
        " mapping_tables.cpp\n",
        "// generated; do not edit; regenerate with"
        " `cmake --build <dir> --target tables`\n",
        "// or `python3 tools/gen_tables.py`, which writes both files.\n",
        "\n",
        "// clang-format off\n",
        '#include "convert/dense_tables.h"\n',
        "\n",
        "namespace kawase {\n",
        "\n",
        "// Block of each run of %d code points below U+%05X.\n"
        % (DENSE_BLOCK, DENSE_CODE_POINT_END),
        "const uint16_t denseSjisIndex[%d] = {\n" % len(index),
    ]
    write_numbers(out, index, 16, "%3d")
    out.append("};\n\n")
    out.append("// Shift_JIS code of each code point, 0x%04X for none; block 0"
               " has none at all.\n" % NO_SJIS)
    out.append("const uint16_t denseSjisBlocks[%d][%d] = {\n"
               % (len(blocks), DENSE_BLOCK))
    for n, block in enumerate(blocks):
        label = "none" if n == 0 else "first U+%04X" % first_user[n]
        out.append("    {  // %d: %s\n" % (n, label))
        write_numbers(out, list(block), 8, "0x%04X")
        out.append("    },\n")
    out.append("};\n\n")
    out.append("// Shift_JIS bytes of each code point below U+10000 as they are"
               " written, the first\n// byte lowest; 0x%04X for none and for the"
               " controls below U+0020.\n" % NO_SJIS)
    out.append("const uint16_t denseSjisBmpBytes[0x10000] = {\n")
    write_numbers(out, build_bmp_bytes(tbl), 8, "0x%04X")
    out.append("};\n\n")
    out.append("// UTF-8 bytes of each single-byte key, packed from the low"
               " byte up; 0 for none.\n")
    out.append("const uint32_t denseUtf8Single[256] = {\n")
    write_numbers(out, single, 8, "0x%08X")
    out.append("};\n\n")
    out.append("// Row of each lead byte in denseUtf8Rows; row 0 has no codes."
               "\n")
    out.append("const uint8_t denseUtf8Row[256] = {\n")
    write_numbers(out, row_of_lead, 16, "%2d")
    out.append("};\n\n")
    out.append("// UTF-8 bytes of each two-byte key by its trail byte, packed"
               " from the low byte up; 0 for none.\n")
    out.append("const uint32_t denseUtf8Rows[%d][256] = {\n" % len(rows))
    for n, row in enumerate(rows):
        lead = row_of_lead.index(n) if n else None
        label = "none" if n == 0 else "lead byte 0x%02X" % lead
        out.append("    {  // %d: %s\n" % (n, label))
        write_numbers(out, row, 8, "0x%08X")
        out.append("    },\n")
    out.append("};\n\n")
    out.append("}  // namespace kawase\n")
    return "".join(out)


def generate():
    base = read_base()
    tbl2 = build_sjis_table(base)
    tbl = build_unicode_table(tbl2)
    if len(tbl) != 11406 or len(tbl2) != 11410:
        raise SystemExit("unexpected record counts %d/%d"
                         % (len(tbl), len(tbl2)))
    out = [
        "// Code mapping tables: Shift_JIS-2004 with code page 932 symbols.\n",
        "//\n",
        "// generator: tools/gen_tables.py\n",
        "// source:    Python's `shift_jis_2004` codec"
        " (JIS X 0213:2004), decoded code by code\n",
        "// generated; do not edit; regenerate with"
        " `cmake --build <dir> --target tables`\n",
        "// or `python3 tools/gen_tables.py src/convert/mapping_tables.cpp`.\n",
        "\n",
        "// clang-format off\n",
        '#include "convert/tables.h"\n',
        "\n",
        "namespace kawase {\n",
        "\n",
        "// Ordered by code point, strictly ascending.\n",
    ]
    write_table(out, "unicodeTbl", tbl)
    out.append("// Ordered by Shift_JIS code; 0x5C has two records.\n")
    write_table(out, "unicodeTbl2", tbl2)
    out.append("}  // namespace kawase\n")
    return "".join(out), generate_dense(tbl, tbl2)


def write_file(path, text):
    with open(path, "w", encoding="ascii", newline="\n") as f:
        f.write(text)


def main():
    if len(sys.argv) > 3:
        sys.exit(__doc__)
    here = os.path.dirname(os.path.abspath(__file__))
    default = os.path.join(here, "..", "src", "convert", "mapping_tables.cpp")
    path = sys.argv[1] if len(sys.argv) > 1 else default
    dense_path = sys.argv[2] if len(sys.argv) > 2 else os.path.join(
        os.path.dirname(path), "mapping_tables_dense.cpp")
    tables, dense = generate()
    write_file(path, tables)
    write_file(dense_path, dense)


if __name__ == "__main__":
    main()
