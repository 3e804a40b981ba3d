"""Running Tindrel2.exe under Wine against the service double, for the
end-to-end tests and scripts/run-job.

Everything here is bounded: every wait has a time limit, and stop() ends
what was started (the double, the driver, the program, and the prefix's
wineserver)."""

import glob
import json
import os
import subprocess
import tempfile
import time
import urllib.request

SERVICE_PATH = "/ORVNewPL/Services/Tindrel2Service.svc"

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


def wine_env(prefix):
    env = dict(os.environ)
    env.update(WINEPREFIX=prefix, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=",
               LANG="C.UTF-8", LC_ALL="C.UTF-8")
    return env


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
    for switch in ("-k", "-p"):
        subprocess.run(["wineserver", switch], env=env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)
    return prefix, work, env


class ServiceDouble:
    """The double on loopback, on a free port."""

    def __init__(self, script, workdir):
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
    """tests/e2e/ui_driver.cpp, one process for a whole run."""

    def __init__(self, exe, env, workdir):
        self.stderr = open(os.path.join(workdir, "driver.stderr"), "w")
        self.proc = subprocess.Popen(["wine", exe], env=env, stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=self.stderr)
        if self._read(60) != "ready":
            raise HarnessError("the UI driver did not start")

    def _read(self, timeout):
        import select
        line = b""
        deadline = time.monotonic() + timeout
        fd = self.proc.stdout.fileno()
        while not line.endswith(b"\n"):
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([fd], [], [], left)[0]:
                raise HarnessError("the UI driver did not answer")
            chunk = os.read(fd, 1)
            if not chunk:
                raise HarnessError("the UI driver ended")
            line += chunk
        return line.decode("utf-8").rstrip("\r\n")

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
        self.proc = subprocess.Popen(["wine", exe] + list(args), env=env,
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
