#include "messages/format_text.h"

#include <stdarg.h>
#include <stdio.h>

int format_text(char *buffer, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    // C99 semantics (MinGW's own stdio on Windows): returns the untruncated length.
    int length = vsnprintf(buffer, text_buffer_size, format, args);
    va_end(args);
    if (length < 0) {
        buffer[0] = '\0';
        return text_buffer_size;  // an encoding error is treated like a text that does not fit
    }
    return length;
}
