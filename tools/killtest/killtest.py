#!/usr/bin/env python3
"""Kill test: runs the program again and again in a prepared folder, makes it
write the files it keeps (orders, chart drawings, settings), kills it at
random moments and checks every kept file after each kill.

Started by killtest.sh, which builds the program, prepares the folder and
runs this under Xvfb. Each round:

  1. starts the program; the start is the restart check of the kill before:
     it must log in by itself and show its window (a login dialog instead,
     no window, or an early death is a failed restart), and it must not set
     any kept file aside as damaged (a "<file>.bad-..." beside it);
  2. drives the window with xdotool from a thread: orders on the ladder,
     drawings added and deleted on both charts, settings changed;
  3. ends it in one of these ways:
       anytime   SIGKILL at a random moment of that activity,
       close     SIGTERM (the normal close, which saves the settings), then
                 SIGKILL at a random moment of the close, or no kill,
       startup   SIGKILL while the program is still starting,
       inject    run under strace, which kills the program at a chosen
                 fdatasync / rename / fsync of a save: just before the
                 temporary file is synced, just before it is renamed over
                 the real file, or just after (needs strace);
  4. checks the files while it ran (every version a reader could see) and
     after the kill: each parses as the program reads it and is complete
     (filecheck.py), is a version seen before or a new complete one, and
     did not go back: the account keeps every order and fill that was on
     disk, drawings that were on disk and not edited since stay, and a
     close that ran to the end saved the settings typed before it.

Figures at the end; a bad file is kept in <results>/bad/ with the last good
version beside it, and the last good version is put back so the run goes on.
"""

import argparse
import hashlib
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import threading
import time

sys.dont_write_bytecode = True   # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from filecheck import CHECKS, parse_ini  # noqa: E402

MAIN_TITLE = "^케스트렐 HTS - LS api$"
LOGIN_TITLE = "로그인$"
FILES = ("hts.ini", "draws.json", "sim_account.json")
TEMP_RE = re.compile(r"^(hts\.ini|draws\.json|sim_account\.json)\.[A-Za-z0-9]{6}$")
ASIDE_RE = re.compile(r"^(hts\.ini|draws\.json|sim_account\.json)\.bad-")

# Where things are in the 1600 x 950 window at (0, 0) that the prepared
# [LAYOUT] gives (read off a screenshot; killtest keeps one in the results).
LADDER_BUY_X = 1545          # "매수" column: a double click buys at that row
LADDER_SELL_X = 1155         # "매도" column: a double click sells
LADDER_ROWS_Y = (112, 462)
BUY_CANCEL_ALL = (1459, 505)
SELL_CANCEL_ALL = (1150, 505)
QTY_EDIT = (614, 150)
FEE_EDIT = (1490, 46)
CODE_EDIT = (1125, 46)
CHARTS = {
    # draw-menu button, the price pane (x0, y0, x1, y1), period selector
    "day": ((314, 43), (20, 75, 400, 250), (384, 43)),
    "min": ((201, 363), (20, 405, 400, 640), (384, 363)),
}
TOOLS = "XHVLC"              # the draw menu's first five entries, in order
MENU_CLEAR = 7               # "전체 지우기"
BM_TABS = [(x, 208) for x in (531, 585, 645, 706, 764)]
ISSUE_TABS = [(x, 804) for x in (1002, 1065, 1115, 1177, 1246)]
CODES = ("005930", "000660", "035420", "005380", "035720")

START_TIMEOUT = 45.0


def now():
    return time.monotonic()


def sha(data):
    return hashlib.sha256(data).hexdigest()[:16]


class X:
    """xdotool on the test's display."""

    def __init__(self, env):
        self.env = env

    def run(self, *args, timeout=10):
        try:
            r = subprocess.run(("xdotool",) + tuple(str(a) for a in args), env=self.env,
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=timeout)
            return r.stdout.decode(errors="replace")
        except subprocess.TimeoutExpired:
            return ""

    def windows(self, title):
        return self.run("search", "--onlyvisible", "--name", title).split()

    def click(self, x, y, button=1, repeat=1):
        self.run("mousemove", x, y, "click", "--repeat", repeat, "--delay", 60, button)

    def key(self, *keys):
        self.run("key", "--delay", 30, *keys)

    def type(self, text):
        self.run("type", "--delay", 25, text)

    def screenshot(self, path):
        if shutil.which("import"):     # imagemagick; only for the record
            subprocess.run(["import", "-window", "root", path], env=self.env,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=20)


class Poller(threading.Thread):
    """Reads every kept file each time it is replaced while the program runs:
    what a reader (or a kill) could find there at that moment."""

    def __init__(self, app):
        super().__init__(daemon=True)
        self.app = app
        self.stop = threading.Event()
        self.seen = {f: [] for f in FILES}   # [(time, bytes or None)]

    def run(self):
        last = {f: "unread" for f in FILES}
        while True:
            stopping = self.stop.is_set()
            for f in FILES:
                p = os.path.join(self.app, f)
                try:
                    with open(p, "rb") as fh:
                        st = os.fstat(fh.fileno())
                        sig = (st.st_ino, st.st_mtime_ns, st.st_size)
                        data = fh.read() if sig != last[f] else None
                except FileNotFoundError:
                    sig, data = None, None
                if sig != last[f]:
                    last[f] = sig
                    self.seen[f].append((now(), data))
            if stopping:
                return
            time.sleep(0.008)


class Actor(threading.Thread):
    """Drives the window like a user: orders, drawings and settings."""

    def __init__(self, x, rng, steps, stop):
        super().__init__(daemon=True)
        self.x, self.rng, self.steps, self.stop = x, rng, steps, stop
        self.phase = "idle"
        self.last_draw_input = -1e9
        self.typed = {}          # [UI] key -> value typed this round

    def pause(self, lo, hi):
        self.stop.wait(self.rng.uniform(lo, hi))

    def run(self):
        for name in self.steps:
            if self.stop.is_set():
                break
            # A dialog left open (the order confirmation, if it was turned
            # back on) would swallow every later input.
            if len(self.x.windows(MAIN_TITLE)) > 1:
                self.x.key("Escape")
            getattr(self, "step_" + name)()
            self.phase = "idle"
            self.pause(0.05, 0.4)

    def step_order(self):
        self.phase = "order"
        x = LADDER_BUY_X if self.rng.random() < 0.7 else LADDER_SELL_X
        for _ in range(self.rng.randint(1, 3)):
            if self.stop.is_set():
                return
            self.x.click(x, self.rng.randint(*LADDER_ROWS_Y), repeat=2)
            self.pause(0.05, 0.5)

    def step_cancel(self):
        self.phase = "order"
        if self.rng.random() < 0.35:
            self.x.click(*(BUY_CANCEL_ALL if self.rng.random() < 0.7 else SELL_CANCEL_ALL))
            return
        for _ in range(self.rng.randint(1, 4)):   # a right click on my order cancels it
            self.x.click(LADDER_BUY_X, self.rng.randint(*LADDER_ROWS_Y), button=3)
            self.pause(0.03, 0.2)

    def _menu(self, button, entry):
        self.x.click(*button)
        self.stop.wait(0.3)
        self.x.key(*(["Down"] * entry + ["Return"]))

    def step_draw(self):
        self.phase = "draw-menu"
        button, (x0, y0, x1, y1), _ = CHARTS[self.rng.choice(sorted(CHARTS))]
        tool = self.rng.choice(TOOLS)
        self._menu(button, TOOLS.index(tool) + 1)
        self.stop.wait(0.1)
        self.phase = "draw"
        clicks = self.rng.randint(1, 6)
        if tool in "LC":
            clicks += clicks % 2                 # two points each
        for _ in range(clicks):
            if self.stop.is_set():
                return
            self.x.click(self.rng.randint(x0, x1), self.rng.randint(y0, y1))
            self.last_draw_input = now()
            self.pause(0.02, 0.3)
        r = self.rng.random()
        if r < 0.45:
            self.x.key(*(["ctrl+z"] * self.rng.randint(1, clicks + 1)))
        elif r < 0.55:
            self.x.key("Escape")
            self._menu(button, MENU_CLEAR)
        self.last_draw_input = now()
        self.x.key("Escape")                     # put the tool down

    def step_settings(self):
        self.phase = "settings"
        what = self.rng.choice(("qty", "fee", "bm", "issue", "period", "code"))
        getattr(self, "set_" + what)()

    def set_qty(self):
        v = str(self.rng.randint(1, 9))
        self.x.click(*QTY_EDIT)
        self.x.key("ctrl+a")
        self.x.type(v)
        self.typed["QTY"] = v

    def set_fee(self):
        v = self.rng.choice(("0.1", "0.15", "0.2", "0.25", "0.3", "0.33", "0.4"))
        self.x.click(*FEE_EDIT)
        self.x.key("ctrl+a")
        self.x.type(v)
        self.typed["FEE"] = v

    def set_bm(self):
        self.x.click(*self.rng.choice(BM_TABS))

    def set_issue(self):
        self.x.click(*self.rng.choice(ISSUE_TABS))

    def set_period(self):
        _, _, combo = CHARTS[self.rng.choice(sorted(CHARTS))]
        self.x.click(*combo)
        self.stop.wait(0.3)
        self.x.key(self.rng.choice(("Down", "Up")), "Return")

    def set_code(self):
        self.x.click(*CODE_EDIT)
        self.x.key("ctrl+a")
        self.x.type(self.rng.choice(CODES))
        self.stop.wait(0.2)
        self.x.key("Return")
        self.stop.wait(0.3)


class Figures:
    def __init__(self):
        self.n = {}

    def add(self, key, k=1):
        self.n[key] = self.n.get(key, 0) + k

    def get(self, key):
        return self.n.get(key, 0)


class KillTest:
    def __init__(self, args):
        self.args = args
        self.app = os.path.abspath(args.app)
        self.res = os.path.abspath(args.results)
        self.exe = os.path.join(self.app, "kestrelhts")
        self.rng = random.Random(args.seed)
        self.env = dict(os.environ)
        self.x = X(self.env)
        self.fig = Figures()
        self.known = {f: {} for f in FILES}      # hash -> where first seen
        self.last_good = {f: None for f in FILES}
        self.ini_keys = set()
        self.faults = []
        self.temps_seen = set()
        self.close_ms, self.save_ms = [], []     # SIGTERM to the end, and to the settings save
        self.use_strace = shutil.which("strace") is not None and not args.no_inject
        self.log = open(os.path.join(self.res, "rounds.log"), "a", encoding="utf-8")
        os.makedirs(os.path.join(self.res, "bad"), exist_ok=True)
        os.makedirs(os.path.join(self.res, "logs"), exist_ok=True)
        for f in FILES:
            data = self.read(f)
            if data is not None:
                self.accept(f, data, "prepared")

    # ---- files ----

    def read(self, f):
        try:
            with open(os.path.join(self.app, f), "rb") as fh:
                return fh.read()
        except FileNotFoundError:
            return None

    def accept(self, f, data, where):
        h = sha(data)
        if h not in self.known[f]:
            self.known[f][h] = where
        self.last_good[f] = data
        if f == "hts.ini":
            self.ini_keys |= set(parse_ini(data)[1])

    def check(self, f, data):
        return CHECKS[f](data, self.ini_keys if f == "hts.ini" else None)

    def fault(self, rnd, kind, f, why, data=None):
        self.faults.append((rnd, kind, f, why))
        self.fig.add("fault: " + kind)
        self.say("  !! round %d: %s: %s: %s" % (rnd, kind, f, why))
        base = os.path.join(self.res, "bad", "r%04d-%s-%s" % (rnd, kind.replace(" ", "_"), f))
        if data is not None:
            with open(base, "wb") as fh:
                fh.write(data)
        if self.last_good[f] is not None:
            with open(base + ".last-good", "wb") as fh:
                fh.write(self.last_good[f])
        with open(base + ".why", "w", encoding="utf-8") as fh:
            fh.write(why + "\n")

    def restore(self, f):
        """Puts the last good version back (atomically) so the run goes on."""
        p = os.path.join(self.app, f)
        if self.last_good[f] is None:
            if os.path.exists(p):
                os.unlink(p)
            return
        tmp = p + ".killtest-restore"
        with open(tmp, "wb") as fh:
            fh.write(self.last_good[f])
        os.chmod(tmp, 0o600)
        os.replace(tmp, p)

    def strays(self):
        temps, asides, other = [], [], []
        for name in sorted(os.listdir(self.app)):
            if name in FILES or name in ("kestrelhts", "Res"):
                continue
            (temps if TEMP_RE.match(name) else asides if ASIDE_RE.match(name) else other).append(name)
        return temps, asides, other

    def take_asides(self, rnd, when):
        """A "<file>.bad-..." beside the files: the program found one it could
        not read and set it aside. Moved into the results."""
        _, asides, _ = self.strays()
        for name in asides:
            f = ASIDE_RE.match(name).group(1)
            with open(os.path.join(self.app, name), "rb") as fh:
                data = fh.read()
            self.fault(rnd, "set aside by the program", f, "%s (%s)" % (name, when), data)
            os.replace(os.path.join(self.app, name), os.path.join(self.res, "bad", "r%04d-%s" % (rnd, name)))
        return len(asides)

    # ---- the program ----

    def start(self, rnd, inject=None):
        logpath = os.path.join(self.res, "logs", "r%04d.log" % rnd)
        self.logfile = open(logpath, "wb")
        cmd = [self.exe]
        self.strace_log = None
        if inject:
            self.strace_log = os.path.join(self.res, "logs", "r%04d.strace" % rnd)
            cmd = ["strace", "-qq", "-f", "-y", "-o", self.strace_log, "-e", "trace=fdatasync,fsync,rename",
                   "-e", inject] + cmd
        proc = subprocess.Popen(cmd, cwd=self.app, env=self.env, stdin=subprocess.DEVNULL,
                                stdout=self.logfile, stderr=subprocess.STDOUT, start_new_session=True)
        pid = proc.pid
        if inject:
            deadline = now() + 10
            pid = None
            while pid is None and now() < deadline and proc.poll() is None:
                try:
                    with open("/proc/%d/task/%d/children" % (proc.pid, proc.pid)) as fh:
                        kids = fh.read().split()
                    pid = int(kids[0]) if kids else None
                except OSError:
                    pass
                if pid is None:
                    time.sleep(0.01)
        return proc, pid

    def wait_window(self, proc):
        """'up' when the main window shows (it is shown only after the login),
        else why not."""
        deadline = now() + START_TIMEOUT
        while now() < deadline:
            if proc.poll() is not None:
                return "died at start (status %s)" % proc.returncode
            if self.x.windows(MAIN_TITLE):
                return "up"
            if self.x.windows(LOGIN_TITLE):
                return "login dialog instead of the window"
            time.sleep(0.05)
        return "no window after %.0f s" % START_TIMEOUT

    def alive(self, proc, pid):
        """Whether the program still runs (under strace it is strace's child,
        a zombie until strace reaps it)."""
        if proc.poll() is not None:
            return False
        if pid is None or pid == proc.pid:
            return True
        try:
            with open("/proc/%d/stat" % pid) as fh:
                return fh.read().rsplit(")", 1)[1].split()[0] not in ("Z", "X")
        except (OSError, IndexError):
            return False

    def send(self, pid, sig):
        try:
            os.kill(pid, sig)
            return True
        except (ProcessLookupError, TypeError):
            return False

    def reap(self, proc):
        try:
            proc.wait(timeout=20)
        except subprocess.TimeoutExpired:
            self.say("  (program did not end after the kill)")
        try:
            os.killpg(proc.pid, signal.SIGKILL)    # helpers it started, if any
        except ProcessLookupError:
            pass
        try:
            proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            pass
        self.logfile.close()

    def say(self, text):
        print(text, flush=True)
        self.log.write(text + "\n")
        self.log.flush()

    # ---- one round ----

    def plan(self):
        if self.args.only:
            return self.args.only
        r = self.rng.random()
        if r < 0.07:
            return "startup"
        if self.use_strace and r < 0.22:
            return "inject"
        if r < 0.52:
            return "close"
        return "anytime"

    def random_steps(self, n):
        kinds = ["draw"] * 9 + ["order"] * 6 + ["cancel"] * 2 + ["settings"] * 3
        return [self.rng.choice(kinds) for _ in range(n)]

    def run_round(self, rnd):
        scenario = self.plan()
        at_start = {f: self.read(f) for f in FILES}
        inject = None
        if scenario == "inject":
            call, sig, k = self.rng.choice([
                ("fdatasync", "SIGKILL", self.rng.randint(1, 4)),   # temp written, not synced
                ("rename", "SIGKILL", self.rng.randint(1, 4)),      # temp synced, not renamed
                ("rename", "SIGUSR2", self.rng.randint(1, 4)),      # just renamed (default action: end)
                ("fsync", "SIGKILL", self.rng.randint(1, 2)),       # the settings: before / after rename
            ])
            inject = "inject=%s:signal=%s:when=%d" % (call, sig, k)
        poller = Poller(self.app)
        poller.start()
        self.fig.add("starts")
        proc, pid = self.start(rnd, inject)
        if inject:
            self.fig.add("rounds under strace")
        t0 = t_term = now()
        note = scenario + (" " + inject if inject else "")
        kill_at = None
        kill_phase = None
        closed_normally = False
        termed = False
        actor = None
        stop = threading.Event()

        if scenario == "startup":
            time.sleep(self.rng.uniform(0.0, 0.45))    # the window shows after about 0.4 s
            up = "up" if self.x.windows(MAIN_TITLE) else "starting"
            if self.alive(proc, pid):
                self.send(pid, signal.SIGKILL)
                kill_at, kill_phase = now(), "startup (%s)" % up
                self.fig.add("kills")
                self.fig.add("kills during start-up")
            self.reap(proc)
        else:
            state = self.wait_window(proc)
            self.fig.add("restarts checked")
            if state != "up":
                if scenario == "inject" and not self.alive(proc, pid):
                    state = "up"          # the injected kill came during the start
                else:
                    self.fig.add("failed restarts")
                    shot = os.path.join(self.res, "bad", "r%04d-restart.png" % rnd)
                    self.x.screenshot(shot)
                    self.faults.append((rnd, "failed restart", "-", state))
                    self.say("  !! round %d: failed restart: %s (screenshot %s)" % (rnd, state, shot))
                    if self.alive(proc, pid):
                        self.send(pid, signal.SIGKILL)
                    self.reap(proc)
                    poller.stop.set()
                    poller.join()
                    self.check_round(rnd, at_start, poller.seen, None, now(), False, False)
                    return
            if self.alive(proc, pid):
                self.take_asides(rnd, "at start")
                if rnd == 1:
                    time.sleep(2)
                    self.x.screenshot(os.path.join(self.res, "window.png"))
                time.sleep(self.rng.uniform(0.8, 2.5))   # the account and the quotes come in

            if scenario == "anytime" and self.alive(proc, pid):
                actor = Actor(self.x, self.rng, self.random_steps(40), stop)
                actor.start()
                time.sleep(self.rng.uniform(0.2, 7.0))
                if self.alive(proc, pid):
                    kill_phase = actor.phase
                    self.send(pid, signal.SIGKILL)
                    kill_at = now()
                    self.fig.add("kills")
                    self.fig.add("kills during " + {"draw": "drawing edits", "draw-menu": "the draw menu",
                                                   "order": "order placement", "settings": "settings changes",
                                                   "idle": "pauses"}[kill_phase])

            elif scenario == "close" and self.alive(proc, pid):
                steps = self.random_steps(self.rng.randint(0, 3)) + ["settings"]
                actor = Actor(self.x, self.rng, steps, stop)
                actor.start()
                actor.join(30)
                actor.set_qty()
                actor.set_fee()
                time.sleep(self.rng.uniform(0.4, 0.8))
                if self.rng.random() < 0.3:
                    # The close comes while a popup of the window is open.
                    popup = self.rng.choice(("draw menu", "period list"))
                    button, _, combo = CHARTS[self.rng.choice(sorted(CHARTS))]
                    self.x.click(*(button if popup == "draw menu" else combo))
                    time.sleep(0.3)
                    note += " with the %s open" % popup
                self.send(pid, signal.SIGTERM)
                termed = True
                t_term = now()
                r = self.rng.random()
                if r < 0.2:
                    try:
                        proc.wait(timeout=30)
                        closed_normally = True
                        self.close_ms.append((now() - t_term) * 1000)
                        note += " (ended at +%.0f ms)" % self.close_ms[-1]
                    except subprocess.TimeoutExpired:
                        pass
                else:
                    # The settings are saved within a few ms of SIGTERM and the
                    # whole close takes some tens of ms (as measured so far):
                    # kill moments crowd the save and spread over the rest.
                    span = sorted(self.close_ms)[len(self.close_ms) // 2] / 1000 if self.close_ms else 0.3
                    save = sorted(self.save_ms)[len(self.save_ms) // 2] / 1000 if self.save_ms else 0.01
                    d = (self.rng.uniform(0.0, 0.002) if r < 0.45 else self.rng.uniform(0.0, 2.5 * save)
                         if r < 0.7 else self.rng.uniform(0.0, 1.3 * span))
                    time.sleep(max(0.0, t_term + d - now()))
                    if self.alive(proc, pid):
                        self.send(pid, signal.SIGKILL)
                        kill_at, kill_phase = now(), "close +%.0f ms" % ((now() - t_term) * 1000)
                        self.fig.add("kills")
                        self.fig.add("kills during close")
                    else:
                        closed_normally = True
                if closed_normally:
                    self.fig.add("closes run to the end")
                    note += " closed (status %s)" % proc.returncode
                    if proc.returncode != 0:
                        self.faults.append((rnd, "close ended badly", "-", "status %s" % proc.returncode))
                        self.fig.add("fault: close ended badly")
                        self.say("  !! round %d: the normal close ended with status %s" % (rnd, proc.returncode))

            elif scenario == "inject" and self.alive(proc, pid):
                actor = Actor(self.x, self.rng, self.random_steps(12), stop)
                actor.start()
                deadline = now() + self.rng.uniform(3.0, 8.0)
                while now() < deadline and self.alive(proc, pid):
                    time.sleep(0.05)
                if self.alive(proc, pid):
                    stop.set()
                    actor.join(10)
                    time.sleep(0.5)                     # what was typed has arrived
                    self.send(pid, signal.SIGTERM)      # the close saves the settings: more to hit
                    termed = True
                    try:
                        proc.wait(timeout=15)
                    except subprocess.TimeoutExpired:
                        pass
                if self.alive(proc, pid):
                    self.send(pid, signal.SIGKILL)
                    kill_at, kill_phase = now(), "inject did not fire"
                    self.fig.add("kills")

            stop.set()
            if actor:
                actor.join(15)
            if self.alive(proc, pid) and kill_at is None:
                self.send(pid, signal.SIGKILL)
                kill_at, kill_phase = now(), "end of round"
                self.fig.add("kills")
            self.reap(proc)
            if scenario == "inject":
                fired = self.injected()
                if fired:
                    self.fig.add("kills injected at a save")
                    self.fig.add("kills injected: " + fired)
                    note += " -> " + fired
                    kill_at, kill_phase = kill_at or now(), "injected"
                else:
                    note += " -> did not fire"

        poller.stop.set()
        poller.join()
        if termed and scenario == "close":
            # When the close replaced hts.ini, as the file reader saw it.
            saved = [t for t, _ in poller.seen["hts.ini"] if t > t_term]
            if saved:
                note += "; hts.ini replaced at +%.0f ms" % ((saved[0] - t_term) * 1000)
                self.save_ms.append((saved[0] - t_term) * 1000)
            if kill_at is not None:
                self.fig.add("kills during close, hts.ini " + ("already replaced" if saved else "not yet replaced"))
        for f in FILES:
            self.fig.add("writes seen: " + f, max(0, len(poller.seen[f]) - 1))
        self.say("round %d: %s; kill %s%s" % (rnd, note, kill_phase or "-",
                                             "" if kill_at is None else " at +%.2f s" % (kill_at - t0)))
        self.check_round(rnd, at_start, poller.seen, actor, kill_at, termed, closed_normally)

    def injected(self):
        """What strace's injected kill hit, e.g. "rename of draws.json (before)";
        None when it did not fire. strace -y names each call's file; a call
        cut by another thread's output is "<unfinished ...>" and then
        "<... rename resumed>" on a later line of the same thread."""
        try:
            with open(self.strace_log, encoding="utf-8", errors="replace") as fh:
                lines = fh.read().splitlines()
        except OSError:
            return None
        if not any("killed by SIGKILL" in ln or "killed by SIGUSR2" in ln for ln in lines):
            return None
        calls = []          # [pid, call, text up to the result, result]
        open_call = {}
        for ln in lines:
            m = re.match(r"^(\d+)\s+(.*)$", ln)
            if not m:
                continue
            pid, rest = m.groups()
            r = re.match(r"^<\.\.\. (fdatasync|fsync|rename) resumed>(.*)$", rest)
            if r and pid in open_call:
                c = open_call.pop(pid)
                c[3] = r.group(2).split("=")[-1].strip()
                continue
            c = re.match(r"^(fdatasync|fsync|rename)\((.*)$", rest)
            if not c:
                continue
            if rest.endswith("<unfinished ...>"):
                calls.append([pid, c.group(1), rest, None])
                open_call[pid] = calls[-1]
            else:
                calls.append([pid, c.group(1), rest, rest.split("=")[-1].strip()])
        if not calls:
            return "no save call seen"
        _, call, text, result = calls[-1]
        if call == "rename":
            m = re.search(r'rename\("[^"]*/([^"/]+)\.[A-Za-z0-9]{6}"', text)
            return "rename of %s (%s)" % (m.group(1) if m else "?",
                                          "before" if result in (None, "?") else "just after")
        m = re.search(r"\(\d+<([^>]*)>", text)
        path = m.group(1) if m else ""
        if os.path.abspath(path) == self.app:
            return "%s of the folder (after a rename)" % call
        # QSaveFile writes into an unnamed file (O_TMPFILE) that gets a name
        # just before the rename: strace names it "#<inode> (deleted)".
        t = TEMP_RE.match(os.path.basename(path))
        return "%s of %s (before the rename)" % (call, t.group(1) if t else "a temporary file")

    # ---- checks ----

    def check_round(self, rnd, at_start, seen, actor, kill_at, termed, closed_normally):
        known_before = {f: set(self.known[f]) for f in FILES}
        # Every version a reader could have found while the program ran: a
        # kill at that moment would have left it.
        for f in FILES:
            for t, data in seen[f]:
                if data is None or sha(data) in self.known[f]:
                    continue
                self.fig.add("versions read while running")
                problem, _ = self.check(f, data)
                if problem:
                    self.fault(rnd, "bad version while running", f, problem, data)
                self.known[f].setdefault(sha(data), "read in round %d" % rnd)

        temps, _, other = self.strays()
        for name in temps:
            if name not in self.temps_seen:
                self.temps_seen.add(name)
                self.fig.add("temporary files left by kills")
        if other:
            self.say("  (other files beside the program: %s)" % ", ".join(other))

        # What is on disk after the kill.
        for f in FILES:
            data = self.read(f)
            if data is None:
                if at_start[f] is not None or self.last_good[f] is not None:
                    self.fig.add("files checked")
                    self.fault(rnd, "lost", f, "the file is gone")
                    self.restore(f)
                continue
            self.fig.add("files checked")
            problem, info = self.check(f, data)
            if problem:
                self.fault(rnd, "bad file", f, problem, data)
                self.restore(f)
                continue
            self.fig.add("files identical to a version seen before" if sha(data) in known_before[f]
                         else "files that are a new complete version")
            before = [d for t, d in seen[f] if d is not None and (kill_at is None or t <= kill_at)]
            problem = self.went_back(f, data, info, at_start[f], before, actor, kill_at, termed,
                                     closed_normally)
            if problem:
                self.fault(rnd, "went back", f, problem, data)   # kept: it is a good file
            self.accept(f, data, "round %d" % rnd)

    def went_back(self, f, data, info, start, before, actor, kill_at, termed, closed_normally):
        """Whether the file lost what was on disk before the kill (before: the
        versions read while the program ran, up to the kill)."""
        last = before[-1] if before else start
        if f == "sim_account.json" and last is not None and last != data:
            _, old = self.check(f, last)
            if old and info["next"] < old["next"]:
                return "next order number went back from %d to %d" % (old["next"], info["next"])
            if old and old["date"] == info["date"]:
                for no, filled in old["filled"].items():
                    if no not in info["filled"]:
                        return "order #%d was on disk and is gone" % no
                    if info["filled"][no] < filled:
                        return "order #%d had %d filled on disk, now %d" % (no, filled, info["filled"][no])
        if f == "draws.json" and last is not None and data != last and kill_at is not None and actor:
            # No drawing input for 2 s before the kill: the file on disk was
            # the last word, and an older one coming back means a lost edit.
            settled = kill_at - actor.last_draw_input > 2.0
            if settled and (data in before[:-1] or data == start):
                return "drawings went back to an earlier version after the edits had settled"
        if f == "hts.ini" and termed and actor and actor.typed:
            # A close that ran to the end saved the settings typed before it;
            # a close killed half way left the old file or a whole new one.
            if closed_normally or data != start:
                _, values = parse_ini(data)
                for k, v in actor.typed.items():
                    got = values.get(("ui", k.lower()))
                    if got != v:
                        return ("[UI] %s is %r; the close %s should have saved %r" %
                                (k, got, "that ran to the end" if closed_normally else "that wrote it", v))
        return None

    # ---- the run ----

    def run(self):
        t0 = now()
        for rnd in range(1, self.args.rounds + 1):
            self.fig.add("rounds")
            self.run_round(rnd)
        # the restart after the last kill
        proc, pid = self.start(self.args.rounds + 1)
        state = self.wait_window(proc)
        self.fig.add("restarts checked")
        if state != "up":
            self.fig.add("failed restarts")
            self.faults.append((self.args.rounds + 1, "failed restart", "-", state))
        else:
            self.take_asides(self.args.rounds + 1, "at the last start")
        if self.alive(proc, pid):
            self.send(pid, signal.SIGTERM)
            try:
                proc.wait(timeout=30)
            except subprocess.TimeoutExpired:
                self.send(pid, signal.SIGKILL)
        self.reap(proc)
        self.report(now() - t0)
        return 1 if self.faults else 0

    def report(self, secs):
        g = self.fig.get
        bad = sum(v for k, v in self.fig.n.items() if k.startswith("fault: ") and k != "fault: close ended badly")
        lines = [
            "",
            "kill test: %d rounds in %.0f min (seed %s)" % (g("rounds"), secs / 60, self.args.seed),
            "  kills (SIGKILL)                  %d" % g("kills"),
            "    during close (after SIGTERM)   %d (hts.ini not yet replaced %d, already replaced %d)" % (
                g("kills during close"), g("kills during close, hts.ini not yet replaced"),
                g("kills during close, hts.ini already replaced")),
            "    during drawing edits           %d" % g("kills during drawing edits"),
            "    with the draw menu open        %d" % g("kills during the draw menu"),
            "    during order placement         %d" % g("kills during order placement"),
            "    during settings changes        %d" % g("kills during settings changes"),
            "    between actions                %d" % g("kills during pauses"),
            "    during start-up                %d" % g("kills during start-up"),
            "  kills injected at a save         %d of %d rounds under strace" % (
                g("kills injected at a save"), g("rounds under strace")),
        ]
        for k in sorted(self.fig.n):
            if k.startswith("kills injected: "):
                lines.append("    %-30s %d" % (k[len("kills injected: "):], self.fig.n[k]))
        lines += [
            "  closes run to the end            %d" % g("closes run to the end"),
            "  files checked after a kill       %d" % g("files checked"),
            "    same as a version seen before  %d" % g("files identical to a version seen before"),
            "    new complete version           %d" % g("files that are a new complete version"),
            "  versions read while running      %d (writes seen: %s)" % (
                g("versions read while running"), ", ".join("%s %d" % (f, g("writes seen: " + f)) for f in FILES)),
            "  bad files                        %d" % bad,
        ]
        for k in sorted(self.fig.n):
            if k.startswith("fault: "):
                lines.append("    %-30s %d" % (k[len("fault: "):], self.fig.n[k]))
        lines += [
            "  temporary files left by kills    %d (still beside the program: %d)" % (
                g("temporary files left by kills"), len(self.strays()[0])),
            "  restarts checked                 %d" % g("restarts checked"),
            "  failed restarts                  %d" % g("failed restarts"),
            "  results                          %s" % self.res,
        ]
        if self.faults:
            lines.append("faults:")
            lines += ["  round %d: %s: %s: %s" % f for f in self.faults]
        text = "\n".join(lines)
        self.say(text)
        with open(os.path.join(self.res, "summary.txt"), "w", encoding="utf-8") as fh:
            fh.write(text + "\n")


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--app", required=True, help="prepared folder holding kestrelhts, Res/ and hts.ini")
    ap.add_argument("--results", required=True)
    ap.add_argument("--rounds", type=int, default=200)
    ap.add_argument("--seed", type=int, default=None)
    ap.add_argument("--no-inject", action="store_true", help="no rounds under strace")
    ap.add_argument("--only", choices=("anytime", "close", "startup", "inject"),
                    help="every round ends this way (to look into one of them)")
    args = ap.parse_args()
    if args.seed is None:
        args.seed = random.randrange(1 << 30)
    os.makedirs(args.results, exist_ok=True)
    sys.exit(KillTest(args).run())


if __name__ == "__main__":
    main()
