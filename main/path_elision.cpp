#include "main/path_elision.h"

#include <string.h>
#include <windows.h>

// Offset of the last character boundary at or below limit.
static size_t boundary_at_or_below(const char *text, size_t limit)
{
    size_t at = 0;
    while (text[at] != '\0') {
        size_t step = IsDBCSLeadByte((BYTE)text[at]) && text[at + 1] != '\0' ? 2 : 1;
        if (at + step > limit)
            break;
        at += step;
    }
    return at;
}

// Offset of the first character boundary at or above from.
static size_t boundary_at_or_above(const char *text, size_t from)
{
    size_t at = 0;
    while (text[at] != '\0' && at < from)
        at += IsDBCSLeadByte((BYTE)text[at]) && text[at + 1] != '\0' ? 2 : 1;
    return at;
}

void elide_path_middle(char *out, const char *path, size_t limit)
{
    size_t length = strlen(path);
    if (length <= limit) {
        memcpy(out, path, length + 1);
        return;
    }
    static const char mark[] = "...";
    size_t room = limit > sizeof mark - 1 ? limit - (sizeof mark - 1) : 0;
    size_t head = boundary_at_or_below(path, room / 2);
    size_t tail = boundary_at_or_above(path, length - (room - head));
    memcpy(out, path, head);
    memcpy(out + head, mark, sizeof mark - 1);
    memcpy(out + head + sizeof mark - 1, path + tail, length - tail + 1);
}
