#!/usr/bin/env python3
# Checks what the Win32 emulated runner left after a whole update under Wine (.ci/windows.sh,
# step "emulated runner"): its trace ends with exit 0 and has the window's show, unload and
# terminate lines and the device's unlock; the device flashed exactly the image's whole 40-byte
# blocks, once, and came back in application mode; the screenshot is a 361 x 250 PNG.
# Prints one line of totals; on a fault exits non-zero with "emulated trace: WHY".
# Usage: .ci/check-emulated-run.py TRACE.jsonl IMAGE.bin SCREENSHOT.png
import hashlib
import json
import struct
import sys


def fail(why):
    sys.exit("emulated trace: " + why)


def main():
    if len(sys.argv) != 4:
        sys.exit("usage: check-emulated-run.py TRACE.jsonl IMAGE.bin SCREENSHOT.png")
    trace, image, shot = sys.argv[1:4]
    with open(trace, encoding="utf-8") as f:
        lines = [json.loads(line) for line in f if line.strip()]
    if not lines:
        fail("is empty")
    if lines[-1] != {"t": lines[-1].get("t"), "ev": "exit", "code": 0}:
        fail("does not end with exit 0: %r" % lines[-1])
    ops = [(line["ev"], line.get("op")) for line in lines]
    for needed in [("window", "show"), ("device", "unlocked"), ("window", "unload"),
                   ("window", "terminate")]:
        if needed not in ops:
            fail("no %s %s line" % needed)
    flash = [line for line in lines if line["ev"] == "device" and line.get("op") == "flash"]
    with open(image, "rb") as f:
        data = f.read()
    whole = len(data) // 40 * 40
    if len(flash) != 1 or flash[0]["bytes"] != whole or \
            flash[0]["sha256"] != hashlib.sha256(data[:whole]).hexdigest():
        fail("the device's flash is not the image: %r" % flash)
    arrived = [line for line in lines if line["ev"] == "device" and line.get("op") == "arrived"]
    if not arrived or arrived[-1].get("mode") != "app":
        fail("the device did not come back in application mode")
    with open(shot, "rb") as f:
        png = f.read(24)
    if png[:8] != b"\x89PNG\r\n\x1a\n" or struct.unpack(">II", png[16:24]) != (361, 250):
        fail("the screenshot is not a 361 x 250 PNG")
    print("emulated trace: %d lines, %d bytes flashed, exit 0" % (len(lines), whole))


if __name__ == "__main__":
    main()
