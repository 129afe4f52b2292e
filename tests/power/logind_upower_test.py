#!/usr/bin/python3
"""The Linux power service from outside the program's process: power_probe (the program's
window behaviour and update with the real Linux power guard, over the emulated device) against
mock systemd-logind and UPower (python3-dbusmock) on a private system bus.

    logind_upower_test.py POWER_PROBE TITLE

TITLE is the program's title, which logind is told as who holds the lock. Exits 77 (skipped)
when python3-dbusmock or dbus-daemon cannot run here.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
from collections import namedtuple

try:
    import dbus
    import dbusmock
except ImportError as error:
    print(f"SKIPPED: python3-dbusmock cannot run here ({error})")
    sys.exit(77)
if shutil.which("dbus-daemon") is None:
    print("SKIPPED: no dbus-daemon here")
    sys.exit(77)

PROBE, TITLE = sys.argv[1], sys.argv[2]
INHIBIT = ["sleep:idle:shutdown", TITLE, "Updating the firmware of a device", "block"]
LOW_BATTERY = "The battery is at 10 %. Connect the power supply, then start the update again."
NOT_HELD = "dalvorn-firmware-update: sleep and shutdown are not held off during the update: "

# upower: (OnBattery, the display device's Percentage, its IsPresent), or None for no UPower.
# bus: False points the program at a system bus that does not exist.
Case = namedtuple("Case", "name logind upower bus exit held box")
CASES = [
    Case("on the power supply at 10 %", True, (False, 10.0, True), True, 0, True, None),
    Case("on the battery at 10 %", True, (True, 10.0, True), True, 2, False, LOW_BATTERY),
    Case("on the battery at 24.9 %", True, (True, 24.9, True), True, 2, False,
         LOW_BATTERY.replace("10 %", "24 %")),
    Case("on the battery at 25 %", True, (True, 25.0, True), True, 0, True, None),
    Case("on the battery, none present", True, (True, 10.0, False), True, 0, True, None),
    Case("no UPower", True, None, True, 0, True, None),
    Case("no logind", False, (False, 100.0, True), True, 0, False, None),
    Case("no system bus", False, None, False, 0, False, None),
]


def pipes(pid):
    """The pipes a process holds open, as 'pipe:[inode]'."""
    found = set()
    for fd in os.listdir(f"/proc/{pid}/fd"):
        try:
            target = os.readlink(f"/proc/{pid}/fd/{fd}")
        except FileNotFoundError:
            continue
        if target.startswith("pipe:"):
            found.add(target)
    return found


class LinuxPowerGuard(dbusmock.DBusTestCase):
    @classmethod
    def setUpClass(cls):
        cls.start_system_bus()
        cls.bus = cls.get_dbus(system_bus=True)

    def start_mocks(self, case):
        self.logind = self.logind_process = None
        self.mocks = []
        if case.logind:
            self.logind_process, self.logind = self.spawn_server_template(
                "logind", {}, stdout=subprocess.DEVNULL)
            self.mocks.append(self.logind_process)
        if case.upower is not None:
            on_battery, percentage, present = case.upower
            process, upower = self.spawn_server_template(
                "upower", {"OnBattery": on_battery}, stdout=subprocess.DEVNULL)
            self.mocks.append(process)
            upower.SetupDisplayDevice(2, 2 if on_battery else 1, percentage, percentage, 100.0,
                                      0.0, 0, 0, present, "", 1,
                                      dbus_interface=dbusmock.MOCK_IFACE)

    def stop_mocks(self):
        for process in self.mocks:
            process.terminate()
            process.wait()

    def inhibitors(self):
        if self.logind is None:
            return []
        return [tuple(str(f) for f in i[:4])
                for i in self.logind.ListInhibitors(dbus_interface="org.freedesktop.login1.Manager")]

    def inhibit_calls(self):
        if self.logind is None:
            return []
        return [[str(a) for a in args]
                for _, method, args in self.logind.GetCalls(dbus_interface=dbusmock.MOCK_IFACE)
                if method == "Inhibit"]

    def inhibitors_after_release(self):
        # The mock drops an inhibitor when the last copy of its descriptor is closed, as logind
        # does, once its main loop has seen the close: ask until it has, for ten seconds at most
        # (a loaded machine may take a while to run the mock).
        deadline = time.monotonic() + 10
        held = self.inhibitors()
        while held and time.monotonic() < deadline:
            time.sleep(0.01)
            held = self.inhibitors()
        return held

    def run_probe(self, case):
        env = dict(os.environ)
        if not case.bus:
            env["DBUS_SYSTEM_BUS_ADDRESS"] = "unix:path=/nonexistent/dalvorn-system-bus"
        with tempfile.TemporaryDirectory() as folder:
            probe = subprocess.Popen([PROBE, folder], stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                                     env=env)
            lock, boxes, stops = None, [], []
            for line in probe.stdout:
                line = line.rstrip("\n")
                if line.startswith("box "):
                    boxes.append(line[4:])
                    continue
                if line.startswith("exit "):
                    break
                stops.append(line)
                if line == "loaded":
                    self.assertEqual(self.inhibit_calls(), [], "a lock before the click")
                    before = pipes(probe.pid)
                elif line == "pump":
                    taken = pipes(probe.pid) - before
                    if case.held:
                        # One lock, taken at the click with the program's reason, held as the
                        # descriptor logind gave: the other end is the mock's.
                        self.assertEqual(self.inhibit_calls(), [INHIBIT])
                        self.assertEqual(self.inhibitors(), [tuple(INHIBIT)])
                        self.assertEqual(len(taken), 1, taken)
                        lock = taken.pop()
                        self.assertIn(lock, pipes(self.logind_process.pid))
                    else:
                        self.assertEqual(taken, set())
                elif line == "unloaded":
                    # Let go at the unload, while the process still runs; never asked twice,
                    # and never asked when the battery was too low.
                    if lock is not None:
                        self.assertNotIn(lock, pipes(probe.pid))
                    self.assertEqual(self.inhibitors_after_release(), [])
                    self.assertEqual(self.inhibit_calls(), [INHIBIT] if case.held else [])
                probe.stdin.write("\n")
                probe.stdin.flush()
            _, errors = probe.communicate()
            return probe.returncode, stops, boxes, errors

    def test_cases(self):
        for case in CASES:
            with self.subTest(case.name):
                self.start_mocks(case)
                try:
                    status, stops, boxes, errors = self.run_probe(case)
                finally:
                    self.stop_mocks()
                self.assertEqual(status, case.exit)
                refused = case.box is not None
                self.assertEqual(stops, ["loaded", "unloaded"] if refused
                                 else ["loaded", "pump", "unloaded"])
                self.assertEqual(boxes, [case.box] if refused else [])
                # With no lock to be had: one line on standard error, and the update goes on.
                lines = errors.splitlines()
                if case.held or refused:
                    self.assertEqual(lines, [])
                else:
                    self.assertEqual(len(lines), 1, errors)
                    self.assertTrue(lines[0].startswith(NOT_HELD), errors)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
