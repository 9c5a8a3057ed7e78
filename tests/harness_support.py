"""Builds and runs the small C++ programs that call the device library
directly, for what Python cannot hand it through the modules."""
import os
import pathlib
import shutil
import subprocess

import pytest

from conftest import build_tool_env, loaded_device_library

REPO = pathlib.Path(__file__).resolve().parent.parent


def run_harness(source_name, folder, *args):
    """Compiles tests/<source_name> against the device library this process
    loaded (wherever it came from, so a sanitizer or coverage build tests its
    own library) and returns its output lines."""
    compiler = shutil.which("g++") or shutil.which("c++")
    if compiler is None:
        pytest.skip("no C++ compiler to build the harness")
    library = loaded_device_library()
    output = pathlib.Path(folder) / pathlib.Path(source_name).stem
    subprocess.run(
        [compiler, "-std=c++17", "-O0", "-o", str(output), str(REPO / "tests" / source_name),
         "-I" + str(REPO / "include"), str(library), "-Wl,-rpath," + str(library.parent),
         "-Wl,--allow-shlib-undefined"],
        check=True, env=build_tool_env(),
    )
    result = subprocess.run([str(output), *args], capture_output=True, text=True, timeout=60,
                            env=dict(os.environ))
    assert result.returncode == 0, result.stderr
    return result.stdout.splitlines()


def gcc_runtime(library):
    """The path of one of g++'s sanitizer runtimes (e.g. "libasan.so"), or
    None where g++ or that runtime is missing."""
    if shutil.which("g++") is None:
        return None
    found = subprocess.run(["g++", "-print-file-name=" + library], capture_output=True, text=True)
    path = pathlib.Path(found.stdout.strip())
    return path if path.is_absolute() and path.exists() else None


def stage_self_check(script, timeout):
    """Runs `tools/<script> --harness-check` as CI runs it (not under the
    runtimes this test may run under), asserts it passed and returns its
    output lines. Skips where the project environment is missing."""
    if not (REPO / ".venv" / "bin" / "python").exists():
        pytest.skip("the stage runs the project environment's interpreter")
    done = subprocess.run(["bash", str(REPO / "tools" / script), "--harness-check"], cwd=REPO,
                          env=build_tool_env(), capture_output=True, text=True, timeout=timeout)
    assert done.returncode == 0, done.stdout + done.stderr
    return done.stdout.splitlines()
