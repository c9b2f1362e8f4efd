#pragma once
#include <stddef.h>

// Copies path into out (at most limit bytes and a NUL): whole when it fits, else its head,
// "..." and its tail, cut only between characters of the ANSI code page.
void elide_path_middle(char *out, const char *path, size_t limit);
