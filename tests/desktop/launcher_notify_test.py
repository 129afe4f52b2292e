#!/usr/bin/python3
"""The Linux desktop services from outside the program's process: desktop_probe (the program's
window behaviour and update with the real Linux desktop services, over the emulated device) on a
private session bus with python3-dbusmock's notification daemon, watched by dbus-monitor.

    launcher_notify_test.py DESKTOP_PROBE TITLE

TITLE is the program's application name, which the notification carries. Exits 77 (skipped)
when python3-dbusmock, dbus-daemon or dbus-monitor cannot run here.
"""
import os
import re
import shutil
import subprocess
import sys
import threading
import unittest

try:
    import dbusmock
except ImportError as error:
    print(f"SKIPPED: python3-dbusmock cannot run here ({error})")
    sys.exit(77)
if shutil.which("dbus-daemon") is None or shutil.which("dbus-monitor") is None:
    print("SKIPPED: no dbus-daemon or dbus-monitor here")
    sys.exit(77)

PROBE, TITLE = sys.argv[1], sys.argv[2]
URI = "application://dalvorn-firmware-update.desktop"
UPDATED = '{"device": {"app_after_update": {"version": "0x0103"}}}'
REFUSED = '{"device": {"refuse_block": 60}}'


def read_until(stream, marker, lines):
    """Reads lines of `stream` into `lines` up to one that holds `marker`; fails at its end."""
    for line in iter(stream.readline, ""):
        lines.append(line)
        if marker in line:
            return
    raise AssertionError(f"dbus-monitor ended before {marker}")


def read_until_probe_gone(stream, lines):
    """Reads the monitor's lines into `lines` until the bus says that the probe's connection is
    gone: the bus reads a connection's messages before its end, so all it sent is printed then.
    The probe is the sender of the first LauncherEntry signal. Returns at the monitor's end."""
    sender = None
    owner_change = None  # the arguments of a NameOwnerChanged being read
    for line in iter(stream.readline, ""):
        lines.append(line)
        if sender is None:
            found = re.search(r" sender=(:\S+) .*interface=com\.canonical\.Unity\.LauncherEntry;",
                              line)
            sender = found.group(1) if found else None
        if line.startswith("signal ") and "member=NameOwnerChanged" in line:
            owner_change = []
        elif owner_change is not None:
            argument = re.match(r'\s+string "([^"]*)"', line)
            owner_change = owner_change + [argument.group(1)] if argument else None
            if owner_change is not None and len(owner_change) == 3:
                if sender is not None and owner_change == [sender, sender, ""]:
                    return
                owner_change = None


def monitor_blocks(text):
    """dbus-monitor's output as one block a message: its header line and its argument lines."""
    blocks = []
    for line in text.splitlines():
        if re.match(r"^(signal|method call|method return|error) ", line):
            blocks.append([line])
        elif blocks:
            blocks[-1].append(line)
    return blocks


def entry_updates(blocks):
    """Each LauncherEntry Update: (the application's URI, its properties as a dict)."""
    updates = []
    for block in blocks:
        head = block[0]
        if "interface=com.canonical.Unity.LauncherEntry" not in head or "member=Update" not in head:
            continue
        body = "\n".join(block[1:])
        uri = re.search(r'string "([^"]*)"', body).group(1)
        props = {}
        for key, kind, value in re.findall(
                r'string "([a-z-]+)"\s+variant\s+(double|boolean) (\S+)', body):
            props[key] = float(value) if kind == "double" else value == "true"
        updates.append((uri, props))
    return updates


def notify_strings(blocks):
    """The strings of each Notify call, in order: app name, icon, title, body, hint key, value."""
    calls = []
    for block in blocks:
        if block[0].startswith("method call") and "member=Notify" in block[0]:
            calls.append(re.findall(r'string "((?:[^"\\]|\\.)*)"', "\n".join(block[1:])))
    return calls


class LinuxDesktopServices(dbusmock.DBusTestCase):
    @classmethod
    def setUpClass(cls):
        cls.start_session_bus()

    def run_probe(self, scenario, image_bytes, notifications=True):
        mock = None
        if notifications:
            mock, _ = self.spawn_server_template("notification_daemon", {},
                                                 stdout=subprocess.DEVNULL)
        monitor = subprocess.Popen(["dbus-monitor", "--session"], stdout=subprocess.PIPE,
                                   stderr=subprocess.DEVNULL, text=True)
        seen = []
        try:
            # The bus tells the monitor it lost its name once it has become a monitor: from then
            # on it sees every message. dbus-monitor prints each message as it comes.
            read_until(monitor.stdout, "member=NameLost", seen)
            probe = subprocess.run([PROBE, scenario, str(image_bytes)], capture_output=True,
                                   text=True, timeout=60)
            reader = threading.Thread(target=read_until_probe_gone, args=(monitor.stdout, seen))
            reader.start()
            reader.join(timeout=60)
            self.assertFalse(reader.is_alive(), "the monitor never saw the probe's connection end")
        finally:
            monitor.terminate()
            output, _ = monitor.communicate()
            if mock is not None:
                mock.terminate()
                mock.wait()
        return probe, monitor_blocks("".join(seen) + output)

    def test_updated(self):
        probe, blocks = self.run_probe(UPDATED, 1 << 20)
        self.assertEqual(probe.returncode, 0, probe.stderr)
        self.assertEqual(probe.stderr, "")
        updates = entry_updates(blocks)
        self.assertTrue(updates)
        self.assertEqual({uri for uri, _ in updates}, {URI})
        shown = [p["progress"] for _, p in updates if p["progress-visible"]]
        # The progress rises to 1, a few signals a second at most over the 524 s transfer.
        self.assertEqual(shown, sorted(shown))
        self.assertEqual(shown[-1], 1.0)
        self.assertGreater(len(shown), 50)
        self.assertLess(len(shown), 4 * 524)
        self.assertFalse(updates[-1][1]["progress-visible"])
        self.assertFalse(any(p["urgent"] for _, p in updates))
        self.assertEqual(notify_strings(blocks),
                         [[TITLE, "dalvorn-firmware-update", "Firmware updated",
                           "Widget now runs version 1.3.", "desktop-entry",
                           "dalvorn-firmware-update"]])

    def test_refused_block(self):
        probe, blocks = self.run_probe(REFUSED, 4000)
        self.assertEqual(probe.returncode, 1, probe.stderr)
        updates = entry_updates(blocks)
        self.assertIn(True, [p["urgent"] for _, p in updates])
        self.assertFalse(updates[-1][1]["urgent"])
        calls = notify_strings(blocks)
        self.assertEqual(len(calls), 1)
        self.assertEqual(calls[0][2], "Firmware update failed")
        self.assertTrue(calls[0][3].startswith("The device refused data block 60 of 100."))

    def test_no_notification_service_changes_nothing(self):
        probe, blocks = self.run_probe(UPDATED, 4000, notifications=False)
        self.assertEqual((probe.returncode, probe.stderr), (0, ""))
        self.assertEqual(len(notify_strings(blocks)), 1)

    def test_no_session_bus_says_nothing(self):
        env = dict(os.environ, DBUS_SESSION_BUS_ADDRESS="unix:path=/nonexistent/dalvorn-bus")
        probe = subprocess.run([PROBE, UPDATED, "4000"], capture_output=True, text=True,
                               timeout=60, env=env)
        self.assertEqual((probe.returncode, probe.stdout, probe.stderr), (0, "", ""))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
