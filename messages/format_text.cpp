#include "messages/format_text.h"

#include <stdarg.h>
#include <stdio.h>

int format_text(char *buffer, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    int length = vformat_text(buffer, format, args);
    va_end(args);
    return length;
}

int vformat_text(char *buffer, const char *format, va_list args)
{
    // C99 semantics (MinGW's own stdio on Windows): returns the untruncated length.
    int length = vsnprintf(buffer, text_buffer_size, format, args);
    if (length < 0) {
        buffer[0] = '\0';
        return text_buffer_size;  // an encoding error is treated like a text that does not fit
    }
    return length;
}
