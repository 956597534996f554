#!/usr/bin/env python3
"""Makes the right-to-left test package: a copy of the built resource package
with an "Arabic" row (code 1025) in language.ini and an Arabic folder holding
the English files.

    make_rtl_package.py IN_ZIP OUT_ZIP
"""
import sys
import zipfile


def main():
    src, out = sys.argv[1], sys.argv[2]
    with zipfile.ZipFile(src) as zin, zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as zout:
        names = zin.namelist()
        if "language.ini" not in names:
            sys.exit("make_rtl_package: no language.ini in " + src)
        for name in names:
            data = zin.read(name)
            if name == "language.ini":
                data = data.rstrip(b"\r\n") + b"\r\n1025=Arabic\r\n"
            zout.writestr(name, data)
        english = [n for n in names if n.startswith("English/")]
        if not english:
            sys.exit("make_rtl_package: no English folder in " + src)
        for name in english:
            zout.writestr("Arabic/" + name[len("English/"):], zin.read(name))


if __name__ == "__main__":
    main()
