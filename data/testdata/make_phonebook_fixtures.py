#!/usr/bin/env python3
"""Writes the phonebook fixtures of data/exchange_files_test.cpp and data/phonebook_file_io_test.cpp.

The bytes come from the file layouts alone (user-information line, column headers, row forms,
tags and line ends), written out here independently of the code under test. The tables the
tests fill are described in SPEED_DIAL, EXTENSIONS and TEMPLATES; the time is fixed at
2024-03-05 09:07. Speed-dial files are 10000 rows long, so they are kept as a head (through row
0009) and a tail (from row 9990); the tests fill the rows between with the empty-row text.

Run from this folder: python3 make_phonebook_fixtures.py
"""

TIME = "202403050907"
DATE = "20240305"
FIELDS = ["ﾃｽﾄｼｮｳｼﾞ 本社", "ZU-FIELD-2", "0312345678", "ABC123", "ﾎﾟｰﾄﾗﾝﾄﾞ", "備考欄: ﾃｽﾄ"]
WIDTHS = [24, 24, 16, 6, 24, 72]


def cp(text):
    return text.encode("cp932")


def padded(text, width):
    b = cp(text)
    return b + b" " * (width - len(b))


def user_line():
    f = [padded(t, w) for t, w in zip(FIELDS, WIDTHS)]
    line = (cp(TIME) + b"," + f[0] + b"," + f[1] + b"," + f[2] + f[3] + b"  ," + f[4] + b"," + f[5]
            + b",    \r\n")
    assert len(line) == 192
    return line


H7 = cp("短縮番号,電話番号,名前,ヨミガナ,用途,短縮G,外線G")
H10 = cp("短縮番号,電話番号,名前,ヨミガナ,用途,短縮G,外線G,表示モード,定型文1,定型文2")
HEXT = cp("収容位置,内線番号,内線名称,ヨミガナ")
HTPL = cp("項番,付加情報定型文")

# entry: (number, name, reading, use, group, line group, display mode, template 1, template 2)
SPEED_DIAL = {
    0: ("03-1234-5678P9", "東京本社", "ﾄｳｷｮｳﾎﾝｼｬ", "1", "05", 2, 3, 10, 11),
    1: ("*#0123456789PM-", "ABC", "ABC", "101", "01", 0, 0, 0, 0),
    9999: ("0120999999", "最後", "ｻｲｺﾞ", "8", "30", 6, 1, 0, 0),
}


def speed_dial_row(n, ten):
    number, name, reading, use, group, line, mode, t1, t2 = SPEED_DIAL.get(
        n, ("", "", "", "0", "01", 0, 0, 0, 0))
    row = cp("%04d,%s,%s,%s,%s,%s,%d" % (n, number, name, reading, use, group, line))
    if ten:
        row += cp(",%d,%03d,%03d" % (mode, t1, t2))
    return row


def write(name, data):
    with open(name, "wb") as f:
        f.write(data)


def speed_dial_fixtures():
    for ten, stem in ((True, "sys-tanf"), (False, "sys-tan")):
        rows = [speed_dial_row(n, ten) for n in range(10000)]
        # exchange file
        head = user_line() + (H10 if ten else H7) + b"\r\n" + b"".join(r + b"\r\n" for r in rows[:10])
        tail = b"".join(r + b"\r\n" for r in rows[9990:])
        write("exchange_%s.head" % stem, head)
        write("exchange_%s.tail" % stem, tail)
        # tagged file (.zud8 / .zud3)
        element = b"systanf" if ten else b"systan"
        tagged_head = tagged_open(element) + b"".join(r + b",\r" for r in rows[:10])
        tagged_tail = (b"".join(r + b",\r" for r in rows[9990:9999]) + rows[9999] + b"\r"
                       + b"</" + element + b">\r\n</root>")
        write("tagged_%s.head" % ("zud8" if ten else "zud3"), tagged_head)
        write("tagged_%s.tail" % ("zud8" if ten else "zud3"), tagged_tail)
        # upload blocks: the first block's head and the last block's tail
        block_open = b"<root>\n\n<" + element + b">\n\n"
        write("block_%s0000.head" % stem, block_open + b"".join(r + b",\n\n" for r in rows[:10]))
        write("block_%s0000.tail" % stem,
              b"".join(r + b",\n\n" for r in rows[490:500]) + b"</" + element + b">\n\n</root>\n")
        write("block_%s9500.tail" % stem,
              b"".join(r + b",\n\n" for r in rows[9990:]) + b"</" + element + b">\n\n</root>")


def tagged_open(element):
    return (b'<?xml version="1.0" encoding="Shift_JIS"?>\r\n<root>\r\n<CHECK>\r\n' + cp(DATE)
            + b"\r\n</CHECK>\r\n<USER>\r\n" + user_line() + b"</USER>\r\n<" + element + b">\r\n")


def extension_positions():
    ranges = [(101, 160), (201, 256), (301, 356), (401, 456), (601, 616), (700, 715), (720, 725),
              (730, 745), (750, 754), (761, 765), (770, 774), (781, 782), (791, 791), (821, 821),
              (831, 846)]
    out = []
    for a, b in ranges:
        out.extend(range(a, b + 1))
    assert len(out) == 317
    return out


def extension_defaults():
    d = {}
    for a, b in ((101, 160), (201, 256), (301, 356), (401, 456)):
        for p in range(a, b + 1):
            d[p] = (str(p), "", "")
    d[700] = ("700", "内線一斉", "ﾅｲｾﾝｲｯｾｲ")
    for i in range(1, 16):
        d[700 + i] = (str(700 + i), "内G%02d呼" % i, "ﾅｲG%02dﾖﾋﾞ" % i)
    d[720] = ("720", "ｽﾋﾟｰｶ呼", "ｽﾋﾟｰｶﾖﾋﾞ")
    for i in range(1, 5):
        d[720 + i] = (str(720 + i), "ｽﾋﾟｰｶ%d呼" % i, "ｽﾋﾟｰｶ%dﾖﾋﾞ" % i)
    d[725] = ("725", "ｽﾋﾟｰｶ+一斉", "ｽﾋﾟｰｶ+ｲｯｾｲ")
    d[730] = ("730", "一斉応答", "ｲｯｾｲｵｳﾄｳ")
    for i in range(1, 16):
        d[730 + i] = (str(730 + i), "内G%02d応答" % i, "ﾅｲG%02dｵｳﾄｳ" % i)
    d[750] = ("750", "ｽﾋﾟｰｶ応答", "ｽﾋﾟｰｶｵｳﾄｳ")
    for i in range(1, 5):
        d[750 + i] = (str(750 + i), "ｽﾋﾟｰｶ%d応答" % i, "ｽﾋﾟｰｶ%dｵｳﾄｳ" % i)
    for i, c in enumerate("ABCDE"):
        d[761 + i] = (str(761 + i), "ﾄﾞｱﾎﾝ" + c, "ﾄﾞｱﾎﾝ" + c)
    d[770] = ("", "ｶﾒﾗID切替", "ｶﾒﾗIDｷﾘｶｴ")
    d[771] = ("", "TELﾓﾆﾀ", "TELﾓﾆﾀ")
    d[772] = ("", "TELﾓﾆﾀ送話", "TELﾓﾆﾀｿｳﾜ")
    d[773] = ("", "INTGﾓﾆﾀ", "INTGﾓﾆﾀ")
    d[774] = ("", "INT全ﾓﾆﾀ", "INTｾﾞﾝﾓﾆﾀ")
    d[781] = ("781", "ｼｽﾃﾑﾒｯｾｰｼﾞ", "ｼｽﾃﾑﾒｯｾｰｼﾞ")
    d[782] = ("782", "内線ﾒｯｾｰｼﾞ", "ﾅｲｾﾝﾒｯｾｰｼﾞ")
    d[791] = ("791", "ﾋﾞﾃﾞｵ会議", "ﾋﾞﾃﾞｵｶｲｷﾞ")
    d[821] = ("", "ｻｰﾊﾞ発信1", "ｻｰﾊﾞﾊｯｼﾝ1")
    for i in range(1, 17):
        d[830 + i] = ("", "VMU同報%02d" % i, "VMUﾄﾞｳﾎｳ%02d" % i)
    return d


# What the tests store over the defaults.
EXTENSIONS = {101: ("1001", "総務部", "ｿｳﾑﾌﾞ"), 616: ("*9", "ﾄﾞｱ", "ﾄﾞｱ")}


def extension_rows():
    d = extension_defaults()
    d.update(EXTENSIONS)
    rows = []
    for p in extension_positions():
        number, name, reading = d.get(p, ("", "", ""))
        rows.append(cp("%03d,%s,%s,%s" % (p, number, name, reading)))
    return rows


def extension_fixtures():
    rows = extension_rows()
    write("exchange_naisen.txt", user_line() + HEXT + b"\r\n" + b"".join(r + b"\r\n" for r in rows))
    write("tagged_zud4.zud4",
          tagged_open(b"naisen") + b"".join(r + b",\n" for r in rows) + b"</naisen>\r\n</root>")
    names = ["naisen101.txt", "naisen151.txt", "naisen241.txt", "naisen335.txt", "naisen429.txt"]
    cuts = [0, 51, 101, 151, 201, len(rows)]
    for i, name in enumerate(names):
        body = b"".join(r + b",\n" for r in rows[cuts[i]:cuts[i + 1]])
        write("block_" + name, b"<root>\n\n<naisen>\n\n" + body + b"</naisen>\n\n</root>\n")


TEMPLATES = {1: "お世話になります", 2: "TEL@ｶﾞｲｼｭﾂ", 999: "最後の定型文"}


def template_fixtures():
    rows = [cp("%03d,%s" % (i, TEMPLATES.get(i, ""))) for i in range(1, 1000)]
    write("exchange_usertkbn.txt", user_line() + HTPL + b"\r\n" + b"".join(r + b"\r\n" for r in rows))
    at_rows = b"".join(r.replace(b",", b"@") + b"\r" for r in rows)
    write("tagged_zud9.zud9", tagged_open(b"m046") + at_rows + b"</m046>\r\n</root>")
    write("block_usertkbn.txt", b"<root>\r\n<m046>\r\n" + at_rows + b"</m046>\r\n</root>")


if __name__ == "__main__":
    speed_dial_fixtures()
    extension_fixtures()
    template_fixtures()
