#!/usr/bin/env python3
"""Packs the skin folder into the archive that the installer embeds, and
checks it on the way.

    make_skin_zip.py <skin folder> <output zip>

Layout files go to the archive root, images below "img/", with "/" separators
and fixed time stamps so that the archive is the same on every build. The
build stops when a layout file is not well-formed XML or names an image that
the folder does not hold; scripts and other files beside the layouts are not
packed.
"""
import os
import re
import sys
import xml.dom.minidom
import zipfile

PACKED_SUFFIXES = (".xml", ".png")
FIXED_TIME = (2026, 1, 1, 0, 0, 0)
IMAGE_NAME = re.compile(r"[A-Za-z0-9_\-\\/]+\.png", re.IGNORECASE)
INCLUDE_NAME = re.compile(r"<Include\s[^>]*source=\"([^\"]+)\"", re.IGNORECASE)


def skin_files(folder):
    """Archive names of the files to pack, sorted: layouts then images."""
    names = []
    for root, _, files in os.walk(folder):
        for name in files:
            if not name.lower().endswith(PACKED_SUFFIXES):
                continue
            rel = os.path.relpath(os.path.join(root, name), folder)
            names.append(rel.replace(os.sep, "/"))
    return sorted(names, key=lambda n: (n.count("/"), n))


def files_named_by(text):
    """Image and included layout names in a layout, as the framework looks
    them up: "\\" read as "/", case ignored."""
    names = {m.group(0) for m in IMAGE_NAME.finditer(text)}
    names |= {m.group(1) for m in INCLUDE_NAME.finditer(text)}
    return {n.replace("\\", "/").lower() for n in names}


def main(argv):
    if len(argv) != 3:
        sys.stderr.write(__doc__)
        return 2
    folder, output = argv[1], argv[2]
    names = skin_files(folder)
    lowered = {n.lower() for n in names}
    problems = []
    for name in names:
        if not name.endswith(".xml"):
            continue
        path = os.path.join(folder, name)
        try:
            xml.dom.minidom.parse(path)
        except Exception as error:  # any parse failure stops the build
            problems.append("%s: not well-formed: %s" % (name, error))
            continue
        with open(path, encoding="utf-8") as f:
            for image in sorted(files_named_by(f.read())):
                if image not in lowered:
                    problems.append("%s: names %s, which is not in the skin" % (name, image))
    if problems:
        for p in problems:
            sys.stderr.write("skin: %s\n" % p)
        return 1
    tmp = output + ".tmp"
    with zipfile.ZipFile(tmp, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
        for name in names:
            info = zipfile.ZipInfo(name, FIXED_TIME)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.external_attr = 0o644 << 16
            with open(os.path.join(folder, name), "rb") as f:
                z.writestr(info, f.read(), compresslevel=9)
    os.replace(tmp, output)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
