#!/usr/bin/env python3
"""The skin packer packs exactly the layouts and images, the same bytes every
time, and refuses a skin whose layouts are malformed or name missing files;
the images have the sizes their layouts draw them at.

    SkinPackerTest.py <resources/skin folder>
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import zipfile

SKIN = os.path.abspath(sys.argv.pop(1)) if len(sys.argv) > 1 else None
PACKER = os.path.join(SKIN or "", "make_skin_zip.py")

# Image sizes fixed by the layouts (control sizes, or image dest rectangles).
EXPECTED_SIZES = {
    "left_log.png": (108, 32), "logo.png": (407, 52),
    "button_normal.png": (168, 46), "button_hover.png": (168, 46),
    "button_pressing.png": (168, 46), "button_disable.png": (168, 46),
    "browse-df.png": (90, 32), "browse-ho.png": (90, 32),
    "hide-df.png": (90, 32), "hide-ho.png": (90, 32),
    "checked.png": (14, 14), "unchecked.png": (14, 14),
    "fold.png": (14, 14), "unfold.png": (14, 14),
    "min-df.png": (20, 20), "min-ho.png": (20, 20),
    "close-df.png": (20, 20), "close-ho.png": (20, 20),
    "progress.png": (435, 6), "progress_rtl.png": (435, 6),
}


def png_size(data):
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        return None
    return struct.unpack(">II", data[16:24])


def pack(folder, out):
    result = subprocess.run([sys.executable, PACKER, folder, out],
                            capture_output=True, text=True)
    return result.returncode, result.stderr


class PackerTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="skin_packer_")

    def tearDown(self):
        shutil.rmtree(self.tmp)

    def copy_skin(self):
        folder = os.path.join(self.tmp, "skin")
        shutil.copytree(SKIN, folder)
        return folder

    def test_real_skin_packs_layouts_at_root_and_images_below_img(self):
        out = os.path.join(self.tmp, "skin.zip")
        code, err = pack(SKIN, out)
        self.assertEqual(code, 0, err)
        with zipfile.ZipFile(out) as z:
            names = z.namelist()
            self.assertIsNone(z.testzip())
        expected = sorted(n for n in os.listdir(SKIN) if n.endswith(".xml"))
        expected += sorted("img/" + n for n in os.listdir(os.path.join(SKIN, "img"))
                           if n.endswith(".png"))
        self.assertEqual(sorted(names), sorted(expected))
        for layout in ("main.xml", "home.xml", "banner.xml",
                       "main_rtl.xml", "home_rtl.xml", "banner_rtl.xml"):
            self.assertIn(layout, names)
        self.assertFalse([n for n in names if "\\" in n])
        self.assertFalse([n for n in names if n.endswith((".sh", ".py"))])

    def test_packing_twice_gives_the_same_bytes(self):
        first, second = os.path.join(self.tmp, "a.zip"), os.path.join(self.tmp, "b.zip")
        self.assertEqual(pack(SKIN, first)[0], 0)
        self.assertEqual(pack(SKIN, second)[0], 0)
        with open(first, "rb") as a, open(second, "rb") as b:
            self.assertEqual(a.read(), b.read())

    def test_broken_skins_are_refused_with_the_reason(self):
        cases = [
            # (layout, text replaced, replacement, expected exit code, message part)
            ("home.xml", "img\\logo.png", "img\\logo2.png", 1, "img/logo2.png"),
            ("home.xml", "img/checked.png", "img/check.png", 1, "img/check.png"),
            ("main.xml", "home.xml", "start.xml", 1, "start.xml"),
            ("banner.xml", "</Window>", "</Window", 1, "not well-formed"),
            ("home.xml", "img\\logo.png", "IMG\\LOGO.PNG", 0, ""),
        ]
        for layout, old, new, want, message in cases:
            with self.subTest(layout=layout, new=new):
                folder = self.copy_skin()
                path = os.path.join(folder, layout)
                with open(path, encoding="utf-8") as f:
                    text = f.read()
                self.assertIn(old, text)
                with open(path, "w", encoding="utf-8") as f:
                    f.write(text.replace(old, new))
                out = os.path.join(self.tmp, "out.zip")
                code, err = pack(folder, out)
                self.assertEqual(code, want, err)
                self.assertIn(message, err)
                if want != 0:
                    self.assertFalse(os.path.exists(out), "a refused skin left an archive")
                shutil.rmtree(folder)
                if os.path.exists(out):
                    os.remove(out)

    def test_images_have_the_sizes_the_layouts_draw_them_at(self):
        found = {}
        for name in os.listdir(os.path.join(SKIN, "img")):
            with open(os.path.join(SKIN, "img", name), "rb") as f:
                found[name] = png_size(f.read(64))
        # Every image also at twice its size, for scaled displays.
        expected = dict(EXPECTED_SIZES)
        for name, (w, h) in EXPECTED_SIZES.items():
            expected[name[:-4] + "@2x.png"] = (2 * w, 2 * h)
        self.assertEqual(set(found), set(expected))
        for name, size in expected.items():
            self.assertEqual(found[name], size, name)


if __name__ == "__main__":
    if not SKIN:
        sys.exit(__doc__)
    unittest.main(verbosity=2)
