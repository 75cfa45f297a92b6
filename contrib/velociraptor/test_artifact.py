#!/usr/bin/python3
"""Checks the Velociraptor artifact: its form, and that every field its queries read is in the
JSON Lines that quillet-cli really writes for the same arguments, run under Wine in the build's
prefix with a stored layer and an assistant record planted for the run.

Environment: QUILLET_CLI (the built program), WINE_RUN (testdrivers/wine-run.sh), WINEPREFIX,
QUILLET_WINE (the loader, optional)."""
import json
import os
import re
import subprocess
import unittest

import yaml

ARTIFACT = os.path.join(os.path.dirname(os.path.abspath(__file__)),
                        "Custom.Windows.Quillet.ShimInventory.yaml")
APPCOMPAT = r"HKCU\Software\Microsoft\Windows NT\CurrentVersion\AppCompatFlags"
PROGRAM = r"C:\quillet-samples\velociraptor-check.exe"
# Where each source's rows come from: the LET of the export that runs the program.
FIELD = re.compile(r"\bObject\.([A-Za-z]\w*(?:\.[A-Za-z]\w*)*)")
TYPE = re.compile(r'\bObject\.type\s*=\s*"(\w+)"')
RUN = re.compile(r"LET\s+(\w+)\s*<?=\s*SELECT[^;]*?execve\(argv=\[Quillet\[0\]\.OSPath,\s*([^\]]*)\]",
                 re.S)


def wine(*arguments):
    return subprocess.run([os.environ["WINE_RUN"], os.environ["WINEPREFIX"], *arguments],
                          capture_output=True, timeout=600, check=False)


class PlantedValue:
    """A registry value under HKCU, set for the run and removed after it with its key when the
    key was not there before."""

    def __init__(self, key, name, kind, data):
        self.key, self.name = key, name
        self.key_existed = wine("reg", "query", key).returncode == 0
        result = wine("reg", "add", key, "/v", name, "/t", kind, "/d", data, "/f")
        assert result.returncode == 0, result.stderr

    def remove(self):
        wine("reg", "delete", self.key, "/v", self.name, "/f")
        if not self.key_existed:
            wine("reg", "delete", self.key, "/f")


def has_path(value, path):
    for part in path.split("."):
        if not isinstance(value, dict) or part not in value:
            return False
        value = value[part]
    return True


class ArtifactTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(ARTIFACT, encoding="utf-8") as source:
            cls.artifact = yaml.safe_load(source)
        cls.runs = {name: [a.strip().strip('"') for a in arguments.split(",")]
                    for name, arguments in RUN.findall(cls.artifact["export"])}
        planted = [PlantedValue(APPCOMPAT + r"\Layers", PROGRAM, "REG_SZ", "~ RunAsInvoker"),
                   PlantedValue(APPCOMPAT + r"\Compatibility Assistant\Store", PROGRAM,
                                "REG_BINARY", "00")]
        try:
            cls.outputs = {name: cls.run_program(arguments)
                           for name, arguments in cls.runs.items()}
        finally:
            for value in planted:
                value.remove()

    @classmethod
    def run_program(cls, arguments):
        result = wine(os.environ["QUILLET_CLI"], *arguments)
        lines = result.stdout.decode("ascii").split("\r\n")
        assert lines[-1] == "", "the output ends with a line end"
        return result.returncode, [json.loads(line) for line in lines[:-1]]

    def test_the_artifact_has_its_tool_parameters_and_named_sources(self):
        artifact = self.artifact
        self.assertTrue(artifact["name"].startswith("Custom."))
        self.assertEqual("CLIENT", artifact["type"])
        self.assertEqual([{"name": "QuilletCli64", "serve_locally": True}], artifact["tools"])
        fetched = re.search(r'FetchBinary\(\s*ToolName="(\w+)"', artifact["export"])
        self.assertEqual("QuilletCli64", fetched.group(1))
        parameters = {parameter["name"]: parameter for parameter in artifact["parameters"]}
        self.assertEqual("hidden", parameters["ToolInfo"]["type"])
        self.assertEqual("bool", parameters["SweepProcesses"]["type"])
        self.assertIn("ToolInfo=ToolInfo", artifact["export"])
        names = [source["name"] for source in artifact["sources"]]
        self.assertEqual(len(names), len(set(names)))
        self.assertEqual({"Inventory": ["--databases", "--layers", "--json"],
                          "Sweep": ["--all", "--json"]}, self.runs)

    def test_the_program_answers_each_run_with_json_lines_of_schema_one(self):
        inventory_code, inventory = self.outputs["Inventory"]
        sweep_code, sweep = self.outputs["Sweep"]
        self.assertIn(inventory_code, (0, 3))
        self.assertIn(sweep_code, (0, 1))
        for objects in (inventory, sweep):
            self.assertEqual("banner", objects[0]["type"])
            self.assertEqual(1, objects[0]["schema"])

    def test_every_field_a_source_reads_is_in_every_object_of_its_type(self):
        for source in self.artifact["sources"]:
            with self.subTest(source=source["name"]):
                query = source["query"]
                run = [name for name in self.runs if re.search(r"\b%s\b" % name, query)]
                self.assertEqual(1, len(run), "each source reads one run")
                kind = TYPE.search(query).group(1)
                objects = [o for o in self.outputs[run[0]][1] if o["type"] == kind]
                self.assertTrue(objects, "the run writes %s objects" % kind)
                fields = set(FIELD.findall(query)) - {"type"}
                self.assertTrue(fields)
                for field in sorted(fields):
                    for number, found in enumerate(objects):
                        self.assertTrue(has_path(found, field),
                                        "%s object %d lacks %s: %s" % (kind, number, field, found))


if __name__ == "__main__":
    unittest.main()
