#!/usr/bin/env python3
"""Makes the mirrors' test package: a copy of the built resource package whose
download URL (STR_DOWN_URL and STR_DOWN_URL_X64) names a host that does not
resolve, so that only its mirrors can serve the installer.

    make_unresolvable_package.py IN_ZIP OUT_ZIP
"""
import re
import sys
import zipfile

HOST = "pathwick-down.invalid"


def main():
    src, out = sys.argv[1], sys.argv[2]
    changed = 0
    with zipfile.ZipFile(src) as zin, zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as zout:
        for name in zin.namelist():
            data = zin.read(name)
            if name.endswith("/UrlInfo.ini"):
                text = data.decode("utf-16")
                if "STR_DOWN_URL_2=" not in text:
                    sys.exit("make_unresolvable_package: %s names no mirror" % name)
                text = re.sub(r"^(STR_DOWN_URL(?:_X64)?=https://)[^/]+", r"\g<1>" + HOST, text, flags=re.M)
                data = b"\xff\xfe" + text.encode("utf-16-le")
                changed += 1
            zout.writestr(name, data)
    if changed == 0:
        sys.exit("make_unresolvable_package: no UrlInfo.ini in " + src)


if __name__ == "__main__":
    main()
