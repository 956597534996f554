#!/usr/bin/env python3
"""Checks of resources/package.py: the shipped sources pass, each kind of
damage to a copy of them is caught with a message that names it, and the
staged archive has the entry layout the installer expects.

  test_package.py <path of package.py> <scratch folder>
"""

import os
import shutil
import subprocess
import sys
import unittest
import zipfile

TOOL = None
WORK = None


def run(*args):
    return subprocess.run([sys.executable, TOOL] + list(args), capture_output=True, text=True)


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def write_bytes(path, data):
    with open(path, "wb") as f:
        f.write(data)


def utf16(text):
    return b"\xff\xfe" + text.encode("utf-16-le")


class PackageTool(unittest.TestCase):
    def setUp(self):
        self.src = os.path.join(os.path.dirname(TOOL), "package")
        self.copy = os.path.join(WORK, self.id().split(".")[-1])
        if os.path.isdir(self.copy):
            shutil.rmtree(self.copy)
        shutil.copytree(self.src, self.copy)

    def path(self, rel):
        return os.path.join(self.copy, rel)

    def assertCheckFails(self, expected):
        result = run("check", "--dir", self.copy)
        self.assertNotEqual(result.returncode, 0, "the check passed a damaged package")
        self.assertIn(expected, result.stderr)

    def test_shipped_sources_pass(self):
        result = run("check", "--dir", self.src)
        self.assertEqual(result.returncode, 0, result.stderr)

    def test_damage_is_caught(self):
        english = read_bytes(self.path("English/text.ini"))
        text = english[2:].decode("utf-16-le")
        cases = [
            ("English/text.ini", english[2:], "no UTF-16LE byte-order mark"),
            ("English/text.ini", utf16(text.replace("\r\n", "\n")), "a line end other than CR LF"),
            ("English/text.ini", utf16(text.replace("STR_INSTALL=Install\r\nSTR_BROWSE=Browse",
                                                    "STR_BROWSE=Browse\r\nSTR_INSTALL=Install")), "keys not in the order"),
            ("English/text.ini", utf16(text.replace("Now", "Later")), "differs from the tables"),
            ("language.ini", read_bytes(self.path("language.ini")).replace(b"\r\n", b"\n"), "CR LF"),
            ("German/pr_2.png", b"not a png", "German/pr_2.png: not a 650x290 PNG"),
            ("German/pr_3.png", read_bytes(self.path("German/pr_3.png")) + b"\0" * 70000, "above"),
        ]
        for rel, data, message in cases:
            with self.subTest(rel=rel, message=message):
                original = read_bytes(self.path(rel))
                write_bytes(self.path(rel), data)
                self.assertCheckFails(message)
                write_bytes(self.path(rel), original)
        os.remove(self.path("Korean/pr_4.png"))
        self.assertCheckFails("Korean/pr_4.png: missing")

    def test_staged_archive_layout(self):
        stage = os.path.join(self.copy + "-stage")
        out = os.path.join(WORK, "package.zip")
        result = run("stage", "--dir", self.src, "--out", stage, "--download-host", "dl.test.example:8443",
                     "--url-host", "urls.test.example")
        self.assertEqual(result.returncode, 0, result.stderr)
        result = run("zip", "--dir", stage, "--out", out)
        self.assertEqual(result.returncode, 0, result.stderr)
        with zipfile.ZipFile(out) as archive:
            self.assertEqual(archive.comment, b"")
            infos = archive.infolist()
            names = [i.filename for i in infos]
            self.assertEqual(names[:2], ["language.ini", "productInfo.ini"])
            folders = [n for n in names if n.endswith("/")]
            self.assertEqual(len(folders), 10)
            for info in infos:
                self.assertNotIn("\\", info.filename)
                self.assertIn(info.compress_type, (zipfile.ZIP_STORED, zipfile.ZIP_DEFLATED))
                self.assertEqual(info.flag_bits & 1, 0, "encrypted entry")
                if info.filename.endswith("/"):
                    self.assertEqual(info.file_size, 0)
                    continue
                folder = info.filename.split("/")[0] + "/"
                if "/" in info.filename:
                    self.assertLess(names.index(folder), names.index(info.filename), "folder entry after its files")
            self.assertEqual(len(names), 2 + 10 * 7)
            urls = archive.read("Dutch/UrlInfo.ini")
            self.assertEqual(urls[:2], b"\xff\xfe")
            lines = urls[2:].decode("utf-16-le").split("\r\n")
            self.assertEqual(lines, [
                "[URL]",
                "STR_DOWN_URL=https://dl.test.example:8443/pathwick/brisklane-pathwick.exe",
                "STR_DOWN_URL_X64=https://dl.test.example:8443/pathwick/brisklane-pathwick.exe",
                "STR_LICENCE_URL=https://urls.test.example/producturl?key=license_agreement&pid=380&lang=Dutch",
                "STR_INSTALL_URL=https://urls.test.example/producturl?key=installed&pid=380&lang=Dutch",
                "",
            ])
            # Every other entry is the source file unchanged.
            for name in names:
                if not name.endswith("/") and not name.endswith("UrlInfo.ini"):
                    self.assertEqual(archive.read(name), read_bytes(os.path.join(self.src, name)), name)
        first = read_bytes(out)
        run("zip", "--dir", stage, "--out", out)
        self.assertEqual(read_bytes(out), first, "the archive is not reproducible")

    def test_mirrors_staged_and_checked(self):
        stage = os.path.join(self.copy + "-stage")
        result = run("stage", "--dir", self.src, "--out", stage, "--download-host", "dl.test.example",
                     "--url-host", "urls.test.example", "--mirror-hosts", "m2.test.example,m3.test.example:8443")
        self.assertEqual(result.returncode, 0, result.stderr)
        ini = os.path.join(stage, "French", "UrlInfo.ini")
        lines = read_bytes(ini)[2:].decode("utf-16-le").split("\r\n")
        self.assertEqual(lines[5:], [
            "STR_DOWN_URL_2=https://m2.test.example/pathwick/brisklane-pathwick.exe",
            "STR_DOWN_URL_3=https://m3.test.example:8443/pathwick/brisklane-pathwick.exe",
            "",
        ])
        out = os.path.join(WORK, "mirrors.zip")
        damaged = [
            (lines[:5] + [lines[6], ""], "at most STR_DOWN_URL_2 and STR_DOWN_URL_3"),
            (lines[:6] + [lines[6].replace("https:", "http:"), ""], "as HTTPS URLs"),
            (lines[:6] + [lines[5].replace("_2", "_3"), ""], "a mirror repeats another download URL"),
        ]
        for damage, message in damaged:
            with self.subTest(message=message):
                write_bytes(ini, utf16("\r\n".join(damage)))
                result = run("zip", "--dir", stage, "--out", out)
                self.assertNotEqual(result.returncode, 0, "the check passed a damaged mirror list")
                self.assertIn(message, result.stderr)
        result = run("stage", "--dir", self.src, "--out", stage, "--download-host", "dl.test.example",
                     "--url-host", "u.example", "--mirror-hosts", "a.example,b.example,c.example")
        self.assertNotEqual(result.returncode, 0)

    def test_custom_tag(self):
        out = os.path.join(WORK, "tag.txt")
        self.assertEqual(run("tag", "--out", out).returncode, 0)
        self.assertEqual(read_bytes(out), b"com_english\r\n")


if __name__ == "__main__":
    TOOL, WORK = sys.argv[1], sys.argv[2]
    os.makedirs(WORK, exist_ok=True)
    unittest.main(argv=[sys.argv[0], "-v"])
