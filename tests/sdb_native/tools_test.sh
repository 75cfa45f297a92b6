#!/bin/sh
# Compiles and dumps databases with sdbc and sdbdump, good input and bad.
# usage: tools_test.sh SDBC SDBDUMP SAMPLE.xml WORKDIR
set -u
SDBC=$1 SDBDUMP=$2 SAMPLE=$3 WORK=$4
rm -rf "$WORK" && mkdir -p "$WORK" && cd "$WORK" || exit 1
passed=0 failed=0
check() { # description, then a command that must succeed
    what=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAILED: $what"
    fi
}
has() { grep -q -- "$1" "$2"; }

# A good database: EXEs carry their APP, references carry the TAGIDs of their targets.
"$SDBC" "$SAMPLE" sample.sdb 2>notes.txt
check "sdbc compiles the sample" test $? -eq 0 -a -s sample.sdb
check "a reference to another database is a note" has ':16: note: LAYER WinXPSp3' notes.txt
"$SDBDUMP" sample.sdb >dump.txt
check "sdbdump prints the sample" test $? -eq 0
check "header" has '^shim database 2.1, ' dump.txt
check "indexes come first" sh -c 'sed -n 2p dump.txt | grep -q "^0x0000000C INDEXES"'
check "APP name carried" has '^0x[0-9A-F]*     APP_NAME "Sample App"' dump.txt
check "vendor carried" has 'VENDOR "Quillet Tests"' dump.txt
check "EXE_ID as text" has 'EXE_ID {0a1b2c3d-4e5f-6071-8293-a4b5c6d7e8f9}' dump.txt
check "version" has 'BIN_FILE_VERSION 0x0001000200030004 (281483566841860) 1.2.3.4' dump.txt
check "EXE flags" has '     FLAGS 0x00000010 (16)' dump.txt
shim=$(sed -n 's/^0x\([0-9A-F]*\)     SHIM (.*/\1/p' dump.txt)
layer=$(sed -n 's/^0x\([0-9A-F]*\)   LAYER (.*/\1/p' dump.txt)
check "SHIM_TAGID points at the SHIM" has "SHIM_TAGID 0x$shim" dump.txt
check "LAYER_TAGID points at the LAYER" has "LAYER_TAGID 0x$layer" dump.txt
check "string table last" sh -c 'grep -v "^ " dump.txt | grep "^0x[0-9A-F]* [A-Z]" | tail -1 | grep -q STRINGTABLE'

"$SDBC" --version3 --no-indexes "$SAMPLE" v3.sdb && "$SDBDUMP" v3.sdb >v3.txt
check "version 3 without indexes" sh -c 'has() { grep -q -- "$1" v3.txt; }; has "^shim database 3.0" && ! has INDEXES'

# Bad input: file, line and problem; exit status 1; no output file, not even an old one.
bad() { # description, expected message, XML
    printf '%s\n' "$3" >bad.xml
    echo stale >out.sdb
    "$SDBC" bad.xml out.sdb 2>err.txt
    status=$?
    check "$1: status" test $status -eq 1
    check "$1: message" has "$2" err.txt
    check "$1: no output" test ! -e out.sdb -a ! -e out.sdb.tmp
}
bad "malformed XML" '^bad.xml:2: error: XML:' '<DATABASE>
<EXE NAME="a.exe"</DATABASE>'
bad "unknown attribute" '^bad.xml:3: error: unknown attribute COLOUR on EXE' '<DATABASE>
<APP NAME="x">
<EXE NAME="a.exe" COLOUR="red"/></APP></DATABASE>'
bad "unknown element" '^bad.xml:1: error: unexpected element BOX in DATABASE' '<DATABASE><BOX/></DATABASE>'
bad "bad number" 'SIZE="12k" is not a 32-bit number' '<DATABASE><EXE NAME="a"><MATCHING_FILE NAME="*" SIZE="12k"/></EXE></DATABASE>'
bad "bad GUID" 'ID="{1234}" is not a GUID' '<DATABASE ID="{1234}"/>'
bad "bad version" 'is neither a 64-bit number nor a version' '<DATABASE><EXE NAME="a"><MATCHING_FILE BIN_FILE_VERSION="1.2.70000"/></EXE></DATABASE>'
bad "wrong root" 'the document element must be DATABASE' '<LIBRARY/>'
bad "shim defined twice" 'SHIM x is defined twice' '<DATABASE><LIBRARY><SHIM NAME="X"/><SHIM NAME="x"/></LIBRARY></DATABASE>'
bad "EXE out of place" '^bad.xml:2: error: EXE belongs under DATABASE or in an APP' '<DATABASE><LAYER NAME="L">
<EXE NAME="a.exe"/></LAYER></DATABASE>'
# Lists nest as deep as a walk reads them: DATABASE and 31 more, not one more.
nest() { # levels under DATABASE
    printf '<DATABASE>'
    i=0
    while [ $i -lt "$1" ]; do printf '<LIBRARY>'; i=$((i + 1)); done
    while [ $i -gt 0 ]; do printf '</LIBRARY>'; i=$((i - 1)); done
    echo '</DATABASE>'
}
nest 31 >deep.xml && "$SDBC" deep.xml deep.sdb && "$SDBDUMP" deep.sdb >deep.txt
check "31 lists under DATABASE" test $? -eq 0
bad "nested too deeply" '^bad.xml:1: error: elements nested too deeply' "$(nest 32)"
printf '<DATABASE><LIBRARY><PATCH NAME="p" PATCH_BITS="02 00 0a FF"/></LIBRARY></DATABASE>' >hex.xml
"$SDBC" hex.xml hex.sdb && "$SDBDUMP" hex.sdb >hex.txt
check "hex bytes" has 'PATCH_BITS (4 bytes) 02 00 0A FF$' hex.txt
"$SDBC" missing.xml out.sdb 2>err.txt
check "missing input" sh -c "test $? -eq 1 && grep -q 'missing.xml: cannot be read' err.txt"

# sdbdump on malformed files: what can be read, then where and why it stopped; status 1.
head -c 300 sample.sdb >cut.sdb
"$SDBDUMP" cut.sdb >cut.txt
check "truncated: status" test $? -eq 1
check "truncated: items before the cut" has 'DATABASE_ID {6c4c1f4e' cut.txt
check "truncated: bad strings shown" has '^0x00000070   NAME <bad string> (ref 0x6)' cut.txt
check "truncated: reason" sh -c 'tail -1 cut.txt | grep -q "^stopped at 0x00000126: item runs past the end of the file"'
printf 'not a database' >text.sdb
"$SDBDUMP" text.sdb >/dev/null 2>err.txt
check "not a database" sh -c "test $? -eq 1 && grep -q 'no \"sdbf\" magic' err.txt"

# The command lines: --help and --version on standard output with status 0; usage errors give status 2
# with the usage on standard error and nothing on standard output.
for tool in "$SDBC" "$SDBDUMP"; do
    "$tool" --help >out.txt 2>err.txt
    check "$(basename "$tool") --help" sh -c "test $? -eq 0 && grep -q '^usage: ' out.txt && test ! -s err.txt"
    "$tool" --version >out.txt 2>err.txt
    check "$(basename "$tool") --version" sh -c "test $? -eq 0 && grep -Eqx '$(basename "$tool") [0-9]+\.[0-9]+\.[0-9]+( \(commit [0-9a-f]{12}(-modified)?\))?' out.txt && test ! -s err.txt"
    "$tool" --bogus >out.txt 2>err.txt
    check "$(basename "$tool") usage error" sh -c "test $? -eq 2 && grep -q '^usage: ' err.txt && test ! -s out.txt"
done
"$SDBDUMP" --xml >out.txt 2>err.txt
check "sdbdump --xml without a file" sh -c "test $? -eq 2 && test ! -s out.txt"

# The XML dump compiles back into the same bytes; JSON holds the same items.
"$SDBDUMP" --xml sample.sdb >sample.xml && "$SDBC" sample.xml again.sdb
check "XML round trip" cmp sample.sdb again.sdb
"$SDBDUMP" --xml v3.sdb >v3.xml && "$SDBC" v3.xml v3again.sdb
check "XML round trip, version 3 without indexes" cmp v3.sdb v3again.sdb
"$SDBC" --version3 sample.xml refused.sdb 2>err.txt
check "options refused for a dump" sh -c "test $? -eq 1 && grep -q 'do not apply to a dump' err.txt"
"$SDBDUMP" --json sample.sdb >sample.json
check "JSON" sh -c '/usr/bin/python3 -c "import json,sys; d=json.load(open(\"sample.json\")); sys.exit(d[\"items\"][1][\"tag\"] != \"DATABASE\")"'
"$SDBDUMP" --xml cut.sdb >cut.xml 2>err.txt
check "XML of a damaged file: status and place" sh -c "test $? -eq 1 && grep -q '<STOPPED at=\"0x00000126\"' cut.xml && grep -q 'stopped at 0x00000126' err.txt"
"$SDBC" cut.xml cut_again.sdb 2>err.txt
check "a damaged dump does not compile" sh -c "test $? -eq 1 && grep -q 'cannot be reproduced exactly' err.txt && test ! -e cut_again.sdb"

# --find through the index and, without one, by scanning: a line that says how, then the
# entries; 4 when nothing applies.
"$SDBDUMP" --find SAMPLE.EXE sample.sdb >find.txt
check "find through the index" sh -c "test $? -eq 0 && sed -n 2p find.txt | grep -q '^0x0000011A EXE' && grep -q '^0x00000176     NAME \"CorrectFilePaths\"' find.txt"
check "find says how it searched" has '^find "SAMPLE.EXE": 0 wildcard by a scan of DATABASE, 1 exact, 0 16-bit of module "SAMPLE"$' find.txt
"$SDBDUMP" --find sample.exe v3.sdb >find3.txt
check "find by scanning" sh -c "test $? -eq 0 && grep -q 'EXE_ID {0a1b2c3d' find3.txt && head -1 find3.txt | grep -q '0 wildcard by a scan of DATABASE, 1 exact'"
"$SDBDUMP" --find nothing.exe sample.sdb >find0.txt
check "find nothing" sh -c "test $? -eq 4 && test \$(wc -l <find0.txt) -eq 1 && grep -q '0 wildcard.*0 exact' find0.txt"

# Wildcard entries: sdbc gives them WILDCARD_NAME and an index of their own; --find finds
# them for the names they match, through that index or by scanning, and the exact entries
# of a name all of them.
cat >wild.xml <<'XML'
<DATABASE NAME="wild">
  <EXE NAME="setup.exe" APP_NAME="first"/>
  <EXE NAME="SETUP.EXE" APP_NAME="second"/>
  <EXE NAME="setup*.exe"/>
  <EXE NAME="*"/>
  <EXE NAME="se?up.exe"/>
  <EXE NAME="*install*"/>
  <EXE NAME="setupx.exe"/>
</DATABASE>
XML
"$SDBC" wild.xml wild.sdb && "$SDBC" --no-indexes wild.xml wild0.sdb
"$SDBDUMP" wild.sdb >wild.txt
check "wildcard entries get WILDCARD_NAME" has '^0x[0-9A-F]*     WILDCARD_NAME "se?up.exe"' wild.txt
for db in wild.sdb wild0.sdb; do
    how="through the EXE/WILDCARD_NAME index"
    test $db = wild0.sdb && how="by a scan of DATABASE"
    findw() { # name, expected status, expected exact count, wildcard count, then names found
        name=$1 status=$2 exact=$3 wild=$4
        shift 4
        "$SDBDUMP" --find "$name" $db >findw.txt
        check "$db: find $name: status" test $? -eq "$status"
        check "$db: find $name: counts" sh -c "head -1 findw.txt | grep -q -- ' $wild wildcard $how, $exact exact, '"
        check "$db: find $name: entries" test "$(sed -n 's/^0x[0-9A-F]*   NAME "\(.*\)" (ref.*/\1/p' findw.txt | tr '\n' ' ')" = "$*"
    }
    # Wildcard entries, then exact ones, each in file order, which sdbc sorts by key.
    findw setup.exe 0 2 3 "* se?up.exe setup*.exe setup.exe SETUP.EXE "
    findw Setup_Install.EXE 0 0 3 "* *install* setup*.exe "
    findw 'setup*.exe' 0 0 2 "* setup*.exe "
    findw 'se?up.exe' 0 0 2 "* se?up.exe "
    findw '*' 0 0 1 "* "
done

# --audit: 3 with the database's identity and one line per finding, 0 for nothing, 1 for a
# file that cannot be read.
cat >inject.xml <<'XML'
<DATABASE NAME="custom" TIME="131570685082907747">
  <LIBRARY><SHIM NAME="InjectDll"/></LIBRARY>
  <EXE NAME="victim.exe"><MATCHING_FILE NAME="*" SIZE="1234"/><SHIM_REF NAME="InjectDll" COMMAND_LINE="C:\Temp\payload.dll"/></EXE>
</DATABASE>
XML
"$SDBC" inject.xml inject.sdb
"$SDBDUMP" --audit inject.sdb sample.sdb >audit.txt
check "audit finds the injection" sh -c "test $? -eq 3 && test \$(wc -l <audit.txt) -eq 2"
check "audit: the database once, with its TIME as a date and its provenance" has '^inject.sdb: DATABASE NAME "custom", TIME 2017-12-06T21:15:08.2907747Z; provenance third-party; signature not verified (not checked here)$' audit.txt
check "audit: the finding, backslashes as they are" has '^inject.sdb: 0x[0-9A-F]* high inject-dll: EXE "victim.exe" at 0x[0-9A-F]*: loads DLLs into the program: SHIM "InjectDll", COMMAND_LINE "C:\\Temp\\payload.dll"$' audit.txt
"$SDBDUMP" --audit sample.sdb >audit.txt
check "audit of a clean database" sh -c "test $? -eq 0 && test ! -s audit.txt"
"$SDBDUMP" --audit sample.sdb text.sdb >audit.txt 2>err.txt
check "audit of an unreadable file" sh -c "test $? -eq 1 && grep -q 'text.sdb' err.txt"
"$SDBDUMP" --audit inject.sdb text.sdb >audit.txt 2>err.txt
check "audit: a finding comes before an unreadable file" test $? -eq 3
"$SDBDUMP" --audit - <inject.sdb >stdin.txt
check "audit of standard input" sh -c "test $? -eq 3 && grep -q '^-: 0x.* inject-dll: ' stdin.txt"
"$SDBDUMP" - <sample.sdb >stdin.txt && "$SDBDUMP" sample.sdb >file.txt
check "a dump of standard input" cmp stdin.txt file.txt
for args in "--audit" "--audit --json" "--audit --bogus inject.sdb"; do
    "$SDBDUMP" $args >out.txt 2>err.txt
    check "usage error: $args" sh -c "test $? -eq 2 && grep -q '^usage: ' err.txt && test ! -s out.txt"
done
"$SDBDUMP" --audit -- --json >out.txt 2>err.txt
check "after --, --json is a file" sh -c "test $? -eq 1 && grep -q '^sdbdump: --json: ' err.txt"
"$SDBDUMP" --audit -- sample.sdb >out.txt 2>err.txt
check "-- itself is no file" sh -c "test $? -eq 0 && test ! -s err.txt"

# --audit --json: JSON Lines that a parser reading every number as a double reads exactly,
# with 64-bit values as decimal strings.
"$SDBDUMP" --audit --json inject.sdb >audit.json
check "audit --json: status" test $? -eq 3
check "audit --json: lines" /usr/bin/python3 -c '
import json, sys
lines = [json.loads(l, parse_int=float) for l in open("audit.json")]
database, finding = lines
assert database["type"] == "database" and int(database["time"]) == 131570685082907747, database
assert finding["rule"] == "inject-dll" and finding["severity"] == "high", finding
assert finding["entry"]["kind"] == "EXE" and finding["entry"]["name"] == "victim.exe", finding
assert {"name": "COMMAND_LINE", "value": "C:\\Temp\\payload.dll", "cut": False} in finding["details"], finding
assert finding["basis"] == "rule" and finding["shape"] == "foreign", finding
assert database["provenance"] == "third-party" and database["signature"] == "not checked", database
assert finding["at"].startswith("0x") and len(finding["at"]) == 10, finding
'
"$SDBDUMP" --json inject.sdb >inject.json
check "JSON: a TIME above 2^53 exactly, with its date" /usr/bin/python3 -c '
import json
def items(list):
    for item in list:
        yield item
        yield from items(item.get("children", []))
document = json.load(open("inject.json"), parse_int=float)
time = [i for i in items(document["items"]) if i["tag"] == "TIME"][0]
assert int(time["value"]) == 131570685082907747 and time["date"] == "2017-12-06T21:15:08.2907747Z", time
assert time["at"].startswith("0x"), time
'

# A file is not believed for its NAME and DATABASE_ID: the injection keeps its severity, and
# a path Microsoft's files never hold makes it an impersonation. Content shaped as theirs
# is info (a bare DLL name of a shim defined with their DLL), high again under --strict.
sed -e 's/NAME="custom"/NAME="Microsoft Windows Application Compatibility Fix Database" ID="{11111111-1111-1111-1111-111111111111}"/' inject.xml >main.xml
"$SDBC" main.xml main.sdb
"$SDBDUMP" --audit main.sdb >audit.txt
check "a claim to be Microsoft's: high, impersonation, status 3" sh -c "test $? -eq 3 && grep -q 'provenance claims-microsoft: NAME names Microsoft; DATABASE_ID is that of sysmain.sdb; signature not verified' audit.txt && grep -q '^main.sdb: 0x[0-9A-F]* high impersonates-microsoft: ' audit.txt && grep -q '^main.sdb: 0x[0-9A-F]* high inject-dll: ' audit.txt"
sed -e 's/<SHIM NAME="InjectDll"\/>/<SHIM NAME="InjectDll" DLLFILE="AcGenral.dll"\/>/' -e 's/C:\\Temp\\payload.dll/secur32.dll/' main.xml >shaped.xml
"$SDBC" shaped.xml shaped.sdb
"$SDBDUMP" --audit shaped.sdb >audit.txt
check "Microsoft-shaped content: info, status 0" sh -c "test $? -eq 0 && grep -q '^shaped.sdb: 0x[0-9A-F]* info inject-dll: .*COMMAND_LINE \"secur32.dll\" (high by its rule; info: shaped as Microsoft.s own fixes)$' audit.txt"
"$SDBDUMP" --audit --strict shaped.sdb >audit.txt
check "Microsoft-shaped content, --strict: high, status 3" sh -c "test $? -eq 3 && grep -q '^shaped.sdb: 0x[0-9A-F]* high inject-dll: ' audit.txt"
# Damage is never clean: a header alone exits 1.
head -c 12 inject.sdb >header.sdb
"$SDBDUMP" --audit header.sdb >audit.txt 2>err.txt
check "a header alone is damaged" sh -c "test $? -eq 1 && grep -q 'header.sdb: damaged at 0x0000000C: no DATABASE list' err.txt"

# Damaged copies of the injecting database keep what can be read, strings included: the
# finding still gives 3, --find still shows the entry, and both say where reading stopped.
"$SDBDUMP" inject.sdb >inject.txt
at() { sed -n "s/^0x\([0-9A-F]*\) $1 (.*/\1/p" inject.txt; }
db=$((0x$(at DATABASE))) table=$((0x$(at STRINGTABLE))) size=$(wc -c <inject.sdb)
head -c $((size - 2)) inject.sdb >damaged-cut.sdb
cp inject.sdb damaged-enlarged.sdb
printf '\377\377\377\177' | dd of=damaged-enlarged.sdb bs=1 seek=$((db + 2)) conv=notrunc 2>/dev/null
# Two bytes of a tag of no known type, then the string table.
{ head -c $table inject.sdb && printf '\0\0' && tail -c +$((table + 1)) inject.sdb; } >damaged-moved.sdb
for kind in cut enlarged moved; do
    file=damaged-$kind.sdb
    "$SDBDUMP" --audit $file >audit.txt 2>err.txt
    check "$kind: the finding survives" sh -c "test $? -eq 3 && grep -q ' high inject-dll: EXE \"victim.exe\".*SHIM \"InjectDll\"' audit.txt && grep -q \"^sdbdump: $file: damaged at 0x\" err.txt"
    "$SDBDUMP" --find VICTIM.EXE $file >find.txt
    check "$kind: find shows the entry and where reading stopped" sh -c "test $? -eq 1 && grep -q '^0x[0-9A-F]*   NAME \"victim.exe\"' find.txt && tail -1 find.txt | grep -q '^stopped at 0x'"
done
check "a moved string table keeps the command line" grep -qF 'COMMAND_LINE "C:\Temp\payload.dll"' audit.txt

echo "$passed passed, $failed failed"
test "$failed" -eq 0
