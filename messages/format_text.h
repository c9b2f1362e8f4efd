#pragma once
// Bounded formatting shared by every path, command line and message the program builds.

#include <stdarg.h>

enum { text_buffer_size = 1024 };

#if defined(__MINGW32__)
#define ZERKA_PRINTF_FORMAT(f, a) __attribute__((format(gnu_printf, f, a)))
#else
#define ZERKA_PRINTF_FORMAT(f, a) __attribute__((format(printf, f, a)))
#endif

// Writes at most 1023 bytes and a NUL into a 1024-byte buffer and returns the length the
// whole text would have had: 1024 or more means the text was cut and must not be used.
int format_text(char *buffer, const char *format, ...) ZERKA_PRINTF_FORMAT(2, 3);
int vformat_text(char *buffer, const char *format, va_list args) ZERKA_PRINTF_FORMAT(2, 0);

inline bool text_fits(int length) { return length >= 0 && length < text_buffer_size; }
