// A library that exists only beside the test program, never in the system directory.
extern "C" __declspec(dllexport) int PlantedLibraryMarker() {
    return 1;
}
