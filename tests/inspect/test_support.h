// Fixtures shared by the inspect tests.
#pragma once

#include <windows.h>

#include <string>

// A hidden multi-line edit control that stands in for the dialog's pane while a test runs.
class PaneForTest {
public:
    PaneForTest();
    ~PaneForTest();
    PaneForTest(const PaneForTest&) = delete;
    PaneForTest& operator=(const PaneForTest&) = delete;
    std::wstring Text() const;
};

// Puts a table of fake shim-engine entries in place of apphelp.dll (the library is never
// loaded) and empties the table again at the end.
class FakeEngineForTest {
public:
    FakeEngineForTest();
    ~FakeEngineForTest();
    FakeEngineForTest(const FakeEngineForTest&) = delete;
    FakeEngineForTest& operator=(const FakeEngineForTest&) = delete;
};

// Saves and restores the process-wide WoW64 answers and the cached ntdll entries.
class ReadEntriesForTest {
public:
    ReadEntriesForTest();
    ~ReadEntriesForTest();
    ReadEntriesForTest(const ReadEntriesForTest&) = delete;
    ReadEntriesForTest& operator=(const ReadEntriesForTest&) = delete;
};

// The value of __COMPAT_LAYER, or "<absent>".
std::wstring CompatLayerValue();

// The full path of the test program itself.
std::wstring OwnImagePath();
