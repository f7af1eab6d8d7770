// A shared library with none of the entry points the codecs look for: it stands for a codec
// library of another version.
extern "C" int OmbrivaultEmptyLibraryMarker();

extern "C" int OmbrivaultEmptyLibraryMarker() {
    return 0;
}
