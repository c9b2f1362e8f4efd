#include "job/boot_menus.h"

#include <string.h>

enum { line_buffer_size = 1024 };

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

static int is_timeout_line(const char *line)
{
    if (strncmp(line, "timeout=0", 9) != 0)
        return 0;
    return strchr(" \t\r\n", line[9]) != NULL;  // NUL included: the end of the file
}

int boot_ini_set_timeout(FILE *file)
{
    char line[line_buffer_size];
    // fgets stops after 1023 characters: what follows in a longer line is no line start.
    int at_line_start = 1;
    while (!feof(file)) {
        long start = ftell(file);
        if (start < 0 || fgets(line, sizeof line, file) == NULL)
            return 0;
        if (at_line_start && is_timeout_line(line)) {
            if (fseek(file, start + 8, SEEK_SET) != 0 || fputc('5', file) == EOF)
                return 0;
            return 1;
        }
        size_t length = strlen(line);
        at_line_start = length > 0 && line[length - 1] == '\n';
    }
    return 0;
}
