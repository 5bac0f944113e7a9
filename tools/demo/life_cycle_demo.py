#!/usr/bin/env python3
"""The life cycle of Velmora 2.0 under Wine, from a vendor's web server (nginx):
release 2.01 with cvztool and the demo's own signing key, install it through the
setup window like a person (tick, OK, Finish), release 2.02 into the same site to
0% of the machines (the next start of the installed launcher keeps 2.01 and
downloads nothing), widen it to 100% with cvztool rollout and start the launcher
again as a shortcut does (the update runs without a window and the 2.02 suite
starts), release 2.03, a suite that ends at once, to half of the machines (this one
among them: its update goes back to 2.02 by itself and reports the failed start),
then remove everything with VL2Del.exe, and end with cvztool report and its chart.
The programs are signed with Authenticode under the demo's own authority: each
release requires it, what osslsigncode finds of the installed programs is shown,
and 2.02's programs, signed again (new signatures, the same programs), keep the
bytes 2.01 published. Prints what each step left; screenshots, the chart, the site,
nginx's logs and the Wine prefix stay in build/demo/. With --https, all of it over
TLS: a certificate authority made for the demo (build/demo/tls) is trusted by the
demo's prefix alone, and nginx serves https://localhost:PORT with a certificate it
signed. scripts/demo_install.sh makes the keys and the build first."""
import argparse
import hashlib
import os
import re
import shlex
import shutil
import signal
import subprocess
import sys
import time
import unittest
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tests" / "harness"))
import authenticode  # noqa: E402
import nginx_server  # noqa: E402
import prefix_changes  # noqa: E402
import setup_flow  # noqa: E402
import suite_release  # noqa: E402
import tls_certificates  # noqa: E402
import winenv  # noqa: E402

OUT = ROOT / "build" / "demo"
SUITE_TOKEN = "kqvwtzrnbpxyjdgfh"
# Skin files beside the ones that name the release: the same in 2.01 and 2.02, so
# that the update fetches only the few that change.
DEMO_PARTS = 40
INFO_KEY = "HKCU\\Software\\CORVALEN\\VELMORA2\\INFO"
SETTINGS_KEY = "HKCU\\Software\\CORVALEN\\VELMORA2"
RUN_KEY = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"
UNINSTALL_KEY = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velmora2"
ROOT_NAMES = {"HKCU": "HKEY_CURRENT_USER", "HKLM": "HKEY_LOCAL_MACHINE"}
# The values shown.
SHOWN_VALUES = ("INSTALLPATH", "VERSION", "UPDATEDATE", "Velmora2", "DisplayName", "DisplayVersion", "Publisher",
                "DisplayIcon", "InstallLocation", "UninstallString", "URLInfoAbout", "EstimatedSize", "NoModify",
                "NoRepair")
CONFIRM_CAPTION = "Velmora2삭제"
DONE_CAPTION = "알림"

STARTED = time.monotonic()


class DemoFailed(Exception):
    pass


def step(text):
    print("demo: [%5.1f s] %s" % (time.monotonic() - STARTED, text), flush=True)


def show(text, indent=1):
    print("    " * indent + text, flush=True)


def expect(condition, what):
    if not condition:
        raise DemoFailed(what)
    return condition


def build_setting(build, name):
    """A setting of the demo's build as its CMake cache holds it, so that the server
    listens where the programs were built to look."""
    cache = build / "CMakeCache.txt"
    if cache.exists():
        for line in cache.read_text().splitlines():
            if line.startswith(name + ":"):
                return line.split("=", 1)[1]
    raise SystemExit("demo: %s has no setting %s; run scripts/demo_install.sh" % (build, name))


class Person(unittest.TestCase):
    """What the setup-window helpers expect of a test: a prefix, a display, the
    downloaded installer, and assertions."""

    def __init__(self, prefix, display, build):
        super().__init__()
        self.prefix, self.display, self.build = prefix, display, build

    def runTest(self):
        pass

    def installer(self):
        """Where a browser saves it: the user's own Downloads."""
        downloads = self.prefix.user() / "Downloads"
        downloads.mkdir(exist_ok=True)
        installer = downloads / "InitVL2.exe"
        installer.write_bytes((self.build / "InitVL2.exe").read_bytes())
        if hasattr(self.prefix, "give"):
            self.prefix.give(installer)
        return windows_path(self.prefix, installer)


def corvalen(prefix):
    """The company folder of a per-user install: below the user's local application data."""
    return prefix.user() / "AppData" / "Local" / "Programs" / "Corvalen"


def wait_for_installer(person, timeout):
    """Waits for the installer that the stable launcher started (the launcher itself
    ends at once); True once none runs."""
    helper = person.build / "tests" / "wait_for_exit.exe"
    return person.prefix.run([helper, "InitVL2.exe", str(timeout)], timeout=timeout + 30).returncode == 0


# --- what a step left -------------------------------------------------------

def registry(prefix):
    """{key (lower case): {value name: text}} of the keys the life cycle touches,
    through Wine's reg while the suite runs (reading the hive files would mean
    stopping the suite); a key that does not exist is missing."""
    queries = ["reg query %s" % key for key in (INFO_KEY, SETTINGS_KEY, UNINSTALL_KEY)]
    queries.append("reg query %s /v Velmora2" % RUN_KEY)
    result = prefix.run(["cmd", "/c", " & ".join(queries)], timeout=60)
    keys, current = {}, None
    for line in result.stdout.decode("cp949", errors="replace").splitlines():
        if line.startswith("HKEY_"):
            current = keys.setdefault(line.strip().lower(), {})
            continue
        match = re.match(r"\s+(.*?)\s{4}(REG_\w+)\s{4}(.*)$", line)
        if match and current is not None:
            current[match.group(1)] = match.group(3)
    return keys


def full_name(key):
    root, rest = key.split("\\", 1)
    return (ROOT_NAMES[root] + "\\" + rest).lower()


def values(keys, key):
    return keys.get(full_name(key))


def show_registry(keys):
    show("registry:")
    for key in (INFO_KEY, RUN_KEY, UNINSTALL_KEY):
        found = {name: value for name, value in (values(keys, key) or {}).items() if name in SHOWN_VALUES}
        show(key + ("" if found else ": (no %s)" % ("value Velmora2" if key == RUN_KEY else "key")), 2)
        for name, value in sorted(found.items()):
            show("%s = %s" % (name, value), 3)
    modules = sorted(k.rsplit("\\", 1)[1].upper() for k in keys if k.startswith(full_name(SETTINGS_KEY) + "\\"))
    show("%s: %s" % (SETTINGS_KEY, ("keys " + " ".join(modules)) if modules else "(no keys)"), 2)


def shortcut_target(link):
    """The program a shell link starts: the local path that its link information
    holds (or, failing that, the first program path in it)."""
    data = link.read_bytes()
    try:
        flags = int.from_bytes(data[0x14:0x18], "little")
        offset = 0x4C
        if flags & 0x1:  # a target item list comes first
            offset += 2 + int.from_bytes(data[offset:offset + 2], "little")
        if flags & 0x2:  # the link information, with the local base path
            base = int.from_bytes(data[offset + 16:offset + 20], "little")
            path = data[offset + base:data.index(b"\0", offset + base)]
            if path:
                return path.decode("cp949", errors="replace")
    except (ValueError, IndexError):
        pass
    found = re.search(rb"[A-Za-z]:\\[^\0]*?\.exe", data, re.IGNORECASE)
    return found.group(0).decode("cp949", errors="replace") if found else "?"


def shortcuts(prefix):
    return sorted(link for link in prefix.user().rglob("*") if link.suffix.lower() == ".lnk"
                  and link.name.lower().startswith("velmora"))


def windows_path(prefix, path):
    return "C:\\" + str(path.relative_to(prefix.drive_c)).replace("/", "\\")


def show_shortcuts(prefix):
    links = shortcuts(prefix)
    show("shortcuts:" + ("" if links else " (none)"))
    for link in links:
        show("%s -> %s" % (windows_path(prefix, link), shortcut_target(link)), 2)


def show_files(prefix):
    folder = corvalen(prefix)
    files = sorted(p for p in folder.rglob("*") if p.is_file()) if folder.exists() else []
    show("files under %s:" % windows_path(prefix, folder) + ("" if files else " (none)"))
    for path in files:
        if "SKIN" not in path.parts:
            show("%s (%d bytes)" % (windows_path(prefix, path), path.stat().st_size), 2)
    skins = [p for p in files if "SKIN" in p.parts]
    if skins:
        show("and %d skin files in the versions' SKIN folders" % len(skins), 2)


def show_where_it_went(prefix, before, profile):
    """Every file the life cycle has written or removed so far, as the topmost folder
    that is new (with how many files it holds) or the file itself, and what of it lies
    outside the user's profile."""
    found = prefix_changes.changes(before, prefix_changes.file_listing(prefix))
    added_folders = [path for kind, path in found if kind == "added" and path.endswith("/")]
    shown = []
    for kind, path in found:
        within = next((folder for folder in added_folders if path != folder and path.startswith(folder)), None)
        if within is None and not (kind == "changed" and path.endswith("/")):
            files = sum(1 for _, other in found if other.startswith(path) and not other.endswith("/"))
            shown.append("%s %s%s" % (kind, "C:\\" + path.replace("/", "\\"),
                                      " (%d files)" % files if path.endswith("/") else ""))
    show("what the programs wrote in the prefix, against the prefix before the install:" + ("" if shown else " (nothing)"))
    for line in shown:
        show(line, 2)
    elsewhere = prefix_changes.outside(found, [], profile)
    show("of it outside %s: %s" % ("C:\\" + profile.replace("/", "\\"), elsewhere or "(nothing)"))
    expect(not elsewhere, "the programs wrote outside the user's profile: %s" % elsewhere)


def suite_log(prefix, version):
    log = corvalen(prefix) / "Velmora2" / version / "BIN" / "Cubelet.log"
    return log.read_text(encoding="cp949", errors="replace") if log.exists() else ""


def show_suite_logs(prefix, versions):
    for version in versions:
        lines = suite_log(prefix, version).splitlines()
        show("the %s suite's log (Cubelet.log):%s" % (version, "" if lines else " (not started)"))
        for line in lines:
            show(line.split("\t")[0], 2)


def show_reports(server, seen):
    lines = server.report_lines()
    show("nginx's report log (%s), new lines:" % shown_path(server.run_folder / "reports.log"))
    for line in lines[seen:] or ["(none)"]:
        show(line, 2)
    return len(lines)


def markers(server):
    return [line.split("jaehuid=", 1)[1] for line in server.report_lines()]


# --- the life cycle ---------------------------------------------------------

def shown_path(path):
    path = Path(path).resolve()
    return path.relative_to(ROOT) if path.is_relative_to(ROOT) else path


def run_tool(command):
    """Runs a cvztool command as a vendor would type it, showing it and what it
    printed, which it returns."""
    show("$ " + " ".join(shlex.quote(str(part)) for part in command))
    result = subprocess.run([str(part) for part in command], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                            timeout=300)
    expect(result.returncode == 0, "%s ended with %d: %s" % (command[1], result.returncode,
                                                              result.stderr.decode(errors="replace").strip()))
    for line in result.stdout.decode(errors="replace").splitlines():
        show(line)
    return result.stdout.decode(errors="replace")


def show_manifest():
    show("the manifest nginx now serves:")
    for line in suite_release.manifest(OUT / "site").read_text(encoding="cp949").splitlines():
        show(line, 2)


def trusted_root(build):
    """The root of the demo's code-signing authority, which only the demo trusts."""
    return authenticode.Signer.trusted_root(build_setting(build, "VL2_AUTHENTICODE_CERT"))


def sign_again(build, program):
    """Signs `program` again as the build signs it: a new signing time and time stamp,
    so other bytes, for the same program."""
    signed = program.with_suffix(".signing")
    setting = {option: build_setting(build, "VL2_AUTHENTICODE_" + name) for option, name in (
        ("-certs", "CERT"), ("-key", "KEY"), ("-TSA-certs", "TSA_CERTS"), ("-TSA-key", "TSA_KEY"))}
    result = authenticode.osslsigncode("sign", "-h", "sha256", "-n", "Velmora 2.0",
                                       *[part for pair in setting.items() for part in pair],
                                       "-in", program, "-out", signed)
    expect(result.returncode == 0, "osslsigncode could not sign %s again: %s" % (program, result.stdout))
    signed.replace(program)


def release(version, skins, comment, build, args, base_url, rollout=None, signed_again=False, failing=False):
    """Releases the suite as `version`; cvztool's words on what an update from the
    release before fetches."""
    suite = suite_release.lay_out_suite(OUT / ("suite-" + version), build, skins, parts=DEMO_PARTS)
    if failing:
        # The stand-in suite ends at once, before its window, beside this file.
        (suite / "BIN" / "Cubelet.exe.fails").write_bytes(b"")
    step("release %s of the stand-in suite (BIN\\Cubelet.exe, BIN\\InitVL2.exe, four skin files whose text names "
         "the release, one with a Korean name, and %d more that stay the same%s) from %s%s:"
         % (version, DEMO_PARTS, "; this suite ends at once without its window" if failing else "",
            shown_path(suite), "" if rollout is None else ", to %s%% of the machines" % rollout))
    if signed_again:
        for program in ("Cubelet.exe", "InitVL2.exe"):
            before = (build / program).read_bytes()
            sign_again(build, suite / "BIN" / program)
            expect((suite / "BIN" / program).read_bytes() != before, "signing %s again changed nothing" % program)
        show("its programs signed again, as every build signs them: new signatures and time stamps, so bytes "
             "other than 2.01's, for the same programs")
    command = suite_release.release_command(version, shown_path(suite), shown_path(OUT / "site"),
                                            shown_path(args.key), base_url, comment, tool=shown_path(args.cvztool))
    printed = run_tool(command + ["--require-authenticode", shown_path(trusted_root(build))] +
                       ([] if rollout is None else ["--rollout", rollout]))
    show_manifest()
    return printed


def show_signatures(prefix, build):
    """What osslsigncode finds of each installed program's signature, against the
    demo's authority."""
    root = trusted_root(build)
    programs = sorted(p for p in corvalen(prefix).rglob("*.exe") if "SKIN" not in p.parts)
    show("osslsigncode verify -CAfile %s -TSA-CAfile (the same) of the installed programs:" % shown_path(root))
    for program in programs:
        verified, digest, stamped, text = authenticode.verify(program, root)
        show(windows_path(prefix, program), 2)
        lines = [line.strip() for line in text.splitlines()]
        signer = next((line for line in lines if line.startswith("Subject:")), "Subject: (none)")
        for line in [signer] + [line for line in lines if line.startswith((
                "Message digest algorithm  :", "Timestamp time:", "Timestamp Server Signature verification:",
                "Signature verification:"))] + lines[-1:]:
            show(line, 3)
        expect(verified and digest == "SHA256" and stamped, "%s does not verify: %s" % (program, text))


def fresh_install(person, display):
    step("fresh install: InitVL2.exe started from the user's Downloads folder with nothing installed")
    run = setup_flow.InstallerRun(person).start()
    run.frame().save(OUT / "01-terms.png")
    step("terms page shown; ticking the acceptance box and pressing OK")
    run.click(setup_flow.BOX)
    run.frame().save(OUT / "02-ticked.png")
    run.click(setup_flow.OK, settle=0.3)
    run.frame().save(OUT / "03-progress.png")
    expect(run.wait_for_page(setup_flow.is_completion_page, 120), "the completion page did not appear")
    run.frame().save(OUT / "04-completion.png")
    step("completion page shown; pressing Finish")
    run.click(setup_flow.FINISH, settle=0.2)
    code = run.wait_ended(60)
    expect(code == 0, "the installer ended with %d" % code)
    expect(winenv.wait_until(lambda: SUITE_TOKEN in suite_log(person.prefix, "2.01"), 20),
           "the 2.01 suite was not started")
    time.sleep(1)
    display.screenshot(OUT / "05-suite-2.01.png")
    step("the installer ended (code 0) and started the 2.01 suite. What the install left:")


def held_back(person, server, launcher):
    step("starting the installed launcher as a shortcut does, while 2.02 is released to 0%%: %s" % launcher)
    starts = suite_log(person.prefix, "2.01").count(SUITE_TOKEN)
    run = setup_flow.InstallerRun(person, program=launcher).start(wait_window=False)
    code = run.wait_ended(60)
    expect(code == 0, "the launcher ended with %d" % code)
    expect(wait_for_installer(person, 60), "the installer did not end")
    expect(winenv.wait_until(lambda: suite_log(person.prefix, "2.01").count(SUITE_TOKEN) > starts, 20),
           "the 2.01 suite was not started")
    for fetched in ("/velmora2/files/2.02.cvz", "/velmora2/files/2.02.list"):
        expect(not server.requests_for(fetched), "%s was downloaded" % fetched)
    step("the launcher started the installed 2.01 suite again (code 0) and downloaded nothing; nginx's access "
         "log, the manifest and packages:")
    for line in server.access_lines():
        if "/velmora2/" in line:
            show(line, 2)


def widen(args):
    step("widening 2.02 to every machine; only the rollout line changes and the fallback lines go:")
    run_tool([shown_path(args.cvztool), "rollout", shown_path(OUT / "site"), "100"])
    show_manifest()


def adoption_report(args, server):
    chart = OUT / "adoption.svg"
    step("the vendor's adoption report from nginx's report log, with its chart:")
    run_tool([shown_path(args.cvztool), "report", "--svg", shown_path(chart),
              shown_path(server.run_folder / "reports.log")])
    # ImageMagick 6 on Debian reads SVG only through this program, its own delegate.
    picture = OUT / "10-adoption-chart.png"
    subprocess.run(["rsvg-convert", "-o", str(picture), str(chart)], check=True, timeout=60)
    step("the chart: %s, drawn from %s" % (shown_path(picture), shown_path(chart)))


def update(person, display, launcher):
    step("starting the installed launcher as the autostart entry and the shortcuts do: %s" % launcher)
    started = time.monotonic()
    run = setup_flow.InstallerRun(person, program=launcher).start(wait_window=False)
    shown, snapshot = set(), []

    def ended():
        shown.update((w, h) for _, _, _, w, h in run.windows() if (w, h) != setup_flow.EMPTY_DIALOG_SIZE)
        if not snapshot and time.monotonic() - started > 1.5:
            snapshot.append(display.screenshot(OUT / "06-update-running.png"))
        return run.process.poll() is not None and wait_for_installer(person, 0)
    expect(winenv.wait_until(ended, 150), "the update did not end within 150 s")
    expect(run.process.returncode == 0, "the launcher ended with %d" % run.process.returncode)
    expect(not shown, "the update showed windows of these sizes: %s" % sorted(shown))
    expect(winenv.wait_until(lambda: SUITE_TOKEN in suite_log(person.prefix, "2.02"), 20),
           "the 2.02 suite was not started")
    time.sleep(1)
    display.screenshot(OUT / "07-suite-2.02.png")
    step("the launcher updated with no window in %.1f s (code 0) and started the 2.02 suite. What the update left:"
         % (time.monotonic() - started))


def rollout_id_taking(version, percentage):
    """A rollout id whose machine is among the first `percentage` % to take `version`,
    worked out as the launcher works it out."""
    for n in range(1000):
        candidate = "%032x" % (0x5EED0000 + n)
        digest = hashlib.sha256(("velmora2-rollout\n%s\n%s\n" % (candidate, version)).encode()).digest()
        if int.from_bytes(digest[:4], "big") * 100 < percentage << 32:
            return candidate
    raise SystemExit("demo: no rollout id takes %s at %d%%" % (version, percentage))


def failed_start(person, server, launcher):
    step("this machine is among the half that takes 2.03 (its ROLLOUTID set to one that does); starting the "
         "launcher as the shortcuts do: %s" % launcher)
    # Every process of the prefix ends (the suite too), so that its registry may be written.
    person.prefix.kill()
    person.prefix.add_registry("user", "Software\\CORVALEN\\VELMORA2\\INFO",
                               {"ROLLOUTID": rollout_id_taking("2.03", 50)})
    starts = suite_log(person.prefix, "2.02").count(SUITE_TOKEN)
    run = setup_flow.InstallerRun(person, program=launcher).start(wait_window=False)
    expect(run.wait_ended(150) == 0 and wait_for_installer(person, 150), "the launcher did not end well")
    expect(winenv.wait_until(lambda: "ended at once" in suite_log(person.prefix, "2.03"), 20),
           "the 2.03 suite was not started")
    expect(winenv.wait_until(lambda: suite_log(person.prefix, "2.02").count(SUITE_TOKEN) > starts, 20),
           "the 2.02 suite did not come back")
    step("the 2.03 suite ended at once without its window; the launcher went back to 2.02 by itself and started "
         "it. Starting the launcher once more:")
    downloads = len(server.requests_for("/velmora2/files/2.03.cvz")) + len(server.requests_for("/velmora2/files/2.03.list"))
    run = setup_flow.InstallerRun(person, program=launcher).start(wait_window=False)
    expect(run.wait_ended(60) == 0 and wait_for_installer(person, 60), "the launcher did not end well")
    again = len(server.requests_for("/velmora2/files/2.03.cvz")) + len(server.requests_for("/velmora2/files/2.03.list"))
    expect(again == downloads, "2.03 was downloaded again")
    step("2.02 started again and 2.03 was not downloaded again: it is taken only when a newer release comes")


def removal(prefix, display, uninstaller):
    step("removing with the uninstall entry's command, as Add or Remove Programs starts it: %s" % uninstaller)
    process = prefix.start([uninstaller])
    box = expect(display.wait_window(CONFIRM_CAPTION, timeout=30), "no confirmation box")
    display.screenshot(OUT / "08-removal-confirm.png")
    step("confirmation box \"%s\" shown; answering yes (Enter)" % CONFIRM_CAPTION)
    display.press(box, "Return")
    done = expect(display.wait_window(DONE_CAPTION, timeout=60), "no completion box")
    display.screenshot(OUT / "09-removal-done.png")
    step("completion box \"%s\" shown; pressing Enter" % DONE_CAPTION)
    display.press(done, "Return")
    process.wait(timeout=30)
    expect(process.returncode == 0, "VL2Del.exe ended with %d" % process.returncode)
    # The work is done by the uninstaller's copy in the user's TEMP folder, which
    # removes the uninstaller itself; the copy's own file goes when it ends.
    temp = prefix.user() / "AppData" / "Local" / "Temp"
    expect(winenv.wait_until(lambda: not list(temp.glob("VL2Del*")), 30), "the uninstaller's copy stayed in TEMP")
    step("VL2Del.exe ended (code 0), and the copy of it that did the work in %s is gone. What the removal left:"
         % windows_path(prefix, temp))


def life_cycle(args, build, prefix, display, server, base_url):
    person = Person(prefix, display, build)
    release("2.01", "skins of 2.01", "첫 배포", build, args, base_url)
    server.start()
    step("nginx serves %s at %s (vendor_server/serve.sh; configuration, logs in %s)"
         % (shown_path(OUT / "site"), server.url("/"), shown_path(server.run_folder)))

    profile = "users/%s/" % prefix.user().name
    files_before = prefix_changes.file_listing(prefix)
    registry_before = prefix_changes.registry_listing(prefix)
    fresh_install(person, display)
    keys = registry(prefix)
    show_registry(keys)
    show_shortcuts(prefix)
    show_files(prefix)
    show_where_it_went(prefix, files_before, profile)
    show_signatures(prefix, build)
    show_suite_logs(prefix, ["2.01"])
    seen = show_reports(server, 0)
    expect((values(keys, INFO_KEY) or {}).get("VERSION") == "2.01", "VERSION is not 2.01")
    launcher = expect((values(keys, RUN_KEY) or {}).get("Velmora2", "").strip('"'), "no autostart value")

    predicted = release("2.02", "skins of 2.02", "새 스킨", build, args, base_url, rollout="0", signed_again=True)
    for program in ("Cubelet.exe", "InitVL2.exe"):
        expect("kept BIN/%s as 2.01 published it" % program in predicted, "2.02 did not keep 2.01's %s" % program)
    held_back(person, server, launcher)
    widen(args)
    update(person, display, launcher)
    keys = registry(prefix)
    show_registry(keys)
    show_shortcuts(prefix)
    show_files(prefix)
    show_where_it_went(prefix, files_before, profile)
    show_suite_logs(prefix, ["2.01", "2.02"])
    seen = show_reports(server, seen)
    show("nginx's access log (every request, with its TLS protocol at the end):")
    for line in server.access_lines():
        show(line, 2)
    package = suite_release.package(OUT / "site", "2.02").stat().st_size
    fetched = server.bytes_sent("/velmora2/files/2.02.")
    foretold = int(re.search(r"fetches \d+ of \d+ files: (\d+) bytes", predicted).group(1))
    show("the update fetched %d bytes (the file list and ranges of the package), %.1f %% of the %d-byte package, "
         "and neither program: what cvztool release foretold (%d bytes)"
         % (fetched, 100.0 * fetched / package, package, foretold))
    expect(fetched == foretold, "the update fetched %d bytes, not the %d that cvztool release foretold"
           % (fetched, foretold))
    expect((values(keys, INFO_KEY) or {}).get("VERSION") == "2.02", "VERSION is not 2.02")
    uninstaller = expect((values(keys, UNINSTALL_KEY) or {}).get("UninstallString", "").strip('"'),
                         "no uninstall entry")

    release("2.03", "skins of 2.03", "시작하지 않는 배포", build, args, base_url, rollout="50", failing=True)
    failed_start(person, server, launcher)
    keys = registry(prefix)
    show_registry(keys)
    show_suite_logs(prefix, ["2.02", "2.03"])
    seen = show_reports(server, seen)
    expect((values(keys, INFO_KEY) or {}).get("VERSION") == "2.02", "VERSION is not 2.02 again")

    removal(prefix, display, uninstaller)
    keys = registry(prefix)
    show_registry(keys)
    show_shortcuts(prefix)
    show_files(prefix)
    show_where_it_went(prefix, files_before, profile)
    left = [entry for _, entry in prefix_changes.changes(registry_before, prefix_changes.registry_listing(prefix))]
    show("registry values the life cycle left, against the prefix before the install:" + ("" if left else " (none)"))
    for key, name in left:
        show("%s  %s" % (key, name), 2)
    show_reports(server, seen)
    expect(not any(values(keys, key) for key in (INFO_KEY, SETTINGS_KEY, UNINSTALL_KEY)),
           "the suite's registry keys stayed")
    expect("Velmora2" not in (values(keys, RUN_KEY) or {}), "the autostart value stayed")
    expect(not shortcuts(prefix), "shortcuts stayed")
    expect(not corvalen(prefix).exists(), "the Corvalen folder stayed")
    expect(not (prefix.start_menu_programs() / "Corvalen").exists(), "the Start-menu folder stayed")
    expect(not [entry for entry in left if "corvalen" in entry[0] or "velmora" in entry[0]
                or entry[1] == "Velmora2"], "registry values of the suite stayed")
    found = markers(server)
    expect(len(found) == 4 and found[0].startswith("VL2B2.01") and found[1].startswith("VL2U2.02")
           and found[2].startswith("VL2F2.03") and found[3] == "VL2BDEL2.02",
           "the reports were not install, update, failed start, removal: %s" % found)
    if server.tls:
        plain = [line for line in server.access_lines() if not line.endswith(("TLSv1.2", "TLSv1.3"))]
        expect(not plain, "requests not over TLS: %s" % plain)
        step("every request of the life cycle, the four reports included, came over TLS")
    adoption_report(args, server)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", type=Path, default=ROOT / "build" / "demo-win32",
                        help="the Windows programs, built with the key's public half")
    parser.add_argument("--key", type=Path, default=OUT / "release-key.pem", help="the signing key")
    parser.add_argument("--cvztool", type=Path, default=suite_release.NATIVE_CVZTOOL, help="the native cvztool")
    parser.add_argument("--https", action="store_true",
                        help="the build is for https://localhost:PORT: serve and trust a certificate made for the demo")
    args = parser.parse_args()
    args.key, args.cvztool = args.key.resolve(), args.cvztool.resolve()
    build = args.build.resolve()
    os.chdir(ROOT)
    # A stop from outside ends the demo like a failure: nginx and Wine are stopped.
    for stop in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(stop, lambda number, frame: sys.exit(128 + number))
    server_setting = build_setting(build, "VL2_FILE_SERVER")
    # Wine refuses a certificate for an address: over TLS the server is localhost.
    scheme, host = ("https://", tls_certificates.HOST) if args.https else ("", "127.0.0.1")
    host_and_port = server_setting[len(scheme):] if server_setting.startswith(scheme) else ""
    name, _, port = host_and_port.rpartition(":")
    if name != host or not port.isdigit() or build_setting(build, "VL2_REPORT_SERVER") != server_setting:
        raise SystemExit("demo: one nginx on %s%s serves files and reports, but %s was built for the file "
                         "server %s and the report server %s" % (scheme, host, build, server_setting,
                                                                 build_setting(build, "VL2_REPORT_SERVER")))
    for stale in ["prefix", "site", "vendor-run", "suite-2.01", "suite-2.02", "adoption.svg", "tls"] + [
            p.name for p in OUT.glob("*.png")]:
        path = OUT / stale
        shutil.rmtree(path) if path.is_dir() else path.unlink(missing_ok=True)

    code = 1
    winenv.DESKTOP_HOLDER = build / "tests" / "desktop_holder.exe"
    with winenv.Display() as display:
        if winenv.ordinary_user():
            step("preparing a 32-bit Wine prefix with code page 949 for the ordinary user %s, who cannot write "
                 "its Program Files (root's, read-only to it), as on Windows since Vista" % winenv.ORDINARY_USER)
            prefix = winenv.OrdinaryUserPrefix(display=display.name, keep=True)
        else:
            step("preparing a 32-bit Wine prefix with code page 949")
            winenv.make_template(build / "wine-template")
            prefix = winenv.Prefix(build / "wine-template", display=display.name, keep=True)
        server = nginx_server.NginxServer(OUT / "site", OUT / "vendor-run", int(port))
        try:
            if args.https:
                step("making a certificate authority for the demo (%s); only the demo's prefix trusts it"
                     % shown_path(OUT / "tls"))
                authority = tls_certificates.CertificateAuthority(OUT / "tls", "demo authority")
                server.tls = authority.issue("localhost")
                tls_certificates.trust_in_prefix(prefix, authority, build / "tests" / "trust_root.exe")
            life_cycle(args, build, prefix, display, server,
                       server_setting if args.https else "http://" + server_setting)
            code = 0
        except (DemoFailed, AssertionError, RuntimeError, subprocess.TimeoutExpired) as failure:
            display.screenshot(OUT / "failed.png")
            step("FAILED: %s (the screen is in build/demo/failed.png)" % failure)
        finally:
            server.stop()
            prefix.kill()
            prefix.remove_server_folder()
            shutil.move(str(prefix.path), str(OUT / "prefix"))
            shutil.rmtree(prefix.root, ignore_errors=True)
    step("nginx stopped. %s; screenshots and the chart in %s, the Wine prefix in %s"
         % ("The whole life cycle ran" if code == 0 else "The demo failed", OUT.relative_to(ROOT),
            (OUT / "prefix").relative_to(ROOT)))
    return code


if __name__ == "__main__":
    sys.exit(main())
