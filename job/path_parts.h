#pragma once
// Path pieces in the system's ANSI code page. A double-byte character may have 0x5C (a
// backslash) as its second byte, so a plain byte search would cut inside it.

// Offset of the last backslash that is a character of its own, or -1 when there is none.
int last_backslash(const char *path);

// The name after that backslash (the whole path when it has none).
const char *last_component(const char *path);

// 1 when two names are the same to the file systems: on Windows compared without case by the
// system's rules, which know the case of Greek, Cyrillic and full-width letters; elsewhere ASCII
// letters without case and every other byte as it is.
int same_name(const char *a, const char *b);
