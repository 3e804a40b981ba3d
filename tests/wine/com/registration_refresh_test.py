"""The registration refresh of elevated starts, under Wine (where every
start is elevated): a broken or stale registration is repaired by one
start, a current one is left untouched, /UNREGSERVER takes the ".orv"
association of this program along, and a client activating throughout
never finds the class missing.

    registration_refresh_test.py --Tindrel2 Tindrel2.exe --activation_loop activation_loop.exe
"""

import os
import re
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "harness"))
import wine_harness as h  # noqa: E402

BIL = "Tindrel2.ORV_Bil"
STALE = BIL + ".1"


class Run(h.Checks):
    def __init__(self, exe):
        super().__init__()
        self.exe = exe
        self.prefix, self.work, self.env = h.start_run("registration")

    def wine(self, *args):
        return h.wine(self.env, *args, timeout=60)

    def reg(self, key, value=""):
        """A value's data (the default for ""), None when key or value is missing."""
        rc, out = self.wine("reg", "query", key, *(["/ve"] if value == "" else ["/v", value]))
        if rc != 0:
            return None
        for line in out.splitlines():
            parts = line.strip().split(None, 2)
            if len(parts) >= 2 and parts[1].startswith("REG_"):
                return parts[2] if len(parts) == 3 else ""
        return None

    def exists(self, key):
        return self.wine("reg", "query", key)[0] == 0

    def start(self, *args):
        """One start of the program that ends by itself; its exit code."""
        program = h.Program(self.exe, self.env, self.work, args)
        try:
            return program.wait(60)
        finally:
            program.kill()

    def flushed_entries(self, names):
        """The sections of the prefix's machine registry whose key names one
        of `names`, with their modification times, as Wine saves them when
        its server ends."""
        h.wineserver(self.env, "-k")
        with open(os.path.join(self.prefix, "system.reg"), encoding="latin-1") as f:
            text = f.read()
        sections = {}
        for block in re.split(r"\n(?=\[)", text):
            head = block.split("]", 1)[0].lower()
            if any(n.lower() in head for n in names):
                sections[head] = block
        return sections


def main():
    a = h.arguments()
    r = Run(a.Tindrel2)
    client = None
    try:
        r.start("/UNREGSERVER")
        r.start("/REGSERVER")
        clsid = r.reg(r"HKCR\%s\CLSID" % BIL)
        key = r"HKCR\CLSID\%s" % clsid
        server = r.reg(key + r"\LocalServer32")
        libid = r.reg(key + r"\TypeLib")
        r.check("/REGSERVER registers the class", bool(clsid and libid and server
                                                        and "Tindrel2.exe" in server), server)

        # The client holds a server up (so the starts below end at its
        # mutex right after their refresh) and activates all along.
        client = subprocess.Popen(h.WINE(a.activation_loop, BIL), env=r.env, stdin=subprocess.PIPE,
                                  stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        r.check("the client activates", client.stdout.readline().strip() == "ready")

        def repaired(what, breaks, fixed):
            for args in breaks:
                r.wine("reg", *args)
            rc = r.start()
            r.check("one elevated start repairs " + what, rc == 0 and fixed(), "exit %s" % rc)

        repaired("a deleted key", [("delete", key + r"\LocalServer32", "/f")],
                 lambda: r.reg(key + r"\LocalServer32") == server)
        repaired("a LocalServer32 naming another path",
                 [("add", key + r"\LocalServer32", "/ve", "/d", r'"C:\gammel\Tindrel2.exe"',
                   "/f")], lambda: r.reg(key + r"\LocalServer32") == server)
        repaired("a stale ProgID",
                 [("add", key + r"\ProgID", "/ve", "/d", STALE, "/f"),
                  ("add", r"HKCR\%s\CLSID" % STALE, "/ve", "/d", clsid, "/f")],
                 lambda: r.reg(key + r"\ProgID") == BIL and not r.exists(r"HKCR\%s" % STALE)
                 and r.reg(r"HKCR\%s\CLSID" % BIL) == clsid)
        starts = 15
        codes = [r.start() for _ in range(starts)]
        client.stdin.write("stop\n")
        client.stdin.flush()
        out = client.communicate(timeout=60)[0]
        counts = dict(re.findall(r"(\w+)=(\d+)", out))
        r.check("a client activating throughout %d elevated starts never fails" % (starts + 3),
                codes == [0] * starts and int(counts.get("iterations", 0)) > 0
                and counts.get("failures") == "0", out.strip().replace("\n", "; "))
        client = None

        # Current: a start writes nothing (the keys' modification times stay).
        names = [clsid, libid, BIL, ".orv", "TindrelORV.Document"]
        before = r.flushed_entries(names)
        rc = r.start("/REGSERVER")
        after = r.flushed_entries(names)
        changed = sorted(k for k in set(before) | set(after) if before.get(k) != after.get(k))
        r.check("a start over a current registration writes nothing",
                rc == 0 and len(before) > 10 and not changed,
                "%d keys, changed: %s" % (len(before), ", ".join(changed[:5])))

        command = r"HKCR\TindrelORV.Document\shell\open\command"
        ours = r.reg(command)
        r.wine("reg", "add", command, "/ve", "/d", r'"C:\annet\program.exe" "%1"', "/f")
        r.start("/UNREGSERVER")
        r.check("/UNREGSERVER leaves an association that opens another program",
                r.reg(r"HKCR\.orv") == "TindrelORV.Document" and not r.exists(key))
        r.start("/REGSERVER")
        r.check("an elevated start writes the association back", r.reg(command) == ours, ours)
        rc = r.start("/UNREGSERVER")
        left = [k for k in (key, r"HKCR\%s" % BIL, r"HKCR\TypeLib\%s" % libid, r"HKCR\.orv",
                            r"HKCR\TindrelORV.Document") if r.exists(k)]
        r.check("/UNREGSERVER removes the classes and this program's association",
                rc == 0 and not left, ", ".join(left))
    except (h.HarnessError, subprocess.TimeoutExpired, OSError) as e:
        r.check("the run", False, str(e))
    finally:
        if client:
            client.kill()
        h.wineserver(r.env, "-k")
        shutil.rmtree(r.work, ignore_errors=True)
    return r.summary()


if __name__ == "__main__":
    sys.exit(main())
