#pragma once
// The projector container and its two conversions. A container is a stub executable, the SWF
// byte for byte, the signature 0xFA123456 and the SWF's size, both as 4 bytes little-endian.
// The library keeps no state and owns no string: the caller's strings are only read, and the
// two text variables it hands over are only written.

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

// A path as the file system spells it (8-bit, counted; data is zero-terminated as well).
typedef struct SwfPackString {
    const char* data;
    size_t size;
} SwfPackString;

// A text variable of the caller: the library writes at most capacity - 1 bytes and a zero,
// and sets size to the bytes written.
typedef struct SwfPackText {
    char* data;
    size_t capacity;
    size_t size;
} SwfPackText;

// Writes the container of the stub at StubPath and the movie at SwfPath to ExePath, exactly
// that name. ErrorText reads "something error" from entry until the container is complete and
// in place, then it is emptied. A failure leaves ErrorText so, puts the error ("Cannot open
// file %s", "Cannot create file %s", "Stream read error") into Raised and leaves any file at
// ExePath as it was; Raised is empty after success. The output is executable.
void Swf2Exe(SwfPackText* ErrorText, SwfPackString SwfPath, SwfPackString ExePath,
             SwfPackString StubPath, SwfPackText* Raised);

// When the file at ExePath ends in a container's trailer, writes its movie to OutputBase +
// ".swf"; a file without the trailer is left alone and nothing is reported. ErrorText is never
// read or set. Failures go to Raised as for Swf2Exe, and no file is touched.
void exe2swf(SwfPackText* ErrorText, SwfPackString ExePath, SwfPackString OutputBase,
             SwfPackText* Raised);

#ifdef __cplusplus
}
#endif
