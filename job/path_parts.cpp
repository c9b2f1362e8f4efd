#include "job/path_parts.h"

#include <string.h>

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

// ASCII letters without case, double-byte characters byte for byte.
static int same_bytes_but_ascii_case(const char *a, const char *b)
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

#ifdef _WIN32
enum { wide_name_size = 1024 };

// The name in UTF-16 capitals by the system's own table, as the file systems compare names;
// its length with the terminator, 0 when it does not fit.
static int upper_wide(const char *name, WCHAR *upper)
{
    WCHAR wide[wide_name_size];
    int length = MultiByteToWideChar(CP_ACP, 0, name, -1, wide, wide_name_size);
    if (length == 0)
        return 0;
    return LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, wide, length, upper, wide_name_size);
}

int same_name(const char *a, const char *b)
{
    // Greek, Cyrillic and full-width letters have case too: α and Α name one file.
    WCHAR upper_a[wide_name_size];
    WCHAR upper_b[wide_name_size];
    int length_a = upper_wide(a, upper_a);
    int length_b = upper_wide(b, upper_b);
    // A name too long to convert is also too long for the command line that would extract it.
    if (length_a == 0 || length_b == 0)
        return same_bytes_but_ascii_case(a, b);
    return length_a == length_b && memcmp(upper_a, upper_b, length_a * sizeof(WCHAR)) == 0;
}
#else
int same_name(const char *a, const char *b)
{
    return same_bytes_but_ascii_case(a, b);
}
#endif
