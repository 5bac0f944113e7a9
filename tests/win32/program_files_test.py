"""What the shipped program files carry, read from the files as Windows reads them:
version resources whose strings lie under the block the Translation entry names,
in the language of the resources."""
import re
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "harness"))
import pe_resources  # noqa: E402
from vl2test import BUILD_DIR, build_file  # noqa: E402


def build_setting(name, build=BUILD_DIR):
    found = re.search(r"^%s:\w+=(.*)$" % name, (build / "CMakeCache.txt").read_text(), re.M)
    return found.group(1) if found else ""


class VersionResources(unittest.TestCase):
    def test_each_program_names_itself_under_the_block_its_translation_names_in_korean(self):
        version = build_setting("CMAKE_PROJECT_VERSION")
        for name, description in (("InitVL2.exe", "Velmora 2.0 설치 및 실행"), ("VL2Del.exe", "Velmora 2.0 제거")):
            data = build_file(name).read_bytes()
            language, translations, blocks = pe_resources.version_info(data)
            self.assertEqual((language, translations), (0x0412, [(0x0412, 949)]), name)
            strings = blocks.get("%04x%04x" % translations[0])
            self.assertIsNotNone(strings, "%s: no strings under the translation's block: %s" % (name, list(blocks)))
            self.assertEqual(
                {key: strings.get(key) for key in ("CompanyName", "FileDescription", "FileVersion", "ProductVersion",
                                                   "ProductName", "OriginalFilename")},
                {"CompanyName": "Corvalen", "FileDescription": description, "FileVersion": version,
                 "ProductVersion": version, "ProductName": "Velmora 2.0", "OriginalFilename": name}, name)
            self.assertRegex(strings.get("LegalCopyright", ""), r"^Copyright \(C\) \d{4} Corvalen\.", name)
            # The dialogs and string tables are Korean, and say so.
            self.assertEqual({key[2] for key in pe_resources.resources(data)
                              if key[0] in (pe_resources.RT_DIALOG, pe_resources.RT_STRING)}, {0x0412}, name)


if __name__ == "__main__":
    unittest.main()
