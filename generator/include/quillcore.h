/* quillcore: turns a browser's exported bookmark file into the Quillmap tree page.
 *
 * The library exports one function, readAndWrite, under that plain name with C linkage, so
 * that a program can load the library at run time and look the function up by name.
 */
#ifndef QUILLCORE_H
#define QUILLCORE_H

#ifdef __cplusplus
extern "C" {
#else
#include <stdbool.h>
#endif

#if defined(_WIN32)
#if defined(QUILLCORE_BUILDING)
#define QUILLCORE_API __declspec(dllexport)
#else
#define QUILLCORE_API __declspec(dllimport)
#endif
#else
#define QUILLCORE_API __attribute__((visibility("default")))
#endif

/* Converts the bookmark file at inputPath into the tree page at outputPath, starting the page
 * with a copy of the template at templatePath.
 *
 * The three paths are zero-terminated byte strings in the system code page, used unchanged
 * (a relative path is taken against the current directory); nothing keeps them after the call.
 *
 * Returns true (the byte 1) when the whole page was written and put in place. Returns false
 * (the byte 0) when a file cannot be opened or read, when the page cannot be written, or when
 * writing it fails; the page path is then left exactly as it was before the call.
 *
 * Folder numbers and nesting depth carry on from one call to the next while the library stays
 * loaded; a fresh load starts with folder 1 at depth 1. Calls must not overlap. */
QUILLCORE_API bool readAndWrite(const char* inputPath, const char* outputPath,
                                const char* templatePath);

/* The type of readAndWrite, for a program that looks it up at run time. */
typedef bool (*ReadAndWriteFunction)(const char* inputPath, const char* outputPath,
                                     const char* templatePath);

#ifdef __cplusplus
}
#endif

#endif /* QUILLCORE_H */
