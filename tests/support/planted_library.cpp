// A library with the converter's entry that converts nothing and always fails: loaded instead
// of the real one, it would turn every drop into an error.
extern "C" bool readAndWrite(const char*, const char*, const char*) { return false; }
