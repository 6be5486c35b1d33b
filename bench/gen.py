#!/usr/bin/env python3
"""Deterministic workload generator for bench/run.sh.

  gen.py plain BYTES [OUT]      plain CR LF text of about BYTES bytes
                                (to stdout when OUT is missing or '-')
  gen.py all SCALE DIR          every workload of the benchmark into DIR

Every file is a pure function of its arguments (fixed seeds), so two runs
write the same bytes. Nothing here is random at run time.
"""

import os
import random
import sys

SEED = 0x5EED7

# Plain text that VELDRAN copies unchanged and that m4 -P passes through
# unchanged: no '%' (a command for VELDRAN), no quote characters ` and ',
# no '#' (m4 comments), no '$', no '_' (so no m4_ prefixed word can form).
ALPHABET = (
    "abcdefghijklmnopqrstuvwxyz" * 3
    + "ABCDEFGHIJKLMNOPQRSTUVWXYZ"
    + "0123456789"
    + "          "
    + ".,;:!?()-+=*/<>[]{}&|~^"
)
HIGH = bytes([0x81, 0x84, 0x94, 0xE1]).decode("latin-1")  # CP850 umlauts, sharp s


def make_pool(rng, count):
    """`count` distinct-ish lines of mixed length, without line ends."""
    pool = []
    for _ in range(count):
        r = rng.random()
        if r < 0.05:
            n = 0
        elif r < 0.15:
            n = rng.randint(1, 19)
        elif r < 0.75:
            n = rng.randint(20, 99)
        else:
            n = rng.randint(100, 200)
        chars = rng.choices(ALPHABET, k=n)
        if n > 10 and rng.random() < 0.1:
            chars[rng.randrange(n)] = rng.choice(HIGH)
        pool.append("".join(chars).encode("latin-1"))
    return pool


def plain_lines(total_bytes):
    """Yields lists of lines (without CR LF) until about total_bytes bytes
    (line ends included) have been produced. The stream for a smaller size
    is a prefix of the stream for a larger one."""
    rng = random.Random(SEED)
    pool = make_pool(rng, 1 << 15)
    produced = 0
    while produced < total_bytes:
        idx = rng.choices(range(len(pool)), k=50000)
        chunk = []
        for i in idx:
            line = pool[i]
            chunk.append(line)
            produced += len(line) + 2
            if produced >= total_bytes:
                break
        yield chunk


def write_plain(total_bytes, out):
    for chunk in plain_lines(total_bytes):
        out.write(b"\r\n".join(chunk) + b"\r\n")


def write_plain_percent(total_bytes, inp, expected):
    """W1b: the plain stream with a doubled '%' in every tenth line; the
    expected output (and m4's input) has a single '%' there."""
    n = 0
    for chunk in plain_lines(total_bytes):
        a, b = [], []
        for line in chunk:
            if n % 10 == 9:
                p = len(line) // 2
                a.append(line[:p] + b"%%" + line[p:])
                b.append(line[:p] + b"%" + line[p:])
            else:
                a.append(line)
                b.append(line)
            n += 1
        inp.write(b"\r\n".join(a) + b"\r\n")
        expected.write(b"\r\n".join(b) + b"\r\n")


def crlf(lines):
    return "".join(l + "\r\n" for l in lines).encode("latin-1")


M4_FORLOOP = """m4_define(`forloop', `m4_ifelse(m4_eval(`($2) <= ($3)'), `1',
  `m4_pushdef(`$1')_$0(`$1', m4_eval(`$2'), m4_eval(`$3'), `$4')m4_popdef(`$1')')')
m4_define(`_forloop',
  `m4_define(`$1', `$2')$4`'m4_ifelse(`$2', `$3', `',
    `$0(`$1', m4_incr(`$2'), `$3', `$4')')')
"""

TAILS = [
    "|rest of the line",
    "|stock level checked",
    "|shipped on time",
    "|see page 12 (notes)",
    "|",
    "|total after tax, rounded",
]
TEXTS = ["abcdefgh", "ijklmnop", "Quarterly", "r\x84ume"]


def gen_w2(lines, d):
    """W2: every line has an INT(5) of an expression over two variables, a
    TEXT(2,3) and a TAB."""
    v = ["%SET XA=37;", "%SET XB=1234;"]
    m = ["m4_define(`XA', 37)m4_dnl", "m4_define(`XB', 1234)m4_dnl"]
    for i, t in enumerate(TEXTS):
        v.append("%%DEFT XT%d:%s" % (i, t))
        m.append("m4_define(`XT%d', `%s')m4_dnl" % (i, t))
    with open(os.path.join(d, "w2.inp"), "wb") as fv, open(
        os.path.join(d, "w2.m4"), "wb"
    ) as fm:
        fv.write(crlf(v))
        fm.write(b"".join(s.encode("latin-1") + b"\n" for s in m))
        bv, bm = [], []
        for i in range(1, lines + 1):
            k = i % 1000
            t = i % 4
            tail = TAILS[i % len(TAILS)]
            bv.append(
                "L%07d %%INT(5):XA*%d+XB; %%TEXT(2,3):XT%d;%%TAB:40;%s"
                % (i, k, t, tail)
            )
            bm.append(
                "m4_format(`%%-39s', `L%07d 'm4_format(`%%05d', m4_eval(XA*%d+XB))` 'm4_substr(XT%d, 1, 3))%s"
                % (i, k, t, tail)
            )
            if len(bv) == 10000 or i == lines:
                fv.write(crlf(bv))
                fm.write(crlf(bm))
                bv, bm = [], []


def gen_w3(passes, d):
    """W3: a counted repeat whose body SETs a counter, tests it with IIF,
    calls a macro with a MINT and an MTEXT argument and writes a line with
    INT. The MTEXT argument is one byte: argument texts stay in the 1 MiB
    storage area for the whole run, so 10^6 calls leave room for one byte
    each and no more."""
    v = [
        "%SET N=0;",
        "%MACRO:ROW(MINT:V,MTEXT:S)",
        "%TEXT:S;:%INT(8):V*7;",
        "%MEND",
        "%%RPTN %d;" % passes,
        "%SET N=N+1;",
        "%IIF EQ N&3;quad %INT:N;",
        "%ROW(N+1,%INT(1):N;)",
        "line %INT(7):N;",
        "%REND",
    ]
    with open(os.path.join(d, "w3.inp"), "wb") as f:
        f.write(crlf(v))
    m = (
        "m4_divert(-1)\n"
        + M4_FORLOOP
        + "m4_define(`XN', 0)\n"
        + "m4_define(`ROW', `$2:m4_format(`%08d', m4_eval(($1)*7))\r\n')\n"
        + "m4_divert(0)m4_dnl\n"
        + "forloop(`i', 1, %d, `m4_define(`XN', m4_incr(XN))" % passes
        + "m4_ifelse(m4_eval(XN&3), 0, `quad XN\r\n')"
        + "ROW(m4_eval(XN+1), m4_eval(XN%10))"
        + "line m4_format(`%07d', XN)\r\n')m4_dnl\n"
    )
    with open(os.path.join(d, "w3.m4"), "wb") as f:
        f.write(m.encode("latin-1"))


def gen_w4(includes, d):
    """W4: INCLUDE of a small file, `includes` times."""
    inc = [
        "begin of included block %INT(5):XC;",
        "%SET XC=XC+1;",
        "some plain text inside the small file, line two",
        "%TEXT:XT;%TAB:30;end",
        "",
    ]
    inc_m4 = (
        "begin of included block m4_format(`%05d', XC)\r\n"
        "m4_define(`XC', m4_incr(XC))m4_dnl\n"
        "some plain text inside the small file, line two\r\n"
        "m4_format(`%-29s', XT)end\r\n"
        "\r\n"
    )
    with open(os.path.join(d, "w4inc.inp"), "wb") as f:
        f.write(crlf(inc))
    with open(os.path.join(d, "w4inc.m4"), "wb") as f:
        f.write(inc_m4.encode("latin-1"))
    with open(os.path.join(d, "w4.inp"), "wb") as f:
        f.write(crlf(["%SET XC=0;", "%DEFT XT:block text"]))
        f.write(crlf(["%INCLUDE:w4inc.inp"] * includes))
    with open(os.path.join(d, "w4.m4"), "wb") as f:
        f.write(b"m4_define(`XC', 0)m4_dnl\nm4_define(`XT', `block text')m4_dnl\n")
        f.write(b"m4_include(`w4inc.m4')m4_dnl\n" * includes)


def write_file(d, name, data):
    with open(os.path.join(d, name), "wb") as f:
        f.write(data)


def gen_s(d):
    """S: a 10-line template of the kind a build runs once per generated
    file (SETs, a DEFT, an INT, a TEXT, an IIF, plain lines), its m4
    equivalent and the expected output."""
    major, minor, name = 2, 14, "libwidget"
    v = [
        "%%SET MAJOR=%d;" % major,
        "%%SET MINOR=%d;" % minor,
        "%%DEFT NAME:%s" % name,
        "[package]",
        "name = %TEXT:NAME;",
        "version = %INT:MAJOR;.%INT:MINOR;",
        "build = %INT(6):MAJOR*1000+MINOR;",
        "%IIF GT MINOR-10;streams = enabled",
        "license = see COPYING",
        "[end]",
    ]
    m = [
        "m4_define(`MAJOR', %d)m4_dnl" % major,
        "m4_define(`MINOR', %d)m4_dnl" % minor,
        "m4_define(`NAME', `%s')m4_dnl" % name,
        "[package]",
        "name = NAME",
        "version = MAJOR.MINOR",
        "build = m4_format(`%06d', m4_eval(MAJOR*1000+MINOR))",
        "m4_ifelse(m4_eval(MINOR-10>0), 1, `streams = enabled",
        "')m4_dnl",
        "license = see COPYING",
        "[end]",
    ]
    expected = ["[package]", "name = " + name, "version = %d.%d" % (major, minor),
                "build = %06d" % (major * 1000 + minor)]
    if minor > 10:
        expected.append("streams = enabled")
    expected += ["license = see COPYING", "[end]"]
    write_file(d, "s.inp", crlf(v))
    write_file(d, "s.m4", crlf(m))
    write_file(d, "s.expected", crlf(expected))


# C: the code generator of examples/codegen.inp with long lists. EXECUTE
# keeps the lists in numbered variables, and each field is declared and
# printed by the macro named after its type.
C_MACROS = r"""%SET COLORS=0;
%MACRO:COLOR(MTEXT:NAME)
%SET COLORS=COLORS+1;
%EXECUTE:%%DEFT COLOR%INT:COLORS;:%TEXT:NAME;
%MEND
%SET FIELDS=0;
%MACRO:FIELD(MTEXT:TYPE,MTEXT:NAME)
%SET FIELDS=FIELDS+1;
%EXECUTE:%%DEFT FTYPE%INT:FIELDS;:%TEXT:TYPE;
%EXECUTE:%%DEFT FNAME%INT:FIELDS;:%TEXT:NAME;
%MEND
%MACRO:DECL_INT(MTEXT:NAME)
    long %TEXT:NAME;;
%MEND
%MACRO:DECL_TEXT(MTEXT:NAME)
    char %TEXT:NAME;[32];
%MEND
%MACRO:PRINT_INT(MTEXT:NAME)
    printf("%TEXT:NAME;=%%ld\n", r->%TEXT:NAME;);
%MEND
%MACRO:PRINT_TEXT(MTEXT:NAME)
    printf("%TEXT:NAME;=%%s\n", r->%TEXT:NAME;);
%MEND
%MACRO:EACHFIELD(MTEXT:PREFIX)
%MSET I=0;
%RPTN FIELDS;
%MSET I=I+1;
%EXECUTE:%%MDEFT T:%%TEXT:FTYPE%INT:I;;
%EXECUTE:%%MDEFT N:%%TEXT:FNAME%INT:I;;
%EXECUTE:%%%TEXT:PREFIX;_%TEXT:T;(%TEXT:N;)
%REND
%MEND"""

C_CODE = r"""/* Generated from the item lists - do not edit. */
#include <stdio.h>

enum color {
%SET I=0;
%RPTN COLORS;
%SET I=I+1;
%EXECUTE:    color_%%TEXT:COLOR%INT:I;; = %INT:I-1;,
%REND
    color_count = %INT:COLORS;
};

static const char *const color_names[%INT:COLORS;] = {
%SET I=0;
%RPTN COLORS;
%SET I=I+1;
%EXECUTE:    "%%TEXT:COLOR%INT:I;;",
%REND
};

struct record {
%EACHFIELD(DECL)
};

void print_record(const struct record *r) {
%EACHFIELD(PRINT)
}"""

# The m4 equivalent: numbered macros hold the lists, forloop stands for
# RPTN, and m4_indir calls the macro named after a field's type. Every line
# end becomes CR LF; m4_dnl drops its CR LF whole.
C_M4_MACROS = r"""m4_define(`COLORS', 0)
m4_define(`COLOR', `m4_define(`COLORS', m4_incr(COLORS))m4_define(`COLOR'COLORS, `$1')')
m4_define(`FIELDS', 0)
m4_define(`FIELD', `m4_define(`FIELDS', m4_incr(FIELDS))m4_define(`FTYPE'FIELDS, `$1')m4_define(`FNAME'FIELDS, `$2')')
m4_define(`DECL_int', `    long $1;
')
m4_define(`DECL_text', `    char $1[32];
')
m4_define(`PRINT_int', `    printf("$1=%ld\n", r->$1);
')
m4_define(`PRINT_text', `    printf("$1=%s\n", r->$1);
')
m4_define(`EACHFIELD', `forloop(`I', 1, FIELDS, `m4_indir(`$1_'m4_defn(`FTYPE'I), m4_defn(`FNAME'I))')')
"""

C_M4_CODE = r"""/* Generated from the item lists - do not edit. */
#include <stdio.h>

enum color {
forloop(`I', 1, COLORS, `    color_`'m4_defn(`COLOR'I) = m4_eval(I-1),
')m4_dnl
    color_count = COLORS
};

static const char *const color_names[COLORS] = {
forloop(`I', 1, COLORS, `    "m4_defn(`COLOR'I)",
')m4_dnl
};

struct record {
EACHFIELD(`DECL')m4_dnl
};

void print_record(const struct record *r) {
EACHFIELD(`PRINT')m4_dnl
}
"""

COLOR_WORDS = ["red", "green", "blue", "dark_grey", "amber", "teal", "ivory", "navy_blue"]
FIELD_KINDS = [("int", "id"), ("text", "label"), ("int", "quantity"), ("text", "owner"),
               ("int", "price_cents")]


def c_items(items):
    """The two lists of the C workload, `items` entries together: colour
    names, and fields as (type, name)."""
    ncolors = items // 2
    colors = ["%s_%d" % (COLOR_WORDS[i % len(COLOR_WORDS)], i) for i in range(1, ncolors + 1)]
    fields = [(FIELD_KINDS[i % len(FIELD_KINDS)][0],
               "%s_%d" % (FIELD_KINDS[i % len(FIELD_KINDS)][1], i))
              for i in range(1, items - ncolors + 1)]
    return colors, fields


def c_expected(colors, fields):
    """The C code that both templates generate from the lists."""
    decl = {"int": "    long %s;", "text": "    char %s[32];"}
    fmt = {"int": "%ld", "text": "%s"}
    out = ["/* Generated from the item lists - do not edit. */", "#include <stdio.h>", "",
           "enum color {"]
    out += ["    color_%s = %d," % (c, i) for i, c in enumerate(colors)]
    out += ["    color_count = %d" % len(colors), "};", "",
            "static const char *const color_names[%d] = {" % len(colors)]
    out += ['    "%s",' % c for c in colors]
    out += ["};", "", "struct record {"]
    out += [decl[t] % n for t, n in fields]
    out += ["};", "", "void print_record(const struct record *r) {"]
    out += ['    printf("%s=%s\\n", r->%s);' % (n, fmt[t], n) for t, n in fields]
    out += ["}"]
    return out


def gen_c(items, d):
    """C: the code generator with `items` list entries, its m4 equivalent
    and the expected output."""
    colors, fields = c_items(items)
    v = C_MACROS.split("\n")
    v += ["%%COLOR(%s)" % c for c in colors]
    v += ["%%FIELD(%s,%s)" % f for f in fields]
    v += C_CODE.split("\n")
    m = ("m4_divert(-1)\n" + M4_FORLOOP + C_M4_MACROS
         + "".join("COLOR(`%s')\n" % c for c in colors)
         + "".join("FIELD(`%s', `%s')\n" % f for f in fields)
         + "m4_divert(0)m4_dnl\n" + C_M4_CODE)
    write_file(d, "c.inp", crlf(v))
    write_file(d, "c.m4", m.replace("\n", "\r\n").encode("latin-1"))
    write_file(d, "c.expected", crlf(c_expected(colors, fields)))


def gen_all(scale, d):
    os.makedirs(d, exist_ok=True)
    w1 = max(1, int(100_000_000 * scale))
    with open(os.path.join(d, "w1.txt"), "wb") as f:
        write_plain(w1, f)
    with open(os.path.join(d, "w1b.inp"), "wb") as a, open(
        os.path.join(d, "w1b.expected"), "wb"
    ) as b:
        write_plain_percent(w1, a, b)
    with open(os.path.join(d, "plain10mb.txt"), "wb") as f:
        write_plain(10_000_000, f)
    gen_w2(max(1, round(1_000_000 * scale)), d)
    gen_w3(max(1, round(1_000_000 * scale)), d)
    gen_w4(max(1, round(10_000 * scale)), d)
    gen_s(d)
    gen_c(max(2, round(50_000 * scale)), d)


def main(argv):
    if len(argv) >= 2 and argv[0] == "plain":
        total = int(float(argv[1]))
        if len(argv) < 3 or argv[2] == "-":
            try:
                write_plain(total, sys.stdout.buffer)
            except BrokenPipeError:
                return 1
        else:
            with open(argv[2], "wb") as f:
                write_plain(total, f)
        return 0
    if len(argv) == 3 and argv[0] == "all":
        gen_all(float(argv[1]), argv[2])
        return 0
    sys.stderr.write(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
