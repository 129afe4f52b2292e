#!/usr/bin/env python3
"""Writes signature_fixtures.h: two throwaway P-256 key pairs (only their public halves are
kept), a small firmware image and signatures made with the openssl command exactly as a maker
makes them (openssl dgst -sha256 -sign). Run it again to make new ones:

    python3 tests/signature/make_fixtures.py > tests/signature/signature_fixtures.h
"""
import os
import subprocess
import sys
import tempfile

# The order of the P-256 group.
ORDER = 0xFFFFFFFF00000000FFFFFFFFFFFFFFFFBCE6FAADA7179E84F3B9CAC2FC632551


def openssl(*args, data=None):
    return subprocess.run(["openssl", *args], input=data, check=True, capture_output=True).stdout


def der_integer(value):
    body = value.to_bytes((value.bit_length() + 7) // 8, "big")
    if body[0] & 0x80:
        body = b"\0" + body
    return bytes([2, len(body)]) + body


def der_signature(r, s):
    body = der_integer(r) + der_integer(s)
    return bytes([0x30, len(body)]) + body


def read_signature(der):
    assert der[0] == 0x30 and der[1] == len(der) - 2 and der[2] == 2
    r_len = der[3]
    r = int.from_bytes(der[4:4 + r_len], "big")
    at = 4 + r_len
    assert der[at] == 2
    s = int.from_bytes(der[at + 2:at + 2 + der[at + 1]], "big")
    return r, s


def c_bytes(data):
    lines = []
    for i in range(0, len(data), 12):
        lines.append("    " + " ".join("0x%02x," % b for b in data[i:i + 12]))
    return "{\n" + "\n".join(lines) + "\n}"


def main():
    # 5 whole records of 40 bytes and a tail of 13 that is never sent.
    image = bytes((i * 29 + 11) % 256 for i in range(213))
    head = image[:200]
    out = []
    with tempfile.TemporaryDirectory() as work:
        def path(name):
            return os.path.join(work, name)

        keys = {}
        for name in ("A", "B"):
            openssl("genpkey", "-algorithm", "EC", "-pkeyopt", "ec_paramgen_curve:P-256",
                    "-out", path(name + ".pem"))
            pem = openssl("pkey", "-in", path(name + ".pem"), "-pubout").decode()
            der = openssl("pkey", "-in", path(name + ".pem"), "-pubout", "-outform", "DER")
            keys[name] = (pem, der[-65:])
        for name, data in (("image", image), ("head", head)):
            with open(path(name), "wb") as f:
                f.write(data)

        def sign(key, data_name):
            return openssl("dgst", "-sha256", "-sign", path(key + ".pem"), path(data_name))

        by_a = sign("A", "image")
        r, s = read_signature(by_a)
        low_s = der_signature(r, min(s, ORDER - s))
        high_s = der_signature(r, max(s, ORDER - s))
        by_b = sign("B", "image")
        head_by_a = sign("A", "head")

    out.append("// Signature test data, written by tests/signature/make_fixtures.py with the openssl")
    out.append("// command (two throwaway P-256 key pairs, of which only the public halves are kept).")
    out.append("// Do not edit: run the script again for new data.")
    out.append("#pragma once\n")
    out.append("#include <array>\n#include <cstdint>\n#include <string_view>\n")
    out.append("namespace dalvorn::testing::signature {\n")
    for name in ("A", "B"):
        pem, point = keys[name]
        text = pem.replace("\n", "\\n\"\n    \"")
        text = text[:-len('\n    "')] if text.endswith('\n    "') else text
        out.append("// Maker %s's public key, as openssl pkey -pubout writes it, and its point." % name)
        out.append("inline constexpr std::string_view Maker%sPem =\n    \"%s;" % (name, text))
        out.append("inline constexpr std::array<std::uint8_t, 65> Maker%sPoint = %s;\n"
                   % (name, c_bytes(point)))
    out.append("// The image: five 40-byte records and a 13-byte tail.")
    out.append("inline constexpr std::array<std::uint8_t, %d> Image = %s;\n" % (len(image), c_bytes(image)))
    for name, data, what in (
            ("ByALowS", low_s, "maker A over the image, s in its low form (s <= n/2)"),
            ("ByAHighS", high_s, "the same signature with s in its high form (n - s)"),
            ("ByB", by_b, "maker B over the image"),
            ("HeadByA", head_by_a, "maker A over the image without its tail (the records only)")):
        out.append("// Signed by %s." % what)
        out.append("inline constexpr std::array<std::uint8_t, %d> %s = %s;\n" % (len(data), name, c_bytes(data)))
    out.append("}  // namespace dalvorn::testing::signature")
    sys.stdout.write("\n".join(out) + "\n")


main()
