#!/usr/bin/env python3
"""Checks of the kill test's own judgement: a file cut short anywhere or
damaged must be refused, what the program writes must pass, and a kept file
that went back must be caught. Run: python3 tools/killtest/test_killtest.py"""

import json
import os
import sys
import types
import unittest

sys.dont_write_bytecode = True   # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import killtest  # noqa: E402
from filecheck import BOM, check_account, check_draws, check_ini, parse_ini  # noqa: E402

# As the program writes them (taken from a run, shortened).
INI = BOM + (
    "[LOGIN]\nID=demo\nPW=demo1234\nHOST=sim\n[ACCOUNT]\nACNO=55501234501\nACPW=0000\n"
    "[SIM]\nALWAYSOPEN=1\nRATE=10\nSTATE=sim_account.json\n[LAYOUT]\nX=0\nY=0\nW=1600\nH=950\nMAX=0\n"
    "LMW=52,61,61,70,70\n[UI]\nCONFIRM=0\nLASTCODE=035420\nRECENT=035420,005930\nFEE=0.4\nQTY=5\n"
    "ISSUEKW=\nBUYLIQ=1\n").encode()
DRAWS = BOM + (
    '{"035420|D":[{"k":"X","d1":"20261026","d2":"","p1":167547.59999999998,"p2":0},'
    '{"k":"H","d1":"","d2":"","p1":156904.8,"p2":0}],'
    '"000660|N":[{"k":"L","d1":"202612102347","d2":"202612110004","p1":185428,"p2":187050},'
    '{"k":"V","d1":"202612102339","d2":"","p1":0,"p2":0}]}').encode()


def account(next_no=3, date="2026-12-11", filled=(2, 0)):
    orders = [{"no": n + 1, "org": 0, "kind": "new", "code": "035420", "side": "2", "price": 155400,
               "qty": 2, "filled": f, "fillAmt": 155400 * f, "moved": 0, "timeMs": 812581, "fee": 46,
               "tax": 0, "pnl": 0, "seenVol": 0} for n, f in enumerate(filled)]
    j = {"version": 1, "cash": 97981474, "holdings": [{"code": "035420", "qty": 2, "avg": 155400.0}],
         "nextOrdNo": next_no, "ordersDate": date, "orders": orders}
    return (json.dumps(j, indent=2) + "\n").encode()


INI_KEYS = set(parse_ini(INI)[1])


def ini_check(data):
    return check_ini(data, INI_KEYS)


class CutOrDamagedFilesAreRefused(unittest.TestCase):
    CASES = (("hts.ini", INI, ini_check), ("draws.json", DRAWS, check_draws),
             ("sim_account.json", account(), check_account))

    def test_whole_files_pass(self):
        for name, data, check in self.CASES:
            with self.subTest(name):
                self.assertIsNone(check(data)[0])

    def test_every_cut_is_refused(self):
        for name, data, check in self.CASES:
            for n in range(len(data)):
                with self.subTest(name, length=n):
                    self.assertIsNotNone(check(data[:n])[0])

    def test_zeroed_block_is_refused(self):
        # What a file system can show after a crash: the length written,
        # the bytes not yet.
        for name, data, check in self.CASES:
            for at in range(0, len(data) - 16, 7):
                bad = data[:at] + b"\0" * 16 + data[at + 16:]
                with self.subTest(name, at=at):
                    self.assertIsNotNone(check(bad)[0])

    def test_ini_that_lost_a_login_value_or_a_key_is_refused(self):
        self.assertIsNotNone(ini_check(INI.replace(b"PW=demo1234", b"PW="))[0])
        self.assertIn("missing", ini_check(INI.replace(b"BUYLIQ=1\n", b""))[0])
        # a new key is fine
        self.assertIsNone(ini_check(INI + b"NEWKEY=1\n")[0])

    def test_account_that_breaks_its_rules_is_refused(self):
        self.assertIsNotNone(check_account(account(next_no=2))[0])       # order #2 not below next
        self.assertIsNotNone(check_account(account(date=""))[0])         # orders without a day
        self.assertIsNotNone(check_account(account().replace(b'"filled": 2', b'"filled": 3'))[0])
        self.assertIsNotNone(check_account(account().replace(b'"version": 1', b'"version": 1.0'))[0])

    def test_draws_the_store_would_not_write_are_refused(self):
        self.assertIsNotNone(check_draws(BOM + b'{"035420|D":[]}')[0])     # empty charts are removed
        self.assertIsNotNone(check_draws(BOM + b'{"035420|D":[{"k":"H"}]}')[0])
        self.assertIsNotNone(check_draws(DRAWS.replace(b"156904.8", b"NaN"))[0])
        self.assertIsNotNone(check_draws(DRAWS[len(BOM):])[0])


class WentBack(unittest.TestCase):
    def went_back(self, f, data, start, before, last_draw_input=0.0, kill_at=10.0, typed=None,
                  termed=False, closed=False):
        kt = types.SimpleNamespace(check=lambda name, d: killtest.CHECKS[name](d, INI_KEYS))
        actor = types.SimpleNamespace(last_draw_input=last_draw_input, typed=typed or {})
        _, info = kt.check(f, data)
        return killtest.KillTest.went_back(kt, f, data, info, start, before, actor, kill_at, termed, closed)

    def test_account_keeps_every_order_and_fill_on_disk(self):
        old, new = account(3, filled=(2, 0)), account(4, filled=(2, 1, 0))
        self.assertIsNone(self.went_back("sim_account.json", new, old, [old]))
        self.assertIsNone(self.went_back("sim_account.json", old, old, [old]))
        self.assertIn("went back", self.went_back("sim_account.json", old, old, [old, new]))
        self.assertIn("filled", self.went_back("sim_account.json", account(4, filled=(2, 0, 0)), old,
                                               [old, new]))
        # a new market day starts with no orders: only the order number must hold
        self.assertIsNone(self.went_back("sim_account.json", account(4, "2026-12-12", ()), old, [old, new]))

    def test_settled_drawings_do_not_go_back(self):
        v1 = DRAWS
        v2 = DRAWS.replace(b"156904.8", b"156000")
        self.assertIn("went back", self.went_back("draws.json", v1, v1, [v1, v2], last_draw_input=5.0))
        # still being edited when killed: an undo may bring the old one back
        self.assertIsNone(self.went_back("draws.json", v1, v1, [v1, v2], last_draw_input=9.0))

    def test_close_saves_what_was_typed(self):
        typed = {"QTY": "5", "FEE": "0.4"}
        self.assertIsNone(self.went_back("hts.ini", INI, INI, [INI], typed=typed, termed=True, closed=True))
        stale = INI.replace(b"QTY=5", b"QTY=1")
        self.assertIn("QTY", self.went_back("hts.ini", stale, stale, [stale], typed=typed, termed=True,
                                            closed=True))
        # killed before the save: the old file is right
        self.assertIsNone(self.went_back("hts.ini", stale, stale, [stale], typed=typed, termed=True))


class InjectedKillIsNamed(unittest.TestCase):
    def name(self, text, app="/r/app"):
        import tempfile
        with tempfile.NamedTemporaryFile("w", suffix=".strace", delete=False) as fh:
            fh.write(text)
        try:
            return killtest.KillTest.injected(types.SimpleNamespace(strace_log=fh.name, app=app))
        finally:
            os.unlink(fh.name)

    def test_calls(self):
        self.assertIsNone(self.name('7 rename("/r/app/draws.json.AbCdEf", "/r/app/draws.json") = 0\n'))
        self.assertEqual(self.name(
            '7 rename("/r/app/draws.json.AbCdEf", "/r/app/draws.json" <unfinished ...>\n'
            '9 +++ killed by SIGKILL +++\n7 <... rename resumed>) = ?\n7 +++ killed by SIGKILL +++\n'),
            "rename of draws.json (before)")
        self.assertEqual(self.name(
            '7 rename("/r/app/sim_account.json.AbCdEf", "/r/app/sim_account.json") = 0\n'
            '7 --- SIGUSR2 {si_signo=SIGUSR2} ---\n7 +++ killed by SIGUSR2 +++\n'),
            "rename of sim_account.json (just after)")
        self.assertEqual(self.name('7 fdatasync(13</r/app/#1096>(deleted)) = ?\n7 +++ killed by SIGKILL +++\n'),
                         "fdatasync of a temporary file (before the rename)")
        self.assertEqual(self.name('7 fsync(14</r/app>) = ?\n7 +++ killed by SIGKILL +++\n'),
                         "fsync of the folder (after a rename)")


if __name__ == "__main__":
    unittest.main()
