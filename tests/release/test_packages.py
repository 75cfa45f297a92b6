#!/usr/bin/python3
"""The release packages as a user gets them: scripts/package.sh run on the build as it stands,
then the Windows zips' files, SHA256SUMS, the artifact pinned to the zip's programs, and the
Debian package installed into a scratch root, each tool answering --version and --help there.

Environment: QUILLET_BUILD_DIR (the Windows build), QUILLET_VERSION (the project's version)."""
import hashlib
import os
import re
import shutil
import subprocess
import tempfile
import unittest
import zipfile

import yaml

SOURCE = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
VERSION = os.environ["QUILLET_VERSION"]
ARTIFACT = "Custom.Windows.Quillet.ShimInventory.yaml"
PROGRAMS = ["Quillet.exe", "Quillet64.exe", "quillet-cli.exe", "quillet-cli64.exe"]
TOP = "quillet-%s-windows/" % VERSION

VERSION_LINE = r"(\S+) (\d+\.\d+\.\d+)(?: \(commit ([0-9a-f]{12}(?:-modified)?)\))?"


def sha256(data):
    return hashlib.sha256(data).hexdigest()


def run(*command, **options):
    return subprocess.run(command, capture_output=True, text=True, timeout=300, check=False,
                          **options)


def head_commit():
    """The commit the build names, or None where the sources are no git checkout."""
    if shutil.which("git") is None:
        return None
    result = run("git", "-C", SOURCE, "rev-parse", "--short=12", "HEAD")
    return result.stdout.strip() if result.returncode == 0 else None


def owning_package(library):
    """The Debian package that holds the library, under any of its names (the link that the
    loader finds, the file it leads to, either with or without the /usr of a merged /usr)."""
    paths = {library, os.path.realpath(library)}
    paths |= {re.sub(r"^/usr/lib/", "/lib/", path) for path in paths}
    paths |= {re.sub(r"^/lib/", "/usr/lib/", path) for path in paths}
    for path in sorted(paths):
        owner = run("dpkg", "-S", path)
        if owner.returncode == 0:
            return owner.stdout.splitlines()[-1].split(":", 1)[0]
    return None


class PackagesTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.mkdtemp(prefix="quillet-packages-")
        cls.out = os.path.join(cls.scratch, "packages")
        result = run(os.path.join(SOURCE, "scripts", "package.sh"), cls.out,
                     env=dict(os.environ, QUILLET_PACKAGE_BUILT="1"))
        assert result.returncode == 0, result.stdout + result.stderr
        cls.files = sorted(os.listdir(cls.out))
        cls.zip = os.path.join(cls.out, "quillet-%s-windows.zip" % VERSION)
        cls.debug_zip = os.path.join(cls.out, "quillet-%s-windows-debug.zip" % VERSION)
        debs = [name for name in cls.files if name.endswith(".deb")]
        assert len(debs) == 1, cls.files
        cls.deb = os.path.join(cls.out, debs[0])
        cls.root = os.path.join(cls.scratch, "root")
        result = run("dpkg-deb", "-x", cls.deb, cls.root)
        assert result.returncode == 0, result.stderr

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.scratch, ignore_errors=True)

    def test_the_release_is_the_two_zips_the_debian_package_the_artifact_and_their_sums(self):
        self.assertEqual(sorted([ARTIFACT, "SHA256SUMS", os.path.basename(self.deb),
                                 os.path.basename(self.zip), os.path.basename(self.debug_zip)]),
                         self.files)
        self.assertRegex(os.path.basename(self.deb), r"^quillet-tools_%s_amd64\.deb$"
                         % re.escape(VERSION))
        with open(os.path.join(self.out, "SHA256SUMS"), encoding="ascii") as sums:
            listed = dict(reversed(line.split(maxsplit=1)) for line in sums.read().splitlines())
        self.assertEqual(sorted(set(self.files) - {"SHA256SUMS"}), sorted(listed))
        for name, digest in listed.items():
            with open(os.path.join(self.out, name), "rb") as package:
                self.assertEqual(sha256(package.read()), digest, name)

    def test_the_zip_holds_the_programs_readme_schema_and_artifact_and_no_debug_file(self):
        with zipfile.ZipFile(self.zip) as archive:
            names = {name for name in archive.namelist() if not name.endswith("/")}
            self.assertEqual({TOP + "bin/" + program for program in PROGRAMS} |
                             {TOP + "README.md", TOP + "share/quillet/cli-json.md",
                              TOP + "share/quillet/" + ARTIFACT}, names)
            with open(os.path.join(SOURCE, "README.md"), "rb") as readme:
                self.assertEqual(readme.read(), archive.read(TOP + "README.md"))
            for program in PROGRAMS:
                image = archive.read(TOP + "bin/" + program)
                self.assertEqual(b"MZ", image[:2], program)
                # Stripped: its debug information is named through the link, not carried.
                self.assertIn((program + ".debug").encode("ascii"), image, program)
                self.assertNotIn(b".debug_info", image, program)
        with zipfile.ZipFile(self.debug_zip) as archive:
            names = {name for name in archive.namelist() if not name.endswith("/")}
            self.assertEqual({TOP + "bin/" + program + ".debug" for program in PROGRAMS},
                             names)
            for name in names:
                self.assertGreater(archive.getinfo(name).file_size, 0, name)

    def test_the_artifacts_tools_are_pinned_to_the_programs_of_the_zip(self):
        with zipfile.ZipFile(self.zip) as archive:
            inside = archive.read(TOP + "share/quillet/" + ARTIFACT)
            hashes = {tool: sha256(archive.read(TOP + "bin/" + program))
                      for tool, program in (("QuilletCli", "quillet-cli.exe"),
                                            ("QuilletCli64", "quillet-cli64.exe"))}
        with open(os.path.join(self.out, ARTIFACT), "rb") as beside:
            self.assertEqual(inside, beside.read())
        artifact = yaml.safe_load(inside)
        tools = {tool["name"]: tool for tool in artifact["tools"]}
        self.assertEqual(set(hashes), set(tools))
        for name, digest in hashes.items():
            self.assertEqual(digest, tools[name]["expected_hash"], name)
            self.assertEqual(VERSION, tools[name]["version"], name)
            self.assertTrue(tools[name]["serve_locally"], name)
        # The rest of the artifact is the repository's, unchanged.
        with open(os.path.join(SOURCE, "contrib", "velociraptor", ARTIFACT), "rb") as source:
            original = yaml.safe_load(source)
        del artifact["tools"], original["tools"]
        self.assertEqual(original, artifact)

    def tools(self):
        folder = os.path.join(self.root, "usr", "bin")
        return {name: os.path.join(folder, name) for name in os.listdir(folder)}

    def test_each_installed_tool_answers_version_and_help(self):
        # quillet-match joins them in a build that has it.
        self.assertEqual({"sdbc", "sdbdump", "quillet-image"},
                         set(self.tools()) - {"quillet-match"})
        commit = head_commit()
        for name, path in sorted(self.tools().items()):
            with self.subTest(tool=name):
                version = run(path, "--version")
                self.assertEqual(0, version.returncode, version.stderr)
                self.assertEqual("", version.stderr)
                match = re.fullmatch(VERSION_LINE + "\n", version.stdout)
                self.assertTrue(match, version.stdout)
                self.assertEqual((name, VERSION), match.group(1, 2))
                if commit is not None:
                    self.assertEqual(commit, (match.group(3) or "").replace("-modified", ""))
                usage = run(path, "--help")
                self.assertEqual(0, usage.returncode, usage.stderr)
                self.assertRegex(usage.stdout, r"^[Uu]sage: " + re.escape(name))
        documents = os.path.join(self.root, "usr", "share")
        for document in ("doc/quillet-tools/README.md", "doc/quillet-tools/README.sdb.md",
                         "quillet/cli-json.md"):
            self.assertTrue(os.path.isfile(os.path.join(documents, document)), document)

    def test_the_package_depends_on_every_library_its_tools_load(self):
        fields = run("dpkg-deb", "-f", self.deb, "Package", "Version", "Architecture", "Depends")
        self.assertEqual(0, fields.returncode, fields.stderr)
        control = dict(line.split(": ", 1) for line in fields.stdout.splitlines())
        self.assertEqual(("quillet-tools", VERSION, "amd64"),
                         (control["Package"], control["Version"], control["Architecture"]))
        depends = {re.match(r"[\w.+-]+", part.strip()).group(0)
                   for part in control["Depends"].split(",")}
        self.assertIn("libhivex0", depends)
        self.assertIn("libc6", depends)
        known = run("/sbin/ldconfig", "-p").stdout
        for name, path in sorted(self.tools().items()):
            dynamic = run("readelf", "-d", path)
            self.assertEqual(0, dynamic.returncode, dynamic.stderr)
            for library in re.findall(r"\(NEEDED\)\s+Shared library: \[([^\]]+)\]",
                                      dynamic.stdout):
                with self.subTest(tool=name, library=library):
                    where = re.search(r"^\s*%s \(libc6,x86-64[^)]*\) => (\S+)$"
                                      % re.escape(library), known, re.M)
                    self.assertTrue(where, library)
                    package = owning_package(where.group(1))
                    self.assertTrue(package, where.group(1))
                    self.assertIn(package, depends, control["Depends"])


class VersionHeaderTest(unittest.TestCase):
    """cmake/WriteVersionHeader.cmake names a commit only for a git checkout of its own."""

    def header(self, source):
        with tempfile.TemporaryDirectory() as scratch:
            output = os.path.join(scratch, "quillet_version_info.h")
            result = run("cmake", "-DSOURCE_DIR=" + source, "-DOUTPUT=" + output,
                         "-DVERSION=9.8.7", "-P",
                         os.path.join(SOURCE, "cmake", "WriteVersionHeader.cmake"))
            self.assertEqual(0, result.returncode, result.stderr)
            with open(output, encoding="ascii") as header:
                text = header.read()
        self.assertIn('#define QUILLET_VERSION "9.8.7"\n', text)
        return re.search(r'#define QUILLET_COMMIT "([^"]*)"', text).group(1)

    def test_a_checkout_names_its_commit_and_other_sources_none(self):
        with tempfile.TemporaryDirectory() as plain:
            self.assertEqual("", self.header(plain))
        # A folder inside a checkout (sources unpacked into another repository) is none.
        self.assertEqual("", self.header(os.path.join(SOURCE, "docs")))
        commit = head_commit()
        if commit is not None:
            self.assertRegex(self.header(SOURCE), "^%s(-modified)?$" % commit)


if __name__ == "__main__":
    unittest.main()
