// A library that loads but has no readAndWrite.
extern "C" int notTheEntry() { return 0; }
