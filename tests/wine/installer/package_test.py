#!/usr/bin/env python3
"""The setup program under Wine, in a new prefix of its own: built by
scripts/package from this tree's program and signed with a throw-away
certificate, installed silently, used by an automation client and through
the .orv association, upgraded in place while the program runs, and removed
by its quiet uninstall. The signatures of the setup and of the files it
installs are checked against the throw-away root with osslsigncode; a
package built without a certificate must say it is unsigned.

    package_test.py --build <cross tree>

Needs a display (xvfb-run). Prints one line per check and "N passed, M failed"."""

import hashlib
import os
import secrets
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "harness"))
import wine_harness as h  # noqa: E402

UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tindrel2"
ARGS = None
# The 32-bit setup (the one shipped) installs into Program Files (x86) and
# writes the 32-bit registry view; the setup of the 64-bit test build, built
# where 32-bit code cannot run, uses the native ones.
PROGRAM_FILES = {"32": r"\Program Files (x86)\Tindrel 2.0", "64": r"\Program Files\Tindrel 2.0"}


def wait_until(condition, seconds):
    deadline = time.monotonic() + seconds
    while not condition():
        if time.monotonic() > deadline:
            return False
        time.sleep(0.25)
    return True


class Prefix:
    def __init__(self, work):
        self.path, self.env = h.make_prefix(tag="package-wine")
        h.wineserver(self.env, "-p")

    def run(self, *args, timeout=180):
        return h.wine(self.env, *args, timeout=timeout)

    def reg(self, key, value=None):
        """A value's data (the default value for "") in the view the program
        and the setup write; None when the key or value is missing."""
        args = ["reg", "query", key, "/reg:" + h.bits()]
        args += ["/ve"] if value == "" else ["/v", value] if value else []
        rc, out = self.run(*args)
        if rc != 0:
            return None
        if value is None:
            return out
        for line in out.splitlines():
            parts = line.strip().split(None, 2)
            if len(parts) == 3 and parts[1].startswith("REG_"):
                return parts[2]
        return ""

    def unix(self, windows_path):
        rc, out = self.run("winepath", "-u", windows_path)
        return out.strip() if rc == 0 else None

    def stop(self):
        h.remove_prefix(self.path, self.env)


def run(args, env=None):
    """(exit code, output) of a Linux command."""
    r = subprocess.run(args, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                       stderr=subprocess.STDOUT, timeout=600)
    return r.returncode, r.stdout.decode("utf-8", "replace").strip()


class Certificate:
    """A throw-away CA and a code-signing certificate that it issued, with
    its key in a PFX (the CA certificate goes along, as in a bought one)
    under a random password. Verified against the CA as the only trusted
    root, a signature shows that it was made with this PFX."""

    def __init__(self, work):
        self.ca = os.path.join(work, "test-ca.pem")
        self.pfx = os.path.join(work, "test-signing.pfx")
        self.env = dict(os.environ, TINDREL_SIGN_PASSWORD=secrets.token_hex(12))
        key, ca_key, leaf = (os.path.join(work, n) for n in ("leaf.key", "ca.key", "leaf.pem"))
        extensions = os.path.join(work, "leaf.ext")
        with open(extensions, "w") as f:
            f.write("basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\n"
                    "extendedKeyUsage=codeSigning\n")
        for args in (
                ["req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", ca_key, "-out", self.ca,
                 "-days", "2", "-subj", "/CN=Tindrel test CA",
                 "-addext", "basicConstraints=critical,CA:TRUE",
                 "-addext", "keyUsage=critical,keyCertSign"],
                ["req", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", leaf + ".csr",
                 "-subj", "/CN=Tindrel test signer"],
                ["x509", "-req", "-in", leaf + ".csr", "-CA", self.ca, "-CAkey", ca_key,
                 "-CAcreateserial", "-days", "2", "-extfile", extensions, "-out", leaf],
                ["pkcs12", "-export", "-inkey", key, "-in", leaf, "-certfile", self.ca,
                 "-passout", "env:TINDREL_SIGN_PASSWORD", "-out", self.pfx]):
            rc, out = run(["openssl"] + args, self.env)
            if rc != 0:
                raise h.HarnessError("openssl %s: %s" % (args[0], out[-500:]))

    def signed(self, path):
        """Whether `path` carries a valid SHA-256 Authenticode signature that
        chains to the test CA."""
        rc, out = run(["osslsigncode", "verify", "-CAfile", self.ca, "-in", path])
        return rc == 0 and "Message digest algorithm  : SHA256" in out


def build_package(work, certificate=None):
    """(path of the setup or None, what scripts/package printed)."""
    out = os.path.join(work, "package" if certificate else "unsigned")
    args = [os.path.join(h.ROOT, "scripts", "package"), "--build", ARGS.build, "--out", out]
    if certificate:
        args += ["--sign-pfx", certificate.pfx]
    rc, printed = run(args, certificate.env if certificate else None)
    return (printed.splitlines()[-1] if rc == 0 and printed else None), printed


def digest(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def main():
    global ARGS
    ARGS = h.arguments()
    ARGS.build = os.path.abspath(ARGS.build)
    checks = h.Checks()
    work = tempfile.mkdtemp(prefix="tindrel-package.")
    prefix = double = driver = program = None
    try:
        certificate = Certificate(work)
        built = digest(h.program(ARGS.build, "Tindrel2"))
        package, printed = build_package(work, certificate)
        if not checks.check("scripts/package builds the signed setup",
                            package and os.path.isfile(package),
                            package if package else printed[-2000:]):
            return 1
        checks.check("the setup is signed with the given certificate, the build tree's "
                     "program left as it was", certificate.signed(package)
                     and digest(h.program(ARGS.build, "Tindrel2")) == built)
        plain, printed = build_package(work)
        rc, out = run(["osslsigncode", "verify", "-in", str(plain)])
        checks.check("without a certificate the setup is built unsigned, as it says",
                     plain and printed.splitlines()[-2:-1] == ["package: unsigned (no --sign-pfx)"]
                     and "No signature found" in out, str(plain))
        prefix = Prefix(work)
        double = h.ServiceDouble(h.DOUBLE_SCRIPT, work)
        driver = h.Driver(h.program(ARGS.build, "ui_driver"),
                          prefix.env, work)
        setup = h.windows_path(package)

        rc, _ = prefix.run(setup, "/S")
        location = prefix.reg(UNINSTALL_KEY, "InstallLocation")
        installed = location and prefix.unix(location + r"\Tindrel2.exe")
        checks.check("silent install", rc == 0 and installed and os.path.isfile(installed),
                     "exit %s, %s" % (rc, location))
        if not installed:
            return 1
        exe = location + r"\Tindrel2.exe"
        checks.check("into " + PROGRAM_FILES[h.bits()][1:], PROGRAM_FILES[h.bits()] in location,
                     location)
        unsigned = [n for n in ("Tindrel2.exe", "uninstall.exe")
                    if not certificate.signed(os.path.join(os.path.dirname(installed), n))]
        checks.check("the installed Tindrel2.exe and uninstall.exe are the signed ones",
                     not unsigned, unsigned and "not signed: " + ", ".join(unsigned))
        checks.check("Add/Remove Programs entry with a quiet uninstall",
                     prefix.reg(UNINSTALL_KEY, "QuietUninstallString")
                     == '"%s\\uninstall.exe" /S' % location
                     and prefix.reg(UNINSTALL_KEY, "DisplayVersion") not in (None, ""))
        clsid = prefix.reg(r"HKCR\Tindrel2.ORV_Bil\CLSID", "")
        libid = clsid and prefix.reg(r"HKCR\CLSID\%s\TypeLib" % clsid, "")
        server = clsid and prefix.reg(r"HKCR\CLSID\%s\LocalServer32" % clsid, "")
        checks.check("the classes name the installed copy", server == '"%s"' % exe,
                     "%s %s" % (clsid, server))

        # A workshop program and a dealer system, with a cached login.
        cache = h.TokenCache(prefix.path)
        cache.logged_in(double.address, driver.short_date(2030, 12, 31))
        cached = cache.read()
        probe = h.program(ARGS.build, "com_probe")
        rc, out = prefix.run(probe, "create", "Tindrel2.ORV_Bil", "call", "Finn", "AB12345",
                             "get", "Merke", "release", "waitend", "20000")
        checks.check("a client creates Tindrel2.ORV_Bil", "get ok Motorverket" in out,
                     " | ".join(out.splitlines()))

        job = os.path.join(work, "jobb fra forhandler.orv")
        shutil.copy(os.path.join(h.DATA, "sample-job.orv"), job)
        double.reset()
        prefix.run("start", "/unix", job)
        saved = wait_until(lambda: double.operations() == ["SaveCustomer", "SaveInspection"], 60)
        checks.check("a job file opened through the association is saved", saved,
                     repr(double.operations()))

        # Upgrade over the same version while the program runs by hand.
        wait_until(lambda: not driver.exists(h.MAIN_CLASS, h.MAIN_TITLE, 200), 30)
        program = h.Program(exe, prefix.env, work)
        shown = driver.find(h.MAIN_CLASS, h.MAIN_TITLE)
        rc, _ = prefix.run(setup, "/S")
        checks.check("upgrade in place ends the running program",
                     shown is not None and rc == 0 and program.wait(10) is not None
                     and prefix.reg(UNINSTALL_KEY, "InstallLocation") == location
                     and prefix.reg(r"HKCR\CLSID\%s\LocalServer32" % clsid, "") == server,
                     "shown %s, exit %s" % (shown, rc))

        # As a deployment tool runs it: the quoted program, then the switches.
        quiet = prefix.reg(UNINSTALL_KEY, "QuietUninstallString") or '""'
        program_path, _, switches = quiet[1:].partition('"')
        rc, _ = prefix.run(program_path, *switches.split())
        # The uninstaller goes on in a copy of itself once the first one returned.
        folder = os.path.dirname(installed)
        gone = wait_until(lambda: not os.path.exists(folder), 90)
        checks.check("quiet uninstall removes the installed files", rc == 0 and gone,
                     "exit %s" % rc)
        left = [k for k in (r"HKCR\Tindrel2.ORV_Bil", r"HKCR\CLSID\%s" % clsid,
                            r"HKCR\TypeLib\%s" % libid, r"HKCR\.orv",
                            r"HKCR\TindrelORV.Document", UNINSTALL_KEY)
                if prefix.reg(k) is not None]
        checks.check("and leaves no class, ProgID, type library, association or entry",
                     not left and clsid and libid, ", ".join(left))
        checks.check("the user's token cache stays", cache.read() == cached)
    except (h.HarnessError, subprocess.TimeoutExpired, OSError) as e:
        checks.check("the run", False, str(e))
    finally:
        if program:
            program.kill()
        if driver:
            driver.stop()
        if double:
            double.stop()
        if prefix:
            prefix.stop()
        shutil.rmtree(work, ignore_errors=True)
    return checks.summary()


if __name__ == "__main__":
    sys.exit(main())
