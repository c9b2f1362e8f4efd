#include "job/boot_menus.h"

#include <string.h>

int menu_lst_append_entry(FILE *file, const char *root)
{
    int unended = fseek(file, -1, SEEK_END) == 0 && fgetc(file) != '\n';
    fseek(file, 0, SEEK_END);  // between a read and a write
    if (unended)
        fputc('\n', file);
    fprintf(file,
            "title zerka (kestrix)\n"
            "root %s\n"
            "kernel /zerka/vmlinuz PMEDIA=idehd PSUBDIR=zerka\n"
            "initrd /zerka/initrd.gz\n",
            root);
    return fflush(file) != 0 || ferror(file) ? 1 : 0;
}

static const char boot_ini_line[] = "\r\nC:\\GRLDR=\"zerka (kestrix)\"\r\n";
static_assert(sizeof boot_ini_line - 1 == boot_ini_line_size, "the line's size");

// At "timeout=0" Windows would start at once and never show the new entry.
static int is_timeout_line(const char *line, size_t rest)
{
    if (rest < 9 || memcmp(line, "timeout=0", 9) != 0)
        return 0;
    return rest == 9 || memchr(" \t\r\n", line[9], 4) != NULL;
}

size_t boot_ini_edit(char *text, size_t length)
{
    // A final Ctrl-Z, left by old editors, ends the text for a reader in text mode: the line goes
    // where it stood, as the runtime's text-mode append put it.
    if (length > 0 && text[length - 1] == 0x1A)
        --length;
    for (size_t start = 0; start < length;) {
        if (is_timeout_line(text + start, length - start)) {
            text[start + 8] = '5';
            break;
        }
        const char *end = (const char *)memchr(text + start, '\n', length - start);
        if (end == NULL)
            break;
        start = (size_t)(end - text) + 1;
    }
    memcpy(text + length, boot_ini_line, boot_ini_line_size);
    return length + boot_ini_line_size;
}
