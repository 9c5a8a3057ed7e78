"""Checks what a wheel carries: the two modules, exactly one copy of the
device library (under its soname, the name the modules load), no pugixml
(linked into the library), the pytest plugin, the typed stubs, the licence,
and the tools package `vkt` with its console script. Prints the file list.
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
    # The modules are built for the interpreter the wheel's tag names (cp311: 3.11).
    major, minor = re.search(r"-cp(\d)(\d+)-", path).groups()
    for module in ("unit", "vktsim"):
        pattern = r"%s\.cpython-%s%s-[^/]+\.so" % (module, major, minor)
        assert len([n for n in names if re.fullmatch(pattern, n)]) == 1, module
    # The pytest plugin is a plain module, which only a stub package types.
    for typed in ("unit-stubs/__init__.pyi", "vktsim-stubs/__init__.pyi",
                  "vktsim_pytest.py", "vktsim_replay.py", "vktsim_pytest-stubs/__init__.pyi"):
        assert typed in names, typed
    assert any(re.fullmatch(r"[^/]+\.dist-info/licenses/LICENSE", n) for n in names), names
    for name in ("vkt/__init__.py", "vkt/__main__.py", "vkt/py.typed", "vkt/cli.py",
                 "vkt/boards.py", "vkt/recording.py", "vkt/viewer/__init__.py",
                 "vkt/viewer/server.py", "vkt/viewer/security.py", "vkt/viewer/session.py",
                 "vkt/viewer/capture.py", "vkt/viewer/static/index.html",
                 "vkt/viewer/static/app.js", "vkt/viewer/static/style.css"):
        assert name in names, name
    entry_points = [n for n in names if n.endswith(".dist-info/entry_points.txt")]
    assert len(entry_points) == 1, names
    scripts = zipfile.ZipFile(path).read(entry_points[0]).decode()
    assert "vkt = vkt.cli:main" in scripts, scripts
    print("%s: %d files, one device library" % (path, len(names)))


if __name__ == "__main__":
    main(sys.argv[1])
