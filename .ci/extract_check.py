#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Checks `tamrik -x` against the sectors of a raw volume, read here on their own.

  extract_check.py [--crlf] [--windows] WORK PROGRAM... -- LABEL IMAGE RAW ...

For each IMAGE, whose volume RAW holds as plain 256-byte sectors (the image itself, or what
an independent decoder made of a container), the program copies every file out three
times: as stored, with -a and with -e. Each copy with its entry must begin with one of the
32-byte records of RAW's directory, read here from RAW's header, and go on with the
sectors that record names; the copy as stored must be those sectors; the copy with -a must
be the text this script makes of a LIF ASCII file whose records walk to their end mark, and
the copy as stored of any other. Names must be safe. A RAW shorter than a file is compared
as far as it goes (a decoder that stops at a damaged track). --crlf: text lines end in CR
LF. --windows: the program takes paths as Z:... (Wine).
"""
import os
import re
import shutil
import subprocess
import sys

SAFE = re.compile(rb"^[^/\\:*?\"<>|\x00-\x1f\x7f-\xff]+$")


def be(data, at, width):
    return int.from_bytes(data[at:at + width], "big")


def directory_records(raw):
    """The directory's used records, as stored; None when RAW is no LIF volume."""
    if len(raw) < 42 or be(raw, 0, 2) != 0x8000:
        return None
    start, length = be(raw, 8, 4), be(raw, 16, 4)
    records = set()
    at = start * 256
    for _ in range(length * 8):
        record = raw[at:at + 32]
        if len(record) < 12 or be(record, 10, 2) == 0xFFFF:
            break
        if be(record, 10, 2) != 0:
            records.add(record)
        at += 32
    return records


def lif_text(data, line_end):
    """The text of a LIF ASCII file, or None when its records do not reach 0xFFFF."""
    out = bytearray()
    at = 0
    while at + 2 <= len(data):
        length = be(data, at, 2)
        if length == 0xFFFF:
            return bytes(out)
        at += 2
        end = at + length + (length & 1)
        if end > len(data):
            return None
        text = data[at:at + length]
        out += text
        if not text.endswith(b"\n"):
            out += line_end
        at = end
    return None


def main():
    args = sys.argv[1:]
    crlf = "--crlf" in args
    windows = "--windows" in args
    args = [a for a in args if a not in ("--crlf", "--windows")]
    work = args[0]
    split = args.index("--")
    program = args[1:split]
    triples = args[split + 1:]
    line_end = b"\r\n" if crlf else b"\n"
    totals = dict(images=0, files=0, type1=0, text=0, partial=0, said=0, refused=0)
    failures = []
    said_lines = []

    def fail(label, what):
        failures.append(f"{label}: {what}")

    def run(options, image, folder):
        path = "Z:" + image.replace("/", "\\") if windows else image
        # Once in a few hundred starts Wine ends at once with status 1 and
        # nothing written; such a start is made again.
        for _ in range(2):
            shutil.rmtree(folder, ignore_errors=True)
            os.makedirs(folder)
            done = subprocess.run(program + [options, path], cwd=folder, capture_output=True)
            if not (windows and done.returncode == 1 and not done.stdout and not done.stderr):
                break
        return done

    for i in range(0, len(triples), 3):
        label, image, raw_path = triples[i:i + 3]
        image = os.path.abspath(image)
        with open(raw_path, "rb") as f:
            raw = f.read()
        totals["images"] += 1
        records = directory_records(raw)
        runs = {}
        for name, options in (("stored", "-x"), ("text", "-xa"), ("entry", "-xe")):
            folder = os.path.join(work, name)
            done = run(options, image, folder)
            files = {}
            for entry in sorted(os.listdir(folder)):
                with open(os.path.join(folder, entry), "rb") as f:
                    files[os.fsencode(entry)] = f.read()
            runs[name] = (done, files)
            if done.stdout:
                fail(label, f"{options} wrote to standard output")
            said = done.stderr.count(b"\n")
            if done.returncode != (3 if said else 0) or any(
                    not line.startswith(b"tamrik: ") for line in done.stderr.splitlines()):
                fail(label, f"{options}: status {done.returncode} with {done.stderr!r}")
            if name == "stored":
                totals["said"] += said
                said_lines.extend(done.stderr.decode("latin-1").splitlines())
        stored = runs["stored"][1]
        if records is None:
            totals["refused"] += 1
            if any(files for _, files in runs.values()):
                fail(label, "files copied out of what is no LIF volume")
            continue
        for name in ("text", "entry"):
            names = {n[:-4] if name == "text" and n.endswith(b".txt") else n for n in runs[name][1]}
            if names != set(stored):
                fail(label, f"{name} copies named otherwise: {sorted(names ^ set(stored))}")
        for name, data in stored.items():
            totals["files"] += 1
            if not SAFE.match(name) or name.endswith(b"."):
                fail(label, f"unsafe name {name!r}")
            with_entry = runs["entry"][1].get(name, b"")
            record = with_entry[:32]
            if record not in records:
                fail(label, f"{name!r}: -e does not begin with a record of the directory")
                continue
            start, count = be(record, 12, 4), be(record, 16, 4)
            sectors = raw[start * 256:(start + count) * 256]
            if with_entry[32:] != data:
                fail(label, f"{name!r}: -e after its entry differs from the copy as stored")
            # What the raw volume holds of the file is all there is to compare.
            if len(sectors) < count * 256:
                totals["partial"] += 1
                if data[:len(sectors)] != sectors:
                    fail(label, f"{name!r}: differs from its sectors")
            elif data != sectors:
                fail(label, f"{name!r}: differs from its sectors ({len(data)} of {len(sectors)} bytes)")
            totals["type1"] += be(record, 10, 2) == 1
            text = lif_text(sectors, line_end) if be(record, 10, 2) == 1 and len(sectors) == count * 256 else None
            converted = runs["text"][1].get(name + b".txt")
            if text is not None:
                totals["text"] += 1
                if converted != text:
                    fail(label, f"{name!r}: -a gives other text ({len(converted or b'')} for {len(text)} bytes)")
            elif converted is not None or runs["text"][1].get(name) != data:
                if be(record, 10, 2) != 1 or len(sectors) == count * 256:
                    fail(label, f"{name!r}: -a did not write it as stored")
    print(f"{totals['images']} images ({totals['refused']} no LIF volume): {totals['files']} files "
          f"copied as stored, with -a and with -e; {totals['text']} of their {totals['type1']} of type 1 "
          f"LIF text; "
          f"{totals['partial']} compared as far as the raw volume goes; {totals['said']} lines said")
    for line in said_lines:
        print("  said:", line.replace(work, "WORK"))
    for line in failures[:40]:
        print("FAILED:", line)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
