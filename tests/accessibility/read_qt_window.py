#!/usr/bin/env python3
"""Reads the Qt window through AT-SPI, as a screen reader does, while the emulated runner
follows a device plugged in after the window is up and then updates it, in real time.

    read_qt_window.py RUNNER PROGRAM_DIR [SECONDS]

Starts RUNNER (the emulated runner) with --real-time over PROGRAM_DIR, the device plugged in
4 s after the load, finds its window in the accessibility tree, reads the status line asking
for the device and sees it change once the device has arrived; checks the names, values, roles
and states a screen reader reads, presses the button through its AT-SPI action, follows the
progress bar's value and the status line's time left until the window closes itself and checks
the exit status. Also checks
the window's title on the X display: the caption alone. Prints what it read. Exits 1 on a
failure. Needs a display, a D-Bus session bus and the AT-SPI registry. With LANGUAGE=de in the
environment, the runner speaks German and the names read are the German ones.
"""
import json
import os
import subprocess
import sys
import tempfile
import time

import pyatspi

# The texts in English and in German: the window, its four caption labels (in the order of the
# values below), the button, the button's captions during the update, and the status line
# asking for the device, saying it is ready (its first sentence) and asking to keep the device
# connected during the transfer (the time left follows that sentence).
CAPTIONS = {
    "": ("Firmware Update", ("Manufacturer", "Product", "Version", "Serial Number"),
         "Upgrade Firmware",
         {"Switching to bootloader...", "Updating firmware...", "Finishing..."},
         "Connect the device to update its firmware.", "Ready to update.",
         "Keep the device connected until the update has finished."),
    "de": ("Firmware-Aktualisierung", ("Hersteller", "Produkt", "Version", "Seriennummer"),
           "Firmware aktualisieren",
           {"Wechsel in den Bootloader...", "Firmware wird aktualisiert...",
            "Wird abgeschlossen..."},
           "Schließen Sie das Gerät an, um seine Firmware zu aktualisieren.",
           "Bereit zur Aktualisierung.",
           "Lassen Sie das Gerät angeschlossen, bis die Aktualisierung abgeschlossen ist."),
}
WINDOW, LABELS, BUTTON, PHASES, CONNECT, READY, KEEP = CAPTIONS[os.environ.get("LANGUAGE", "")]
# The built-in scenario's device, as the window shows it.
VALUES = dict(zip(LABELS, (" Dalvorn", " Widget", " 1.2", " 0001")))
SCENARIO = {"device": {"plugged_at_ms": 4000}}

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL: " + what)


def text_of(acc):
    try:
        text = acc.queryText()
        return text.getText(0, text.characterCount)
    except NotImplementedError:
        return None


def walk(acc):
    yield acc
    for i in range(acc.childCount):
        child = acc.getChildAtIndex(i)
        if child is not None:
            yield from walk(child)


def status_line(frame):
    """The label under the bar that says what the click will do."""
    for a in walk(frame):
        if a.getRole() == pyatspi.ROLE_LABEL and (a.name.startswith(CONNECT) or
                                                   a.name.startswith(READY)):
            return a
    return None


def find_window(pid, deadline):
    """The runner's top-level frame, once its status line says something."""
    desktop = pyatspi.Registry.getDesktop(0)
    while time.monotonic() < deadline:
        for app in desktop:
            try:
                if app is None or app.get_process_id() != pid:
                    continue
                for frame in app:
                    if frame is not None and frame.name == WINDOW and \
                            status_line(frame) is not None:
                        return frame
            except Exception:  # the tree changes while it is read
                pass
        time.sleep(0.1)
    return None


def follow_status(frame, deadline):
    """Reads the status line until it says the device is ready; the names read, in order."""
    names = []
    while time.monotonic() < deadline:
        try:
            line = status_line(frame)
            if line is not None and (not names or names[-1] != line.name):
                names.append(line.name)
            if names and names[-1].startswith(READY):
                break
        except Exception:  # the tree changes while it is read
            pass
        time.sleep(0.05)
    return names


def window_titles():
    """The names of the windows on the X display, as a window manager shows them."""
    try:
        tree = subprocess.run(["xwininfo", "-root", "-tree"], capture_output=True, text=True,
                              timeout=10).stdout
    except (OSError, subprocess.TimeoutExpired):
        return None
    return [line.split('"')[1] for line in tree.splitlines() if line.count('"') >= 2]


def by_role(frame, role):
    return [a for a in walk(frame) if a.getRole() == role]


def states(acc):
    return acc.getState()


def main():
    runner, program_dir = sys.argv[1], sys.argv[2]
    seconds = float(sys.argv[3]) if len(sys.argv) > 3 else 60
    deadline = time.monotonic() + seconds
    scenario = tempfile.NamedTemporaryFile("w", suffix=".json", delete=False)
    json.dump(SCENARIO, scenario)
    scenario.close()
    proc = subprocess.Popen([runner, scenario.name, "--program-dir", program_dir, "--real-time",
                             "--idle-ms", "7000"])
    try:
        frame = find_window(proc.pid, deadline)
        if frame is None:
            print("FAIL: no window of the runner in the accessibility tree")
            return 1
        print("window: %r (%s)" % (frame.name, frame.getRoleName()))
        check(frame.getRole() == pyatspi.ROLE_FRAME, "the window is not a frame")
        titles = window_titles()
        if titles is not None:
            ours = [t for t in titles if t.startswith(WINDOW)]
            print("title bar: %r" % ours)
            check(ours and all(t == WINDOW for t in ours),
                  "the title bar is not the caption alone: %r" % ours)

        # The status line: it asks for the device, with the button unavailable, then says it
        # is ready once the device has come.
        first = status_line(frame)
        waiting = [b for b in by_role(frame, pyatspi.ROLE_PUSH_BUTTON) if b.name == BUTTON]
        if first is not None and first.name == CONNECT and waiting:
            check(not states(waiting[0]).contains(pyatspi.STATE_ENABLED),
                  "the button is enabled with no device")
        statuses = follow_status(frame, deadline)
        print("status line: %r" % statuses)
        check(bool(statuses) and statuses[0] == CONNECT,
              "the status line did not first ask for the device")
        check(bool(statuses) and statuses[-1].startswith(READY),
              "the status line did not change when the device arrived")
        find_labels_deadline = time.monotonic() + 5
        while time.monotonic() < find_labels_deadline and not [
                a for a in walk(frame) if a.name == LABELS[-1] and text_of(a)]:
            time.sleep(0.1)

        # The value labels: named by their caption, their text is the value.
        labels = by_role(frame, pyatspi.ROLE_LABEL)
        for name, value in VALUES.items():
            named = [a for a in labels if a.name == name]
            values = [text_of(a) for a in named]
            print("label %r: texts %r" % (name, values))
            check(value in values, "no label named %r reads %r" % (name, value))
            value_label = [a for a in named if text_of(a) == value]
            if value_label:
                relations = [r.getRelationType() for r in value_label[0].getRelationSet()]
                check(pyatspi.RELATION_LABELLED_BY in relations,
                      "the %r value is not labelled by its caption" % name)

        # The progress bar: role, range and value.
        bars = by_role(frame, pyatspi.ROLE_PROGRESS_BAR)
        check(len(bars) == 1, "%d progress bars" % len(bars))
        bar = bars[0] if bars else None
        if bar is not None:
            value = bar.queryValue()
            print("progress bar %r: min %g max %g current %g" %
                  (bar.name, value.minimumValue, value.maximumValue, value.currentValue))
            check(value.minimumValue == 0 and value.maximumValue == 100,
                  "the bar's range is not 0 to 100")

        # The button: its caption as name, enabled, focused, pressable.
        buttons = [b for b in by_role(frame, pyatspi.ROLE_PUSH_BUTTON) if b.name == BUTTON]
        check(len(buttons) == 1, "no push button named %r" % BUTTON)
        if not buttons:
            return 1
        button = buttons[0]
        st = states(button)
        print("button %r: enabled %s, focused %s, focusable %s" %
              (button.name, st.contains(pyatspi.STATE_ENABLED),
               st.contains(pyatspi.STATE_FOCUSED), st.contains(pyatspi.STATE_FOCUSABLE)))
        check(st.contains(pyatspi.STATE_ENABLED), "the button is not enabled at start")
        focusable = [a.name or a.getRoleName() for a in walk(frame)
                     if states(a).contains(pyatspi.STATE_FOCUSABLE)]
        print("focusable: %r" % focusable)
        check(focusable == [BUTTON], "focusable objects are %r" % focusable)

        # Press it as a screen reader user would, and follow the update.
        action = button.queryAction()
        names = [action.getName(i) for i in range(action.nActions)]
        print("button actions: %r" % names)
        check("Press" in names, "the button has no Press action")
        status_label = status_line(frame)  # found by what it says now; read on as it changes
        action.doAction(names.index("Press") if "Press" in names else 0)

        seen_values, seen_captions, seen_statuses, disabled_seen = [], [], [], False
        while proc.poll() is None and time.monotonic() < deadline:
            try:
                if bar is not None and states(bar).contains(pyatspi.STATE_SHOWING):
                    current = round(bar.queryValue().currentValue)
                    if not seen_values or seen_values[-1] != current:
                        seen_values.append(current)
                line = status_label.name if status_label is not None else None
                if line and (not seen_statuses or seen_statuses[-1] != line):
                    seen_statuses.append(line)
                caption = button.name
                if caption and (not seen_captions or seen_captions[-1] != caption):
                    seen_captions.append(caption)
                if not states(button).contains(pyatspi.STATE_ENABLED):
                    disabled_seen = True
            except Exception:  # the window went away between two reads
                break
            time.sleep(0.02)
        print("button captions: %r" % seen_captions)
        print("button seen disabled: %s" % disabled_seen)
        print("bar values: %r" % seen_values)
        print("status line during the update: %r" % seen_statuses)
        check(any(s.startswith(KEEP + " ") for s in seen_statuses), "no time left was read")
        check(disabled_seen, "the button was never reported disabled")
        check(bool(PHASES & set(seen_captions)), "no phase caption was read")
        rising = [v for v in seen_values if 1 <= v < 100]
        check(len(rising) >= 3, "fewer than three values between 0 and 100")
        check(rising == sorted(rising), "the bar's value went down during the transfer")
        try:
            status = proc.wait(max(1.0, deadline - time.monotonic()))
        except subprocess.TimeoutExpired:
            print("FAIL: the runner did not finish in time")
            return 1
        print("runner exit status: %d" % status)
        check(status == 0, "exit status %d" % status)
    finally:
        if proc.poll() is None:
            proc.kill()
            proc.wait()
        os.unlink(scenario.name)
    print("accessibility (AT-SPI): %s" % ("FAILED" if failures else "passed"))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
