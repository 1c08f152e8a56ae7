#!/usr/bin/python3
"""Fails when the build, the tests or the tools use something that tools/install-deps.sh does not
install: on a fresh machine that is a failure every new user meets, while a machine where the
package was once installed by hand hides it.

What is checked, each mapped to the Debian package that owns it (dpkg -S):
- every file CMake found (FILEPATH entries of build/CMakeCache.txt under /usr, and the config
  file inside every <Package>_DIR folder): libraries, programs, CMake package configurations;
- every program the test scripts look up with `command -v` or `for tool in ...`;
- every Python module that tests/ and tools/ import, as /usr/bin/python3 finds it.
A package counts as installed by install-deps when the script lists it or when a listed package
depends on it (directly or further down).

Usage: tools/check-deps.py [BUILD_DIR]
"""
import os
import re
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def listed_packages():
    out = subprocess.run([os.path.join(ROOT, "tools", "install-deps.sh"), "--list"],
                         capture_output=True, text=True, check=True).stdout
    return set(out.split())


def installed_dependencies():
    """package -> the packages it depends on (Depends and Pre-Depends, alternatives all taken),
    with virtual packages resolved to the installed packages that provide them."""
    out = subprocess.run(["dpkg-query", "-W", "-f", "${Package}\t${Depends}, ${Pre-Depends}\t"
                          "${Provides}\n"], capture_output=True, text=True, check=True).stdout
    depends, providers = {}, {}
    for line in out.splitlines():
        package, deps, provides = (line.split("\t") + ["", ""])[:3]
        names = re.findall(r"(?:^|[,|]\s*)([a-z0-9][a-z0-9.+-]+)", deps)
        depends[package] = names
        for name in re.findall(r"(?:^|,\s*)([a-z0-9][a-z0-9.+-]+)", provides):
            providers.setdefault(name, []).append(package)
    return depends, providers


def closure(roots, depends, providers):
    seen, todo = set(), list(roots)
    while todo:
        package = todo.pop()
        if package in seen:
            continue
        seen.add(package)
        for dep in depends.get(package, []):
            todo.extend([dep] + providers.get(dep, []))
    return seen


def owner(path):
    """The package owning path (symbolic links followed where the link itself is not owned)."""
    for candidate in (path, os.path.realpath(path)):
        done = subprocess.run(["dpkg", "-S", candidate], capture_output=True, text=True)
        if done.returncode == 0:
            return done.stdout.split(":", 1)[0].split(",")[0].strip()
    return None


# Entries CMake's FindOpenGL fills in on its own when it happens to find them; nothing here links
# them, so a machine without them builds all the same.
OPTIONAL_CMAKE_ENTRIES = {"OPENGL_egl_LIBRARY", "OPENGL_glu_LIBRARY", "OPENGL_gles2_LIBRARY",
                          "OPENGL_gles3_LIBRARY", "OPENGL_GLES2_INCLUDE_DIR",
                          "OPENGL_GLES3_INCLUDE_DIR", "OPENGL_EGL_INCLUDE_DIR"}


def cmake_found(build_dir):
    cache = os.path.join(build_dir, "CMakeCache.txt")
    found = []
    with open(cache) as f:
        for line in f:
            m = re.match(r"([A-Za-z0-9_.+-]+):(FILEPATH|PATH)=(/usr/(?!local/)\S+)$", line.strip())
            if not m:
                continue
            name, kind, path = m.groups()
            if name in OPTIONAL_CMAKE_ENTRIES:
                continue
            if kind == "FILEPATH" and os.path.isfile(path):
                found.append((name, path))
            elif name.endswith("_DIR") and os.path.isdir(path):
                configs = [f for f in os.listdir(path)
                           if f.endswith("Config.cmake") or f.endswith("-config.cmake")]
                if configs:
                    found.append((name, os.path.join(path, sorted(configs)[0])))
    return found


def script_programs():
    found = []
    pattern = re.compile(r'command -v "?([A-Za-z0-9_.+-]+)|for tool in ([^;]*);')
    for folder in ("tests", "tools", "fuzz"):
        for base, _, files in os.walk(os.path.join(ROOT, folder)):
            for name in files:
                if not name.endswith(".sh"):
                    continue
                with open(os.path.join(base, name), errors="replace") as f:
                    for m in pattern.finditer(f.read()):
                        for program in (m.group(1) or m.group(2)).split():
                            found.append(program)
    paths = []
    for program in sorted(set(found)):
        path = subprocess.run(["sh", "-c", 'command -v "$1"', "sh", program],
                              capture_output=True, text=True).stdout.strip()
        paths.append(("program " + program, path or None))
    return paths


def python_modules():
    local = set()
    names = set()
    for folder in ("tests", "tools"):
        for base, _, files in os.walk(os.path.join(ROOT, folder)):
            for name in files:
                if name.endswith(".py"):
                    local.add(name[:-3])
                    with open(os.path.join(base, name), errors="replace") as f:
                        for line in f:
                            m = re.match(r"\s*(?:import\s+([A-Za-z_]\w*)|from\s+([A-Za-z_]\w*)[\w.]*\s+import\b)", line)
                            if m:
                                names.add(m.group(1) or m.group(2))
    names -= local | set(sys.stdlib_module_names)
    paths = []
    for module in sorted(names):
        done = subprocess.run(["/usr/bin/python3", "-c",
                               "import %s as m; print(m.__file__)" % module],
                              capture_output=True, text=True)
        paths.append(("python module " + module, done.stdout.strip() or None))
    return paths


def main():
    build_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build")
    depends, providers = installed_dependencies()
    covered = closure(listed_packages(), depends, providers)
    problems = []
    for what, path in cmake_found(build_dir) + script_programs() + python_modules():
        if path is None:
            problems.append("%s: not found on this machine" % what)
            continue
        package = owner(path)
        if package is None:
            problems.append("%s: %s belongs to no Debian package" % (what, path))
        elif package.split(":")[0] not in covered:
            problems.append("%s: %s comes from the Debian package %s, which "
                            "tools/install-deps.sh does not install" % (what, path, package))
    for line in problems:
        print("check-deps: " + line)
    if problems:
        sys.exit(1)
    print("check-deps: every package the build, tests and tools use is in tools/install-deps.sh")


if __name__ == "__main__":
    main()
