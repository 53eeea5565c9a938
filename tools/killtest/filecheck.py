"""What a kept file must look like to be one the program could have written.

Each check mirrors how the program reads the file and how it writes it:

  hts.ini           TIniFile::SaveAs: UTF-8 byte-order mark, then every line
                    ended by a line break; keys are only ever added or
                    changed, never removed, so a later version holds every
                    key an earlier one held.
  draws.json        TDrawStore::Serialize: byte-order mark, then one JSON
                    object in plain ASCII; a key per stock and chart, each a
                    non-empty array of drawings {k, d1, d2, p1, p2}.
  sim_account.json  TSimAccount::ToJson: a JSON object ended by a line
                    break; the fields and rules of FromJson and
                    TSimAccountState::Check.

Each check returns (problem, info): problem is None for a good file, else a
short reason; info holds what the rollback checks compare (the ini's keys,
the account's next order number and orders).
"""

import json
import math
import re

BOM = b"\xef\xbb\xbf"

# Values the prepared hts.ini starts with and no save may change.
INI_FIXED = {
    ("login", "id"): "demo",
    ("login", "pw"): "demo1234",
    ("login", "host"): "sim",
    ("account", "acno"): "55501234501",
    ("account", "acpw"): "0000",
    ("sim", "alwaysopen"): "1",
}


def parse_ini(data):
    """(problem, {(section, key): value}) for hts.ini bytes."""
    if not data.startswith(BOM):
        return "no byte-order mark at the start", {}
    try:
        text = data[len(BOM):].decode("utf-8")
    except UnicodeDecodeError as e:
        return "not UTF-8 at byte %d" % (e.start + len(BOM)), {}
    if not text.endswith("\n"):
        return "last line has no line break (cut short?)", {}
    if "\0" in text:
        return "holds NUL bytes", {}
    values = {}
    section = None
    for n, raw in enumerate(text.split("\n")[:-1], 1):
        line = raw[:-1] if raw.endswith("\r") else raw
        t = line.strip()
        if len(t) >= 2 and t.startswith("[") and t.endswith("]"):
            section = t[1:-1].strip().lower()
            continue
        if not t or t.startswith(";"):
            continue
        if "=" not in line or not line.split("=", 1)[0].strip():
            return "line %d is neither a section, a key nor a comment: %r" % (n, line[:60]), {}
        if section is None:
            return "key outside any section on line %d" % n, {}
        key, value = line.split("=", 1)
        values.setdefault((section, key.strip().lower()), value)
    for k, want in INI_FIXED.items():
        if values.get(k) != want:
            return "[%s] %s is %r, not %r" % (k[0].upper(), k[1].upper(), values.get(k), want), values
    return None, values


def check_ini(data, known_keys):
    """known_keys: every (section, key) an earlier good version held."""
    problem, values = parse_ini(data)
    if problem:
        return problem, {"values": values}
    lost = sorted(set(known_keys) - set(values))
    if lost:
        return "keys of an earlier version missing: %s" % ", ".join(
            "[%s] %s" % (s.upper(), k.upper()) for s, k in lost[:6]), {"values": values}
    return None, {"values": values}


def _no_constants(name):
    raise ValueError("non-finite number %s" % name)


def _json_object(body):
    return json.loads(body.decode("utf-8"), parse_constant=_no_constants)


DRAW_KEY = re.compile(r"^[0-9A-Z]{6}\|[NDWM]$")


def check_draws(data, _known=None):
    if not data.startswith(BOM):
        return "no byte-order mark at the start", {}
    body = data[len(BOM):]
    if any(b > 127 for b in body):
        return "bytes outside ASCII (the store escapes every such character)", {}
    try:
        j = _json_object(body)
    except (ValueError, UnicodeDecodeError) as e:
        return "not JSON: %s" % str(e)[:80], {}
    if not isinstance(j, dict):
        return "top level is not an object", {}
    for key, arr in j.items():
        if not DRAW_KEY.match(key):
            return "odd key %r" % key[:40], {}
        if not isinstance(arr, list) or not arr:
            return "key %s holds no drawings (an empty chart is removed)" % key, {}
        for d in arr:
            if not isinstance(d, dict) or sorted(d) != ["d1", "d2", "k", "p1", "p2"]:
                return "drawing under %s is not {k, d1, d2, p1, p2}" % key, {}
            if not isinstance(d["k"], str) or d["k"] not in ("X", "H", "V", "L", "C"):
                return "drawing kind %r under %s" % (d["k"], key), {}
            if not isinstance(d["d1"], str) or not isinstance(d["d2"], str):
                return "drawing dates under %s are not text" % key, {}
            for p in ("p1", "p2"):
                v = d[p]
                if isinstance(v, bool) or not isinstance(v, (int, float)) or not math.isfinite(v):
                    return "drawing price %s under %s is %r" % (p, key, v), {}
    return None, {"keys": sorted(j)}


ORDER_INT_FIELDS = ("no", "org", "price", "qty", "filled", "fillAmt", "moved", "timeMs", "fee", "tax")
MAX_ORDER_QTY = 10 ** 9   # generous; the program's own cap is lower


def _is_int(v):
    return isinstance(v, int) and not isinstance(v, bool)


def check_account(data, _known=None):
    if not data.endswith(b"\n"):
        return "does not end with a line break (cut short?)", {}
    try:
        j = _json_object(data)
    except (ValueError, UnicodeDecodeError) as e:
        return "not JSON: %s" % str(e)[:80], {}
    if not isinstance(j, dict):
        return "top level is not an object", {}
    if j.get("version") != 1 or not _is_int(j.get("version")):
        return "version is %r" % j.get("version"), {}
    cash = j.get("cash")
    if not _is_int(cash) or cash < 0:
        return "cash is %r" % cash, {}
    holdings = j.get("holdings", [])
    if not isinstance(holdings, list):
        return "holdings is not an array", {}
    seen = set()
    for h in holdings:
        if (not isinstance(h, dict) or not isinstance(h.get("code"), str) or not _is_int(h.get("qty"))
                or isinstance(h.get("avg"), bool) or not isinstance(h.get("avg"), (int, float))):
            return "holding %r is malformed" % (h,), {}
        if not re.match(r"^[0-9A-Z]{6}$", h["code"]) or h["qty"] <= 0 or not (h["avg"] > 0):
            return "holding %s has bad values" % h["code"], {}
        if h["code"] in seen:
            return "holding %s twice" % h["code"], {}
        seen.add(h["code"])
    orders = j.get("orders", [])
    if not isinstance(orders, list):
        return "orders is not an array", {}
    nxt = j.get("nextOrdNo")
    if not _is_int(nxt) or nxt < 1:
        return "nextOrdNo is %r" % nxt, {}
    date = j.get("ordersDate", "")
    if not isinstance(date, str) or (date and not re.match(r"^\d{4}-\d{2}-\d{2}$", date)):
        return "ordersDate is %r" % date, {}
    prev = 0
    by_no = {}
    for o in orders:
        if not isinstance(o, dict) or any(not _is_int(o.get(f)) for f in ORDER_INT_FIELDS):
            return "order %r is malformed" % (o.get("no") if isinstance(o, dict) else o,), {}
        if o.get("kind") not in ("new", "modify", "cancel") or o.get("side") not in ("1", "2"):
            return "order #%d kind/side" % o["no"], {}
        ok = (prev < o["no"] < nxt and o["price"] > 0 and 0 < o["qty"] <= MAX_ORDER_QTY
              and o["filled"] >= 0 and o["moved"] >= 0 and o["filled"] + o["moved"] <= o["qty"]
              and o["fillAmt"] >= 0 and o["fee"] >= 0 and o["tax"] >= 0 and 0 <= o["timeMs"] < 86400000
              and (o["kind"] == "new") == (o["org"] == 0) and o["org"] < o["no"]
              and (o["kind"] != "cancel" or (o["filled"] == 0 and o["moved"] == 0)))
        if not ok:
            return "order #%d breaks the account's rules" % o["no"], {}
        prev = o["no"]
        by_no[o["no"]] = o["filled"]
    if orders and not date:
        return "orders without ordersDate", {}
    return None, {"next": nxt, "date": date, "filled": by_no}


CHECKS = {
    "hts.ini": check_ini,
    "draws.json": check_draws,
    "sim_account.json": check_account,
}
