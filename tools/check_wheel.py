"""Checks what a wheel carries: the two modules, exactly one copy of the
device library (under its soname, the name the modules load), no pugixml
(linked into the library), the pytest plugin, the typed stubs, and the
licence. Prints the file list.
Usage: check_wheel.py WHEEL"""
import re
import sys
import zipfile


def main(path):
    names = zipfile.ZipFile(path).namelist()
    for name in names:
        print("  " + name)
    libraries = [n for n in names if re.search(r"(^|/)lib[^/]*\.so", n)]
    assert [n for n in libraries if "libvkt_unit" in n] == ["vkt_unit.libs/libvkt_unit.so.1"], \
        libraries
    assert not [n for n in libraries if "pugixml" in n], libraries
    for module in ("unit", "vktsim"):
        assert len([n for n in names if re.fullmatch(module + r"\.cpython-311-[^/]+\.so", n)]) == 1, \
            module
    # The pytest plugin is a plain module, which only a stub package types.
    for typed in ("unit-stubs/__init__.pyi", "vktsim-stubs/__init__.pyi",
                  "vktsim_pytest.py", "vktsim_pytest-stubs/__init__.pyi"):
        assert typed in names, typed
    assert any(re.fullmatch(r"[^/]+\.dist-info/licenses/LICENSE", n) for n in names), names
    print("%s: %d files, one device library" % (path, len(names)))


if __name__ == "__main__":
    main(sys.argv[1])
