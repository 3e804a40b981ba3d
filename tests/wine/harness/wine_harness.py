"""The one way the Wine tests, scripts/run-job, scripts/bench-wine and
scripts/screenshots run Tindrel2.exe: a prefix made by make_prefix(), the
service double on a free loopback port (ServiceDouble), a token cache that
sends the program there (TokenCache), the UI driver (Driver), the program
(Program), and wineserver ended at the close. Run the callers under xvfb-run.

Everything here is bounded: every wait has a time limit, and stop() ends
what was started (the double, the driver, the program, and the prefix's
wineserver).

Which Wine runs is decided here, once per run (choose()): the 32-bit
program under `wine` where this machine runs 32-bit x86 code, else the
x86_64 build of the same sources under `/usr/lib/wine/wine64` in a win64
prefix (TINDREL_WINE_ARCH=64 forces that path anywhere). Every Wine call of
the tests and scripts goes through WINE() and wine_env(); the choice is kept
in the environment, so the processes they start ask no second time.

The shell drivers use it from the command line:
    wine_harness.py choose    the choice as shell assignments (scripts
        eval it): TINDREL_WINE_BITS, TINDREL_WINE (the loader),
        TINDREL_WINE_WHY (a sentence for the summaries) and
        TINDREL_WINE_TOOLCHAIN (the CMake toolchain file of that build)
    wine_harness.py prefix PATH [--arch win32]    makes a prefix
    wine_harness.py with-double --driver UI_DRIVER -- COMMAND...
        runs COMMAND with the double started, the prefix of
        TINDREL_WINEPREFIX given a token cache that points at it (as the
        double's workshop user) and TINDREL_DOUBLE_PORT set; puts the cache
        back and stops the double afterwards
    wine_harness.py double-call METHOD PATH [JSON]    a control call to the
        double of TINDREL_DOUBLE_PORT; prints the reply

A Python test is a body on run_tests() (unittest cases) or Checks (one line
per check): its row in tests/wine/CMakeLists.txt passes each program as
`--TARGET PATH`, read by arguments()."""

import argparse
import errno
import glob
import json
import os
import shlex
import shutil
import subprocess
import sys
import select
import tempfile
import time
import urllib.request

SERVICE_PATH = "/ORVNewPL/Services/Tindrel2Service.svc"
ROOT = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", ".."))
DOUBLE_SCRIPT = os.path.join(ROOT, "tests", "double", "service_double.py")
DATA = os.path.join(ROOT, "tests", "data")
# The cached login of the double's workshop user, after the service address
# line; {date} is the user's short date for 2030-12-31.
TOKEN_FIELDS = "Testverkstedet AS\t4242\tverksted\t7\t{date}\tSIG-verksted-1"
QUIET = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

# Where the cross tree puts the programs that the harness's callers run.
PROGRAMS = {
    "Tindrel2": ("app", "Tindrel2.exe"),
    "ui_driver": ("tests", "wine", "harness", "ui_driver.exe"),
    "com_probe": ("tests", "wine", "harness", "com_probe.exe"),
    "trust_ca": ("tests", "wine", "harness", "trust_ca.exe"),
    "floor_server": ("tests", "bench", "wine", "floor_server.exe"),
    "bench_wine": ("tests", "bench", "wine", "bench_wine.exe"),
}

# Class names and control IDs of the program's windows (app/main_form.h,
# app/login_form.h); message boxes and the login dialog are dialogs.
DIALOG = "#32770"
MAIN_CLASS = "Tindrel2MainForm"
MAIN_TITLE = "Tindrel 2.0"
LOGGED_IN_LABEL, USERNAME_LABEL, COMPANY_LABEL, MAIN_LOGIN_BUTTON, REGISTRER_BUTTON = (
    101, 102, 103, 104, 105)
LOGIN_USER, LOGIN_PASSWORD, LOGIN_USER_LABEL, LOGIN_PASSWORD_LABEL, LOGIN_BUTTON = (
    1001, 1002, 1003, 1004, 1)
VK_RETURN, VK_ESCAPE = 13, 27


class HarnessError(Exception):
    pass


# Debian's wrappers (wine, wineboot, winepath, ...) exec the 32-bit loader
# whenever wine32 is installed, even for a 64-bit program; on a machine
# that runs no 32-bit code the 64-bit loader must be called by its path.
I386_LOADER = "/usr/lib/wine/wine"
WINE64_LOADER = "/usr/lib/wine/wine64"


def runs_i386():
    """Whether this machine runs 32-bit x86 code: some kernels refuse every
    i386 program (execve fails with ENOEXEC), Wine's 32-bit loader too."""
    try:
        subprocess.run([I386_LOADER, "--version"], timeout=60, **QUIET)
        return True
    except OSError as e:
        if e.errno in (errno.ENOEXEC, errno.ENOENT):
            return False
        raise


def choose():
    """(bits, loader, why): which build the Windows tests run and under
    which Wine loader. Asked once; kept in os.environ for the processes
    started afterwards."""
    bits = os.environ.get("TINDREL_WINE_BITS")
    if bits in ("32", "64") and os.environ.get("TINDREL_WINE"):
        return bits, os.environ["TINDREL_WINE"], os.environ.get("TINDREL_WINE_WHY", "")
    forced = os.environ.get("TINDREL_WINE_ARCH", "")
    if forced not in ("", "32", "64"):
        raise HarnessError("TINDREL_WINE_ARCH must be 32 or 64, not %r" % forced)
    native = runs_i386()
    if forced == "32" and not native:
        raise HarnessError("TINDREL_WINE_ARCH=32, but this machine runs no 32-bit x86 code")
    if forced == "64":
        bits, why = "64", "TINDREL_WINE_ARCH=64: the x86_64 build runs under 64-bit Wine"
    elif native:
        bits, why = "32", ("this machine runs 32-bit x86 code: the 32-bit build, the one "
                           "shipped, runs under Wine")
    else:
        bits, why = "64", ("this machine runs no 32-bit x86 code: the x86_64 build of the same "
                           "sources runs under 64-bit Wine")
    loader = "wine" if bits == "32" else WINE64_LOADER
    os.environ.update(TINDREL_WINE_BITS=bits, TINDREL_WINE=loader, TINDREL_WINE_WHY=why)
    return bits, loader, why


def bits():
    """"32" or "64": the bitness of the Windows build the tests run."""
    return choose()[0]


def toolchain():
    """The CMake toolchain file of the build the tests run."""
    return os.path.join(ROOT, "cmake", "mingw-i686.cmake" if bits() == "32"
                        else "mingw-x86_64.cmake")


def WINE(*args):
    """The command line that runs a Windows program (or one of Wine's own
    tools: "wineboot", "winepath", "reg", ...) with the chosen loader."""
    return [choose()[1]] + list(args)


def wine_env(prefix):
    env = dict(os.environ)
    env.update(WINEPREFIX=prefix, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=",
               LANG="C.UTF-8", LC_ALL="C.UTF-8")
    if bits() == "64":
        # Processes that Wine itself starts (a COM server activated by a
        # client, a program opened through its association) use this loader.
        env.update(WINELOADER=WINE64_LOADER, WINEARCH="win64")
    return env


def program(build, name):
    """The path of a program of PROGRAMS in the cross tree `build`."""
    return os.path.join(build, *PROGRAMS[name])


def wineserver(env, *switches):
    """wineserver with each switch in turn: -k ends everything in the
    prefix, -p keeps one server for the next programs, -w waits for its end."""
    for switch in switches:
        subprocess.run(["wineserver", switch], env=env, timeout=120, **QUIET)


def run(env, *args, timeout=60, check=False):
    """A Windows program (or Wine tool) run to its end, its output kept:
    the CompletedProcess; `check` raises when it fails."""
    return subprocess.run(WINE(*args), env=env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL, timeout=timeout, check=check)


def wine(env, *args, timeout=120):
    """A Windows program run to its end: (exit code, output without CRs)."""
    r = run(env, *args, timeout=timeout)
    return r.returncode, r.stdout.decode("utf-8", "replace").replace("\r", "")


def read_line(proc, timeout, what):
    """One line of `proc`'s output, or HarnessError after `timeout` seconds
    or at its end (`what` names it in the error)."""
    line = b""
    deadline = time.monotonic() + timeout
    fd = proc.stdout.fileno()
    while not line.endswith(b"\n"):
        left = deadline - time.monotonic()
        if left <= 0 or not select.select([fd], [], [], left)[0]:
            raise HarnessError("%s gave no answer" % what)
        chunk = os.read(fd, 1)
        if not chunk:
            raise HarnessError("%s ended" % what)
        line += chunk
    return line.decode("utf-8").rstrip("\r\n")


class Probe:
    """com_probe.exe (tests/wine/harness/com_probe.cpp) in the background: its
    answer lines, read with a time limit, and lines sent to its stdin to
    release its waiting steps."""

    def __init__(self, exe, env, workdir, *steps):
        self.stderr = open(os.path.join(workdir, "probe.stderr"), "ab")
        self.proc = subprocess.Popen(WINE(exe, *steps), env=env, stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=self.stderr)
        self.lines = []

    def line(self, timeout=60):
        try:
            text = read_line(self.proc, timeout, "com_probe")
        except HarnessError as e:
            raise HarnessError("%s; so far: %r" % (e, self.lines))
        self.lines.append(text)
        return text

    def send(self, text=""):
        self.proc.stdin.write((text + "\n").encode("utf-8"))
        self.proc.stdin.flush()

    def finish(self, timeout=60):
        """The remaining answer lines once the probe has ended."""
        try:
            out, _ = self.proc.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.kill()
            raise HarnessError("com_probe did not end; so far: %r" % self.lines)
        rest = out.decode("utf-8").replace("\r", "").splitlines()
        self.lines += rest
        self.stderr.close()
        return rest

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        if not self.stderr.closed:
            self.stderr.close()


def make_prefix(path=None, arch=None, tag="prefix"):
    """A new Wine prefix (in a new temporary folder unless `path` is given)
    and its environment. The desktop process that wineboot leaves behind
    without a display ends here: it would own the desktop, and no window of
    a later program would reach the screen."""
    made = path is None
    if made:
        path = tempfile.mkdtemp(prefix="tindrel-%s." % tag)
    env = wine_env(path)
    if arch:
        env["WINEARCH"] = arch
    r = subprocess.run(WINE("wineboot", "-i"), env=env, timeout=300, stdin=subprocess.DEVNULL,
                       stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    wineserver(env, "-k")
    if r.returncode != 0:
        if made:
            shutil.rmtree(path, ignore_errors=True)
        raise HarnessError("wineboot failed:\n" + r.stdout.decode("utf-8", "replace")[-2000:])
    return path, env


def remove_prefix(path, env=None):
    """Ends everything in the prefix and removes it."""
    wineserver(env or wine_env(path), "-k")
    shutil.rmtree(path, ignore_errors=True)


class TokenCache:
    """The token cache of the prefix's user; put back as found by restore()."""

    def __init__(self, prefix):
        self.path = os.path.join(roaming_folder(prefix), "ORV_AS", "Tindrel2.dat")
        self.folder_made = not os.path.isdir(os.path.dirname(self.path))
        self.saved = self.read()

    def read(self):
        try:
            with open(self.path, "rb") as f:
                return f.read()
        except FileNotFoundError:
            return None

    def write(self, content):
        """Bytes or text (Latin-1) as the cache; None removes it."""
        if content is None:
            if os.path.exists(self.path):
                os.remove(self.path)
            return
        os.makedirs(os.path.dirname(self.path), exist_ok=True)
        with open(self.path, "wb") as f:
            f.write(content if isinstance(content, bytes) else content.encode("latin-1"))

    def logged_in(self, address, short_date):
        """A cache that sends the program to `address`, logged in as the
        double's workshop user until 2030-12-31 (`short_date`)."""
        self.write(address + "\r\n" + TOKEN_FIELDS.format(date=short_date))

    def restore(self):
        self.write(self.saved)
        if self.saved is None and self.folder_made:
            try:
                os.rmdir(os.path.dirname(self.path))
            except OSError:
                pass


def start_run(tag):
    """The prefix of TINDREL_WINEPREFIX, a new work folder and the Wine
    environment for a run of tests. Whatever still runs in the prefix ends
    first (the desktop process of a wineboot made without a display would own
    the desktop, and no window of ours would reach the screen); then one
    wineserver serves the whole run, so that each program starts fast."""
    prefix = os.environ.get("TINDREL_WINEPREFIX")
    if not prefix:
        raise HarnessError("TINDREL_WINEPREFIX is not set")
    work = tempfile.mkdtemp(prefix="tindrel-%s." % tag)
    env = wine_env(prefix)
    wineserver(env, "-k", "-p")
    return prefix, work, env


class ServiceDouble:
    """The double on loopback, on a free port."""

    def __init__(self, script=DOUBLE_SCRIPT, workdir=None):
        if workdir is None:
            raise HarnessError("ServiceDouble needs a work folder")
        self.port_file = os.path.join(workdir, "double.port")
        self.log_file = os.path.join(workdir, "double.log")
        self.stderr = open(os.path.join(workdir, "double.stderr"), "w")
        if os.path.exists(self.port_file):
            os.remove(self.port_file)
        self.proc = subprocess.Popen(
            ["python3", script, "--port", "0", "--port-file", self.port_file,
             "--log", self.log_file],
            stdout=subprocess.DEVNULL, stderr=self.stderr, stdin=subprocess.DEVNULL)
        deadline = time.monotonic() + 15
        while not os.path.exists(self.port_file):
            if self.proc.poll() is not None or time.monotonic() > deadline:
                raise HarnessError("the service double did not start")
            time.sleep(0.05)
        with open(self.port_file) as f:
            self.port = int(f.read().strip())
        self.base = "http://127.0.0.1:%d" % self.port
        self.address = self.base + SERVICE_PATH

    def _call(self, method, path, body=None):
        data = json.dumps(body).encode() if body is not None else None
        if data is None and method == "POST":
            data = b""
        req = urllib.request.Request(self.base + path, data=data, method=method,
                                     headers={"Content-Type": "application/json"})
        with urllib.request.urlopen(req, timeout=10) as reply:
            return json.loads(reply.read().decode("utf-8"))

    def log(self):
        return self._call("GET", "/log")

    def operations(self):
        return [e["operation"] for e in self.log()]

    def reset(self):
        self._call("POST", "/control", {"fault": None})
        self._call("POST", "/reset-log")

    def control(self, **switches):
        return self._call("POST", "/control", switches)

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.stderr.close()


def params(entry):
    """A logged request's parameters as a dict (records as nested dicts)."""
    def convert(value):
        if isinstance(value, list) and all(isinstance(p, list) and len(p) == 2 for p in value):
            return {k: convert(v) for k, v in value}
        return value
    return convert(entry["params"])


class Driver:
    """tests/wine/harness/ui_driver.cpp, one process for a whole run."""

    def __init__(self, exe, env, workdir):
        self.stderr = open(os.path.join(workdir, "driver.stderr"), "w")
        self.proc = subprocess.Popen(WINE(exe), env=env, stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=self.stderr)
        if self._read(60) != "ready":
            raise HarnessError("the UI driver did not start")

    def _read(self, timeout):
        return read_line(self.proc, timeout, "the UI driver")

    def ask(self, *fields, timeout=60):
        self.proc.stdin.write(("\t".join(str(f) for f in fields) + "\n").encode("utf-8"))
        self.proc.stdin.flush()
        answer = self._read(timeout).split("\t", 1)
        if answer[0] != "ok":
            return None
        return answer[1] if len(answer) > 1 else ""

    @staticmethod
    def unescape(s):
        out, i = [], 0
        while i < len(s):
            if s[i] == "\\" and i + 1 < len(s):
                out.append({"n": "\n", "r": "\r", "t": "\t"}.get(s[i + 1], s[i + 1]))
                i += 2
            else:
                out.append(s[i])
                i += 1
        return "".join(out)

    def find(self, cls, title, timeout_ms=20000):
        return self.ask("find", cls, title, timeout_ms, timeout=timeout_ms / 1000 + 30)

    def exists(self, cls, title, timeout_ms=20000):
        """(hwnd, visible) of a window shown or not; None when there is none."""
        value = self.ask("exists", cls, title, timeout_ms, timeout=timeout_ms / 1000 + 30)
        if value is None:
            return None
        hwnd, visible = value.split("\t")
        return hwnd, visible == "1"

    def gone(self, hwnd, timeout_ms=10000):
        return self.ask("gone", hwnd, timeout_ms, timeout=timeout_ms / 1000 + 30) is not None

    def text(self, hwnd, control):
        value = self.ask("text", hwnd, control)
        return None if value is None else self.unescape(value)

    def visible(self, hwnd, control):
        return self.ask("visible", hwnd, control) == "1"

    def type(self, hwnd, control, text):
        return self.ask("type", hwnd, control, text) is not None

    def key(self, hwnd, control, vk):
        return self.ask("key", hwnd, control, vk) is not None

    def click(self, hwnd, control):
        return self.ask("click", hwnd, control) is not None

    def close(self, hwnd):
        return self.ask("close", hwnd) is not None

    def dialog(self, hwnd):
        value = self.ask("dialog", hwnd)
        if value is None:
            return None
        left, top, topmost, focus, mask = value.split("\t")
        return {"left": int(left), "top": int(top), "topmost": topmost == "1",
                "focus": int(focus), "mask": mask}

    def message(self, hwnd):
        value = self.ask("message", hwnd)
        return None if value is None else self.unescape(value)

    def windows(self):
        """Visible top-level windows as (class, title), for failure reports."""
        value = self.ask("windows") or ""
        return [tuple(self.unescape(w).split("|", 1)) for w in value.split(";") if w]

    def short_date(self, year, month, day):
        return self.ask("date", year, month, day)

    def stop(self):
        if self.proc.poll() is None:
            try:
                self.proc.stdin.write(b"quit\n")
                self.proc.stdin.flush()
                self.proc.wait(10)
            except (OSError, subprocess.TimeoutExpired):
                self.proc.kill()
                self.proc.wait()
        self.stderr.close()


class Program:
    """One run of Tindrel2.exe."""

    def __init__(self, exe, env, workdir, args=()):
        self.out = open(os.path.join(workdir, "program.out"), "ab")
        self.proc = subprocess.Popen(WINE(exe, *args), env=env,
                                     stdin=subprocess.DEVNULL, stdout=self.out,
                                     stderr=subprocess.STDOUT)

    def wait(self, timeout=30):
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def running(self):
        return self.proc.poll() is None

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        self.out.close()


def roaming_folder(prefix):
    """The prefix user's roaming application data (after a first Wine start)."""
    pattern = os.path.join(prefix, "drive_c", "users", "*", "AppData", "Roaming")
    found = [p for p in glob.glob(pattern) if os.sep + "Public" + os.sep not in p]
    if not found:
        raise HarnessError("no roaming application data folder in " + prefix)
    return found[0]


def windows_path(path):
    """A Linux path as Wine's Z: drive names it."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def short_date(driver_exe, env, workdir):
    """The prefix user's short date for 2030-12-31, from the UI driver."""
    driver = Driver(driver_exe, env, workdir)
    try:
        date = driver.short_date(2030, 12, 31)
    finally:
        driver.stop()
    if not date:
        raise HarnessError("no short date from the UI driver")
    return date


def arguments(argv=None):
    """A test's command line as its row in tests/wine/CMakeLists.txt writes
    it: each `--NAME VALUE` as attribute NAME (the programs by target name:
    .Tindrel2, .ui_driver, .com_probe; dashes read as underscores), the other
    words in .rest (for run_tests: the cases to run)."""
    args = argparse.Namespace(rest=[])
    words = list(sys.argv[1:] if argv is None else argv)
    while words:
        word = words.pop(0)
        if word.startswith("--") and words:
            setattr(args, word[2:].replace("-", "_"), words.pop(0))
        else:
            args.rest.append(word)
    return args


def _cases(suite):
    import unittest
    for t in suite:
        if isinstance(t, unittest.TestSuite):
            yield from _cases(t)
        else:
            yield t


def run_tests(module="__main__", context=None):
    """The main of a unittest body: the module's ARGS set from arguments(),
    its CTX made by `context()` before the first case and stopped after the
    last (when given), the cases run (only those whose id holds one of the
    further words, when there are any), "N passed, M failed" printed; the
    exit code."""
    import unittest  # here: `choose`, which scripts/wine-run may run for each call, stays quick
    mod = sys.modules[module]
    mod.ARGS = arguments()
    if context:
        mod.CTX = context()
    try:
        suite = unittest.defaultTestLoader.loadTestsFromModule(mod)
        if mod.ARGS.rest:
            suite = unittest.TestSuite(t for t in _cases(suite)
                                       if any(r in t.id() for r in mod.ARGS.rest))
        result = unittest.TextTestRunner(verbosity=2, stream=sys.stdout).run(suite)
    finally:
        if context:
            mod.CTX.stop()
    failed = len(result.failures) + len(result.errors)
    print("%d passed, %d failed" % (result.testsRun - failed, failed))
    return 0 if result.wasSuccessful() else 1


class Checks:
    """The checks of a body that is no unittest: one line each, counted."""

    def __init__(self):
        self.passed = self.failed = 0

    def check(self, what, ok, detail=""):
        print("%-4s %s%s" % ("ok" if ok else "FAIL", what, (": " + detail) if detail else ""))
        sys.stdout.flush()
        if ok:
            self.passed += 1
        else:
            self.failed += 1
        return ok

    def summary(self):
        """Prints "N passed, M failed"; the exit code."""
        print("%d passed, %d failed" % (self.passed, self.failed))
        return 0 if self.failed == 0 else 1


def _with_double(args):
    prefix = os.environ.get("TINDREL_WINEPREFIX")
    if not prefix:
        raise HarnessError("TINDREL_WINEPREFIX is not set")
    work = tempfile.mkdtemp(prefix="tindrel-with-double.")
    env = wine_env(prefix)
    double = ServiceDouble(DOUBLE_SCRIPT, work)
    cache = None
    try:
        cache = TokenCache(prefix)
        cache.logged_in(double.address, short_date(args.driver, env, work))
        child_env = dict(os.environ, TINDREL_DOUBLE_PORT=str(double.port))
        return subprocess.run(args.command, env=child_env).returncode
    finally:
        if cache:
            cache.restore()
        double.stop()
        shutil.rmtree(work, ignore_errors=True)


def _double_call(args):
    port = os.environ.get("TINDREL_DOUBLE_PORT")
    if not port:
        raise HarnessError("TINDREL_DOUBLE_PORT is not set")
    data = args.body.encode() if args.method == "POST" else None
    req = urllib.request.Request("http://127.0.0.1:%s%s" % (port, args.path), data=data,
                                 method=args.method, headers={"Content-Type": "application/json"})
    with urllib.request.urlopen(req, timeout=10) as reply:
        sys.stdout.write(reply.read().decode("utf-8"))
    return 0


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    sub = ap.add_subparsers(dest="what", required=True)
    sub.add_parser("choose")
    p = sub.add_parser("prefix")
    p.add_argument("path")
    p.add_argument("--arch")
    p = sub.add_parser("with-double")
    p.add_argument("--driver", required=True)
    p.add_argument("command", nargs="+")
    p = sub.add_parser("double-call")
    p.add_argument("method")
    p.add_argument("path")
    p.add_argument("body", nargs="?", default="")
    args = ap.parse_args(argv)
    try:
        if args.what == "choose":
            b, loader, why = choose()
            print("TINDREL_WINE_BITS=%s\nTINDREL_WINE=%s\nTINDREL_WINE_WHY=%s\n"
                  "TINDREL_WINE_TOOLCHAIN=%s" % (b, shlex.quote(loader), shlex.quote(why),
                                                shlex.quote(toolchain())))
            return 0
        if args.what == "prefix":
            make_prefix(args.path, args.arch)
            return 0
        if args.what == "with-double":
            return _with_double(args)
        return _double_call(args)
    except HarnessError as e:
        print("wine_harness: %s" % e, file=sys.stderr)
        return 1


if __name__ == "__main__":
    sys.exit(main())
