#include "job/path_parts.h"

#ifdef _WIN32
#include <windows.h>
static int is_lead_byte(char c)
{
    return IsDBCSLeadByte((BYTE)c);
}
#else
// UTF-8 and the other native encodings never put 0x5C inside a character.
static int is_lead_byte(char)
{
    return 0;
}
#endif

// Length of the character at text: 2 for a lead byte with its trail, else 1.
static int character_length(const char *text)
{
    return is_lead_byte(text[0]) && text[1] != '\0' ? 2 : 1;
}

int last_backslash(const char *path)
{
    int found = -1;
    for (int at = 0; path[at] != '\0'; at += character_length(path + at))
        if (path[at] == '\\')
            found = at;
    return found;
}

const char *last_component(const char *path)
{
    return path + last_backslash(path) + 1;
}

static char fold(char c)
{
    return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c;
}

int same_name(const char *a, const char *b)
{
    while (*a != '\0' && *b != '\0') {
        int length = character_length(a);
        if (length != character_length(b))
            return 0;
        if (length == 2 ? a[0] != b[0] || a[1] != b[1] : fold(a[0]) != fold(b[0]))
            return 0;
        a += length;
        b += length;
    }
    return *a == *b;
}
