"""Lays the sources of the API reference out under their import names.

The stubs live in stub-only packages (``stubs/unit-stubs``,
``stubs/vktsim-stubs``), whose folder names are not the modules' names, so
sphinx-autoapi is given a folder of symbolic links instead: ``unit/`` and
``vktsim/`` pointing at the stub packages, ``vktsim_pytest.py`` at the pytest
plugin and ``vkt/`` at the tools package, whenever the tree has one. Nothing
is copied: the reference always reads the files in the tree.
"""
import os
import pathlib
import shutil


def sources(repo):
    """(import name, file or folder) of everything the reference documents."""
    found = [
        ("unit", repo / "stubs" / "unit-stubs"),
        ("vktsim", repo / "stubs" / "vktsim-stubs"),
        ("vktsim_pytest.py", repo / "pyvkt" / "vktsim" / "vktsim_pytest.py"),
    ]
    tools = repo / "pyvkt" / "vkt"
    if (tools / "__init__.py").is_file():
        found.append(("vkt", tools))
    return found


def stage(repo, folder):
    """Makes ``folder`` hold one link per source, and nothing else."""
    folder = pathlib.Path(folder)
    if folder.exists():
        shutil.rmtree(folder)
    folder.mkdir(parents=True)
    for name, target in sources(repo):
        os.symlink(target, folder / name, target_is_directory=target.is_dir())
    return folder
