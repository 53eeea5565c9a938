#!/usr/bin/env python3
"""Writes the simulated exchange's result-layout (.res) files.

Reads the broker's published TR documentation (one markdown file per TR
group, each TR with its request and answer body tables: element, Korean
description, type, length) and writes one layout file per code that the
program uses, in the broker's own .res text format, encoded in CP949 with
CRLF line ends.

    gen_res.py [--docs DIR] [--out DIR] [--check]

--check compares the files that would be written with those in --out and
exits 1 on a difference, without writing anything.

Codes the documentation describes under a different code (the REST variants
of the cash orders) or not at all are built from a documented relative, see
DERIVED below; input fields that the REST variants leave out because the
REST session carries the account are added back, see EXTRA_INPUT. Answers
documented only by example are filled in from a sibling with the same
fields (FEED_FIELDS_FROM) or from SUPPLIED_OUTPUT, checked against the
example's field names.
"""

import argparse
import json
import pathlib
import re
import sys

QUERIES = [
    "t8430", "t1101", "t8410", "t8412", "t1301", "t1637", "t0167", "t0150",
    "t0424", "t0425", "t1102", "t1441", "t1463", "t1466", "t1601", "t1602",
    "t3102", "t3518", "t3521", "t8407", "t8409",
    "CSPAQ12300", "CSPAT00600", "CSPAT00700", "CSPAT00800",
]
FEEDS = ["S3_", "K3_", "H1_", "HA_", "SC0", "SC1", "SC3", "NWS"]

# code -> (documented code, title used in place of the documented one or None)
DERIVED = {
    "CSPAT00600": ("CSPAT00601", None),
    "CSPAT00700": ("CSPAT00701", None),
    "CSPAT00800": ("CSPAT00801", None),
    # The index minute chart is asked like the stock minute chart; its
    # layout is that of the documented sector minute chart.
    "t8409": ("t8418", "API전용업종차트(N분)"),
}

# Input fields the broker's desktop API takes but its REST form does not.
# Each entry: (field name, description, type, length, source) where source
# "out" means: take the description, type and length from the first output
# block that echoes the field (the account echo of the CS* transactions).
ACCNO = ("accno", "계좌번호", "char", "11", None)
PASSWD = ("passwd", "비밀번호", "char", "8", None)
EXTRA_INPUT = {
    "t0150": [ACCNO],
    "t0424": [ACCNO, PASSWD],
    "t0425": [ACCNO, PASSWD],
    "CSPAQ12300": [("RecCnt", None, None, None, "out"), ("AcntNo", None, None, None, "out"),
                   ("Pwd", None, None, None, "out")],
    "CSPAT00600": [("AcntNo", None, None, None, "out"), ("InptPwd", None, None, None, "out")],
    "CSPAT00700": [("AcntNo", None, None, None, "out"), ("InptPwd", None, None, None, "out")],
    "CSPAT00800": [("AcntNo", None, None, None, "out"), ("InptPwd", None, None, None, "out")],
}

# Subscription key of the feeds: field name, description (None: the
# documented key description), length.
FEED_KEY = {
    "S3_": ("shcode", None, "6"),
    "K3_": ("shcode", None, "6"),
    "H1_": ("shcode", None, "6"),
    "HA_": ("shcode", None, "6"),
    "NWS": ("nwcode", "뉴스코드", "6"),
}

# Feeds documented without an answer table whose answer example carries
# exactly the fields of a documented sibling: the sibling's fields are used.
FEED_FIELDS_FROM = {"SC3": "SC1"}

# Answer blocks documented by example only: block -> (occurs, fields as
# (name, description, type, length)). The example's field names must match.
SUPPLIED_OUTPUT = {
    "t3521": {
        "t3521OutBlock": (False, [
            ("hname", "지수명", "char", "20"),
            ("date", "일자", "char", "8"),
            ("symbol", "심볼", "char", "16"),
            ("close", "현재지수", "double", "12.2"),
            ("sign", "전일대비구분", "char", "1"),
            ("change", "전일대비", "double", "12.2"),
            ("diff", "등락율", "float", "6.2"),
        ]),
    },
}

HEADING = re.compile(r"^##\s+\S*\s*(.*?)\s*\(([^()]+)\)\s*$")
LENGTH = re.compile(r"^\d+(\.\d+)?$")


class Field:
    def __init__(self, name, desc, type_, length):
        self.name, self.desc, self.type, self.length = name, desc, type_, length


class Block:
    def __init__(self, name, input_, occurs):
        self.name, self.input, self.occurs, self.fields = name, input_, occurs, []


class Tr:
    def __init__(self, code, title, feed):
        self.code, self.title, self.feed = code, title, feed
        self.blocks = []
        self.req_rows = []   # feeds: rows of the request body (tr_cd, tr_key)
        self.rsp_rows = []   # feeds: rows of the answer body
        self.example = None  # parsed answer example (JSON), when readable


def table_rows(lines):
    """Cells of every data row of the markdown table in lines."""
    rows = []
    for line in lines:
        line = line.strip()
        if not line.startswith("|"):
            if rows:
                break
            continue
        cells = [c.strip() for c in line.strip("|").split("|")]
        if cells and (cells[0] == "Element" or set(cells[0]) <= set(":-")):
            continue
        rows.append(cells)
    return rows


def parse_docs(docs_dir):
    trs = {}
    cur_example_lines = {}
    for path in sorted(pathlib.Path(docs_dir).glob("*.md")):
        feed = path.name.upper().startswith("WEBSOCKET")
        cur, section, buf = None, None, []

        def flush():
            if cur is None or section not in ("req", "rsp"):
                return
            rows = table_rows(buf)
            if feed:
                (cur.req_rows if section == "req" else cur.rsp_rows).extend(rows)
                return
            block = None
            for cells in rows:
                if len(cells) < 5 or not cells[0]:
                    continue  # continuation line of a long remark
                elem, desc, type_, length = cells[0], cells[1], cells[2], cells[4]
                if elem.startswith("-"):
                    if block is not None:
                        block.fields.append(Field(elem.lstrip("-").strip(), desc, type_, length))
                elif type_.startswith("Object"):
                    block = Block(elem, section == "req", "Array" in type_)
                    cur.blocks.append(block)

        for line in path.read_text(encoding="utf-8").splitlines():
            m = HEADING.match(line)
            if line.startswith("## ") and not line.startswith("###"):
                flush()
                section, buf = None, []
                cur = None
                if m and m.group(2).strip() not in trs:  # the first description of a code wins
                    cur = Tr(m.group(2).strip(), m.group(1).strip(), feed)
                    trs[cur.code] = cur
                continue
            if line.startswith("### "):
                flush()
                buf = []
                section = {"### 요청 Body": "req", "### 응답 Body": "rsp"}.get(line.strip())
                if cur is not None and "Response Example" in line:
                    section = "example"
                continue
            if section == "example" and cur is not None:
                cur_example_lines.setdefault(cur.code, []).append(line)
                continue
            buf.append(line)
        flush()
    for code, lines in cur_example_lines.items():
        fences = [i for i, l in enumerate(lines) if l.strip().startswith("```")]
        if len(fences) < 2:
            continue
        text = "\n".join(lines[fences[0] + 1:fences[1]])
        try:
            trs[code].example = json.loads(text)
        except ValueError:
            pass
    return trs


def example_keys(doc, block=None):
    """Field names of the answer example: of `block` for a query, of the
    body for a feed; None when the example could not be read."""
    ex = doc.example
    if not isinstance(ex, dict):
        return None
    part = ex.get("body") if block is None else ex.get(block)
    if isinstance(part, list):
        part = part[0] if part else {}
    return list(part.keys()) if isinstance(part, dict) else None


def res_type(doc_type, length):
    if "." in length:
        return "double" if int(length.split(".")[0]) >= 10 else "float"
    # Anything but a documented number is text (one count field is typed
    # "Object" in the documentation; it is sent and read as text anyway).
    return "long" if doc_type == "Number" else "char"


def clean_desc(desc, name, warn):
    desc = desc.replace(",", "·").replace(";", "·").strip() or name
    try:
        desc.encode("cp949")
    except UnicodeEncodeError:
        fixed = "".join(ch if can_cp949(ch) else "?" for ch in desc)
        warn(f"description {desc!r} of {name} is not CP949; written as {fixed!r}")
        desc = fixed
    return desc


def can_cp949(ch):
    try:
        ch.encode("cp949")
        return True
    except UnicodeEncodeError:
        return False


def block_desc(block_name, feed):
    m = re.search(r"(In|Out)Block(\d*)$", block_name)
    if feed:
        return "입력" if block_name.startswith("In") else "출력"
    if not m:
        return "입력" if "In" in block_name else "출력"
    if m.group(1) == "In":
        return "기본입력" if not m.group(2) else "입력" + m.group(2)
    return "출력" + m.group(2)


def field_line(f, warn):
    length = f.length if LENGTH.match(f.length or "") else None
    if length is None:
        warn(f"field {f.name}: length {f.length!r} not understood, written as 1")
        length = "1"
    desc = clean_desc(f.desc, f.name, warn)
    type_ = f.type if f.type in ("char", "long", "float", "double") else res_type(f.type, length)
    return f"\t\t{desc},{f.name},{f.name},{type_},{length};"


def render_query(code, doc, title, warn):
    lines = ["BEGIN_FUNCTION_MAP"]
    doc_blocks = list(doc.blocks)
    if code in SUPPLIED_OUTPUT:
        for bname, (occurs, supplied) in SUPPLIED_OUTPUT[code].items():
            if any(b.name == bname for b in doc_blocks):
                warn(f"{bname} is documented now; drop it from SUPPLIED_OUTPUT")
                continue
            keys = example_keys(doc, bname)
            names = [f[0] for f in supplied]
            if keys is not None and sorted(keys) != sorted(names):
                warn(f"{bname}: answer example has fields {sorted(keys)}, supplied {sorted(names)}")
            b = Block(bname, False, occurs)
            b.fields = [Field(*f) for f in supplied]
            doc_blocks.append(b)
    head = "headtype=B" if code.startswith("C") else "headtype=A"
    lines.append(f"\t.Func,{title}({code}),{code},block,{head};")
    lines.append("\tBEGIN_DATA_MAP")
    extras = EXTRA_INPUT.get(code, [])
    first_input = True
    for b in doc_blocks:
        name = code + b.name[len(doc.code):] if b.name.startswith(doc.code) else b.name
        kind = "input" if b.input else "output"
        occurs = ",occurs" if b.occurs else ""
        lines.append(f"\t{name},{block_desc(name, False)},{kind}{occurs};")
        lines.append("\tbegin")
        fields = list(b.fields)
        if b.input and first_input and extras:
            added = []
            for (fname, fdesc, ftype, flen, source) in extras:
                if any(f.name == fname for f in fields):
                    continue
                if source == "out":
                    echo = next((f for ob in doc_blocks if not ob.input for f in ob.fields
                                 if f.name == fname), None)
                    if echo is None:
                        warn(f"{code}: no output field {fname} to take the input field from")
                        continue
                    added.append(Field(fname, echo.desc, echo.type, echo.length))
                else:
                    added.append(Field(fname, fdesc, ftype, flen))
            # An original-order number stays the first input field.
            at = 1 if fields and fields[0].name == "OrgOrdNo" else 0
            fields[at:at] = added
        if b.input:
            first_input = False
        for f in fields:
            lines.append(field_line(f, warn))
        lines.append("\tend")
    lines.append("\tEND_DATA_MAP")
    lines.append("END_FUNCTION_MAP")
    return lines


def render_feed(code, doc, warn, trs):
    lines = ["BEGIN_FUNCTION_MAP"]
    lines.append(f"\t.Feed,{doc.title}({code}),{code},attr,block,headtype=B;")
    lines.append("\tBEGIN_DATA_MAP")
    lines.append("\tInBlock,입력,input;")
    lines.append("\tbegin")
    key = FEED_KEY.get(code)
    if key:
        kname, kdesc, klen = key
        if kdesc is None:
            row = next((r for r in doc.req_rows if r and r[0] == "tr_key"), None)
            kdesc = row[1] if row else kname
        lines.append(field_line(Field(kname, kdesc, "char", klen), warn))
    lines.append("\tend")
    lines.append("\tOutBlock,출력,output;")
    lines.append("\tbegin")
    rows = doc.rsp_rows
    if not rows and code in FEED_FIELDS_FROM:
        sib = trs.get(FEED_FIELDS_FROM[code])
        rows = sib.rsp_rows if sib else []
        mine, theirs = example_keys(doc), example_keys(sib) if sib else None
        if mine is None or theirs is None or sorted(mine) != sorted(theirs):
            warn(f"answer example differs from that of {FEED_FIELDS_FROM[code]}")
    if not rows:
        warn("no answer fields")
    for cells in rows:
        if len(cells) < 5 or not cells[0]:
            continue
        lines.append(field_line(Field(cells[0], cells[1], cells[2], cells[4]), warn))
    lines.append("\tend")
    lines.append("\tEND_DATA_MAP")
    lines.append("END_FUNCTION_MAP")
    return lines


def build(docs_dir):
    trs = parse_docs(docs_dir)
    out, problems = {}, []
    for code in QUERIES + FEEDS:
        def warn(msg, code=code):
            problems.append(f"{code}: {msg}")
        src, title = DERIVED.get(code, (code, None))
        doc = trs.get(src)
        if doc is None or (code in FEEDS) != doc.feed:
            problems.append(f"{code}: not found in the documentation")
            continue
        if code in FEEDS:
            lines = render_feed(code, doc, warn, trs)
        else:
            if not doc.blocks:
                problems.append(f"{code}: no blocks documented")
                continue
            lines = render_query(code, doc, title or doc.title, warn)
        text = "\r\n".join(lines) + "\r\n"
        out[code + ".res"] = text.encode("cp949")
    return out, problems


def main():
    here = pathlib.Path(__file__).resolve().parent
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--docs", default=str(here.parents[2] / "shared" / "broker-docs"))
    ap.add_argument("--out", default=str(here.parents[1] / "src" / "sim" / "res"))
    ap.add_argument("--check", action="store_true")
    args = ap.parse_args()
    if not pathlib.Path(args.docs).is_dir():
        sys.exit(f"documentation folder not found: {args.docs}")
    files, problems = build(args.docs)
    for p in problems:
        print("warning:", p, file=sys.stderr)
    if len(files) != len(QUERIES) + len(FEEDS):
        sys.exit("some layouts could not be built; nothing written")
    outdir = pathlib.Path(args.out)
    if args.check:
        diff = [n for n, b in files.items()
                if not (outdir / n).is_file() or (outdir / n).read_bytes() != b]
        for n in diff:
            print("differs:", n)
        sys.exit(1 if diff else 0)
    outdir.mkdir(parents=True, exist_ok=True)
    written = 0
    for name, data in sorted(files.items()):
        target = outdir / name
        if target.is_file() and target.read_bytes() == data:
            continue  # leave the file (and its time stamp) alone
        target.write_bytes(data)
        written += 1
    print(f"{written} of {len(files)} layout files written to {outdir}")


if __name__ == "__main__":
    main()
