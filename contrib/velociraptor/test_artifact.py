#!/usr/bin/python3
"""Checks the Velociraptor artifact: its form (permission, tools, the choice of program, runs
that say why they gave nothing, evidence of flagged databases, column types), its queries
against a recorded run of quillet-cli (fixtures/), and, where the build's program runs here
(QUILLET_CLI set), against the JSON Lines that it really writes for the same arguments, run
under Wine in the build's prefix with a stored layer and an assistant record planted for the
run.

Environment for the live run: QUILLET_CLI (the built program), WINE_RUN
(testdrivers/wine-run.sh), WINEPREFIX, QUILLET_WINE (the loader, optional)."""
import json
import os
import re
import subprocess
import unittest

import yaml

HERE = os.path.dirname(os.path.abspath(__file__))
ARTIFACT = os.path.join(HERE, "Custom.Windows.Quillet.ShimInventory.yaml")
FIXTURES = os.path.join(HERE, "fixtures")
APPCOMPAT = r"HKCU\Software\Microsoft\Windows NT\CurrentVersion\AppCompatFlags"
PROGRAM = r"C:\quillet-samples\velociraptor-check.exe"
FIELD = re.compile(r"\bObject\.([A-Za-z]\w*(?:\.[A-Za-z]\w*)*)")
TYPE = re.compile(r'\bObject\.type\s*=\s*"(\w+)"')
# A LET that runs the program: its name, the query up to the program's arguments, and them.
RUN = re.compile(r"LET\s+(\w+)\s*<=\s*(SELECT(?:(?!\bLET\b)[^;])*?)execve\(argv=\[(\w+),\s*([^\]]*)\]", re.S)
# A LET that parses a run's lines into objects, and the run it reads.
PARSED = re.compile(r"LET\s+(\w+)\s*<=\s*SELECT parse_json\(data=Stdout\) AS Object\s+"
                    r"FROM\s+(\w+)\s+WHERE Stdout =~")
COLUMN = re.compile(r"\bAS\s+([A-Z]\w*)")
# The column types the collector's GUI knows.
COLUMN_TYPES = {"string", "number", "mb", "timestamp", "nobreak", "tree", "url", "url_internal",
                "safe_url", "flow", "preview_upload", "download", "client", "hex", "base64",
                "collapsed"}
EXIT_CODES = {0, 1, 2, 3, 4}


def load_artifact():
    with open(ARTIFACT, encoding="utf-8") as source:
        return yaml.safe_load(source)


def program_runs(artifact):
    """{LET name: (the query before execve, argv[0], the arguments)}."""
    return {name: (before, first, [a.strip().strip('"') for a in arguments.split(",")])
            for name, before, first, arguments in RUN.findall(artifact["export"])}


def parsed_runs(artifact):
    """{the LET of a run's objects: the LET of the run}."""
    return dict(PARSED.findall(artifact["export"]))


def flagged(database):
    """The databases that the source Evidence takes: an anomaly, or a finding above info."""
    counts = database["findingCounts"]
    return bool(database["anomalies"]) or counts["medium"] + counts["high"] > 0


def collector_rows(stdout, stderr):
    """The rows that execve with sep="\\n" gives for a run: each non-empty line of standard
    output, then each of standard error, as the value of Stdout."""
    return [line for text in (stdout, stderr) for line in text.split("\n") if line]


def read_fixture(name):
    with open(os.path.join(FIXTURES, name), "rb") as fixture:
        return fixture.read().decode("utf-8")


class ArtifactFormTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.artifact = load_artifact()
        cls.export = cls.artifact["export"]
        cls.sources = {source["name"]: source["query"] for source in cls.artifact["sources"]}

    def test_the_artifact_needs_execve_and_names_both_programs_as_tools(self):
        artifact = self.artifact
        self.assertTrue(artifact["name"].startswith("Custom."))
        self.assertEqual("CLIENT", artifact["type"])
        self.assertEqual(["EXECVE"], artifact["required_permissions"])
        # Served by the server; the release adds version and expected_hash (tests/release).
        self.assertEqual([{"name": "QuilletCli", "serve_locally": True},
                          {"name": "QuilletCli64", "serve_locally": True}], artifact["tools"])
        self.assertEqual(len(self.sources), len(artifact["sources"]))
        parameters = {parameter["name"]: parameter for parameter in artifact["parameters"]}
        self.assertEqual("hidden", parameters["ToolInfo"]["type"])
        for name in ("SweepProcesses", "UploadDatabases"):
            self.assertEqual(("bool", "Y"), (parameters[name]["type"], parameters[name]["default"]))

    def test_the_program_fits_the_clients_windows_not_the_clients_own_build(self):
        self.assertNotIn("Architecture", self.artifact["precondition"])
        choice = re.search(r"LET ToolName <= if\((.*?)\)\n\n", self.export, re.S).group(1)
        for variable in ("PROCESSOR_ARCHITECTURE", "PROCESSOR_ARCHITEW6432"):
            self.assertRegex(choice, r'environ\(var="%s"\) = "AMD64"' % variable)
        self.assertRegex(choice, r'then="QuilletCli64", else="QuilletCli"$')
        self.assertRegex(self.export, r"FetchBinary\(ToolName=ToolName, ToolInfo=ToolInfo\)")

    def test_each_run_starts_only_from_a_fetched_tool_and_splits_its_lines(self):
        runs = program_runs(self.artifact)
        self.assertEqual({"InventoryRun": ["--databases", "--layers", "--json"],
                          "SweepRun": ["--all", "--json"]},
                         {name: arguments for name, (_, _, arguments) in runs.items()})
        for name, (before, first, _) in runs.items():
            with self.subTest(run=name):
                # Never Fetched[0].OSPath, which is NULL when the fetch failed.
                self.assertEqual("OSPath", first)
                self.assertIn("foreach(row=Fetched, query={", before)
        self.assertEqual(2, self.export.count('sep="\\n"'))
        self.assertEqual({"Inventory": "InventoryRun", "Sweep": "SweepRun"},
                         parsed_runs(self.artifact))
        self.assertIn("if(condition=SweepProcesses", runs["SweepRun"][0])

    def test_a_run_that_gave_nothing_says_why_in_runs_and_in_every_source(self):
        runs = self.sources["Runs"]
        self.assertIn("FROM InventoryStatus", runs)
        self.assertIn("FROM SweepStatus", runs)
        row = re.search(r"LET RunRow\(Run, Arguments, Rows\) = (.*?)\n\n", self.export,
                        re.S).group(1)
        for column in ("Completed", "ReturnCode", "Status", "Warnings", "ToolSha256"):
            self.assertRegex(row, r"\bAS %s\b" % column)
        self.assertIn("could not be fetched", row)
        self.assertIn("execve was refused", row)
        # Warnings are every line of the run that is not an object of the report.
        self.assertIn('WHERE NOT Stdout =~ "^\\\\{"', row)
        meanings = re.search(r"LET ExitMeaning <= dict\((.*?)\)\n", self.export, re.S).group(1)
        self.assertEqual(EXIT_CODES, {int(code) for code in re.findall(r"`(\d+)`=", meanings)})
        statuses = {"Inventory": "InventoryStatus", "Sweep": "SweepStatus"}
        for name, query in self.sources.items():
            if name == "Runs":
                continue
            with self.subTest(source=name):
                read = [run for run in statuses if re.search(r"\bFROM %s\b" % run, query)]
                self.assertEqual(1, len(read), "each source reads one run")
                self.assertIn("NotRun(Status=%s)" % statuses[read[0]], query)

    def test_flagged_databases_are_hashed_and_uploaded_unless_uploads_are_off(self):
        evidence = self.sources["Evidence"]
        self.assertIn('Object.type = "database"', evidence)
        self.assertRegex(evidence, r"len\(list=Object\.anomalies\) > 0\s+OR")
        self.assertRegex(evidence,
                         r"OR Object\.findingCounts\.medium \+ Object\.findingCounts\.high > 0")
        self.assertRegex(evidence,
                         r"if\(condition=Object\.exists, then=hash\(path=Object\.path\)\)")
        self.assertRegex(evidence, r"if\(condition=Object\.exists AND UploadDatabases,\s+"
                                   r"then=upload\(file=Object\.path\)\)")

    def test_column_types_name_columns_of_the_sources_with_known_types(self):
        columns = set()
        for query in list(self.sources.values()) + [self.export]:
            columns |= set(COLUMN.findall(query))
        for entry in self.artifact["column_types"]:
            with self.subTest(column=entry["name"]):
                self.assertIn(entry["name"], columns)
                self.assertIn(entry["type"], COLUMN_TYPES)
        typed = {entry["name"] for entry in self.artifact["column_types"]}
        self.assertLessEqual({"ReturnCode", "InstallTime", "Time", "Pid", "Upload", "Hash"},
                             typed)


class RecordedRunTest(unittest.TestCase):
    """The queries against a run of quillet-cli --databases --layers --json recorded in the
    build's prefix (standard output, standard error and exit code as the program gave them)."""

    @classmethod
    def setUpClass(cls):
        cls.artifact = load_artifact()
        cls.stdout = read_fixture("inventory.stdout")
        cls.stderr = read_fixture("inventory.stderr")
        cls.exit_code = int(read_fixture("inventory.exitcode"))

    def objects(self):
        return [json.loads(row) for row in collector_rows(self.stdout, self.stderr)
                if re.match(r"^\{", row)]

    def test_lines_split_into_the_objects_of_the_report_and_the_warnings(self):
        rows = collector_rows(self.stdout, self.stderr)
        objects = [row for row in rows if re.match(r"^\{", row)]
        warnings = [row.strip() for row in rows if not re.match(r"^\{", row) and row.strip()]
        # Lines end in CR LF: the CR stays on each row and must not hide an object.
        self.assertEqual(self.stdout.count("\r\n"), len(objects))
        self.assertEqual([line.strip() for line in self.stderr.splitlines() if line.strip()],
                         warnings)
        self.assertIn(self.exit_code, EXIT_CODES)
        self.assertEqual("banner", self.objects()[0]["type"])

    def test_every_field_a_source_reads_is_in_every_recorded_object_of_its_type(self):
        objects = self.objects()
        read_by = {parsed: run for parsed, run in parsed_runs(self.artifact).items()}
        for source in self.artifact["sources"]:
            query = source["query"]
            if not re.search(r"\bFROM Inventory\b", query):
                continue
            with self.subTest(source=source["name"]):
                self.assertIn("Inventory", read_by)
                kind = TYPE.search(query).group(1)
                of_kind = [o for o in objects if o["type"] == kind]
                self.assertTrue(of_kind, "the recorded run has %s objects" % kind)
                for field in sorted(set(FIELD.findall(query)) - {"type"}):
                    for found in of_kind:
                        self.assertTrue(has_path(found, field), "%s lacks %s" % (kind, field))

    def test_the_recorded_inventory_flags_databases_with_files_to_collect(self):
        objects = self.objects()
        databases = [o for o in objects if o["type"] == "database"]
        findings = [o for o in objects if o["type"] == "finding"]
        self.assertTrue(any(flagged(database) for database in databases))
        for database in databases:
            # Its findings follow on their own lines, as many as its counts say; what Evidence
            # takes from the counts is what those lines hold.
            own = [f for f in findings
                   if (f["guid"], f["path"]) == (database["guid"], database["path"])]
            self.assertEqual(sum(database["findingCounts"].values()), len(own))
            for finding in own:
                self.assertIn(finding["severity"], ("info", "medium", "high"))
            above_info = any(f["severity"] in ("medium", "high") for f in own)
            self.assertEqual(flagged(database), bool(database["anomalies"]) or above_info)
            if flagged(database):
                self.assertTrue(database["path"])
                self.assertEqual(database["exists"], database["fileStatus"] == "ok")
        # A flagged database makes the run's exit code 3.
        self.assertEqual(3, self.exit_code)


def has_path(value, path):
    """Whether the dotted path leads to a value; through a list, in each of its items."""
    parts = path.split(".") if isinstance(path, str) else path
    if not parts:
        return True
    if isinstance(value, list):
        return all(has_path(item, parts) for item in value)
    if not isinstance(value, dict) or parts[0] not in value:
        return False
    return has_path(value[parts[0]], parts[1:])


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


@unittest.skipUnless(os.environ.get("QUILLET_CLI"), "no program of this build to run")
class LiveRunTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.artifact = load_artifact()
        runs = {name: arguments for name, (_, _, arguments) in program_runs(cls.artifact).items()}
        cls.objects_of = {parsed: run for parsed, run in parsed_runs(cls.artifact).items()}
        planted = [PlantedValue(APPCOMPAT + r"\Layers", PROGRAM, "REG_SZ", "~ RunAsInvoker"),
                   PlantedValue(APPCOMPAT + r"\Compatibility Assistant\Store", PROGRAM,
                                "REG_BINARY", "00")]
        try:
            cls.outputs = {name: cls.run_program(arguments) for name, arguments in runs.items()}
        finally:
            for value in planted:
                value.remove()

    @classmethod
    def run_program(cls, arguments):
        result = wine(os.environ["QUILLET_CLI"], *arguments)
        stdout = result.stdout.decode("ascii")
        lines = stdout.split("\r\n")
        assert lines[-1] == "", "the output ends with a line end"
        objects = [json.loads(row) for row in collector_rows(stdout, "") if row.startswith("{")]
        return result.returncode, objects, result.stderr.decode("utf-8", "replace")

    def test_the_program_answers_each_run_with_json_lines_whose_objects_the_artifact_reads(self):
        inventory_code, inventory, _ = self.outputs["InventoryRun"]
        sweep_code, sweep, _ = self.outputs["SweepRun"]
        self.assertIn(inventory_code, (0, 3))
        self.assertIn(sweep_code, (0, 1))
        for objects in (inventory, sweep):
            self.assertEqual("banner", objects[0]["type"])
            # Schema 2 changed only the explanation, which the artifact never asks for.
            self.assertEqual(2, objects[0]["schema"])

    def test_no_warning_of_standard_error_opens_like_an_object(self):
        for name, (_, _, stderr) in self.outputs.items():
            for line in stderr.splitlines():
                self.assertFalse(line.startswith("{"), "%s: %s" % (name, line))

    def test_every_field_a_source_reads_is_in_every_object_of_its_type(self):
        for source in self.artifact["sources"]:
            query = source["query"]
            read = [p for p in self.objects_of if re.search(r"\bFROM %s\b" % p, query)]
            if not read:
                continue
            with self.subTest(source=source["name"]):
                kind = TYPE.search(query).group(1)
                objects = [o for o in self.outputs[self.objects_of[read[0]]][1]
                           if o["type"] == kind]
                self.assertTrue(objects, "the run writes %s objects" % kind)
                fields = set(FIELD.findall(query)) - {"type"}
                self.assertTrue(fields)
                for field in sorted(fields):
                    for number, found in enumerate(objects):
                        self.assertTrue(has_path(found, field),
                                        "%s object %d lacks %s: %s" % (kind, number, field, found))


if __name__ == "__main__":
    unittest.main()
