#include "job/listing.h"

#include <assert.h>
#include <limits.h>
#include <regex.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "job/path_parts.h"
#include "messages/format_text.h"

// Old layout, searched over the whole text. "\r" is the carriage-return byte.
static const char old_totals_pattern[] =
    " \\+\\([0-9]\\+\\) \\+[0-9]\\+ \\+[0-9]\\+ files, [0-9]\\+ folders";
static const char old_file_pattern[] =
    ":[0-9]\\+ \\+\\([0-9]\\+\\) \\+[0-9]\\+ \\+\\([^\r\n]\\+\\)\r";

// Between the separators, one cut line at a time. The attribute column is optional so
// that the blank column of older versions reads the same way.
static const char line_file_pattern[] =
    "^[0-9-]* *[0-9]\\+:[0-9]\\+:[0-9]\\+ \\+\\([DRHSA.]\\{5\\} \\+\\)\\?"
    "\\([0-9]\\+\\) \\+[0-9]\\+ \\+\\(.\\+\\)$";
// After the second separator; ", N folders" is printed only when N is not 0.
static const char line_totals_pattern[] = " \\+\\([0-9]\\+\\) \\+[0-9]\\+ \\+[0-9]\\+ files";

// A fixed pattern that does not compile is a broken program, also in release builds (which
// define NDEBUG): stop as a failed assertion does.
[[noreturn]] static void stop_on_assertion(const char *expression, const char *file, int line)
{
#ifdef _WIN32
    _assert(expression, file, (unsigned)line);  // msvcrt's box; returns only on "Ignore"
#else
    fprintf(stderr, "%s:%d: assertion failed: %s\n", file, line, expression);
#endif
    abort();
}

static void compile(regex_t *re, const char *pattern, int flags)
{
    int ret = regcomp(re, pattern, flags);
    if (ret != 0)
        stop_on_assertion("ret == 0", __FILE__, __LINE__);
}

long long parse_size(const char *digits)
{
    long long value = 0;
    for (; *digits >= '0' && *digits <= '9'; digits++) {
        int d = *digits - '0';
        if (value > (LLONG_MAX - d) / 10) return LLONG_MAX;
        value = value * 10 + d;
    }
    return value;
}

// End of the line that starts at p (its '\n' or the text's NUL).
static char *line_end(char *p)
{
    while (*p && *p != '\n') p++;
    return p;
}

static char *next_line(char *p)
{
    p = line_end(p);
    return *p ? p + 1 : p;
}

// A dashed separator line: at least three dashes first, only dashes and blanks, and
// more than one group of dashes (7z's header block also has a line "--").
static int is_separator(const char *p)
{
    if (strncmp(p, "---", 3) != 0) return 0;
    int groups = 1;
    for (const char *q = p; *q && *q != '\n' && *q != '\r'; q++) {
        if (*q == ' ') {
            if (q[1] == '-') groups++;
        } else if (*q != '-') {
            return 0;
        }
    }
    return groups > 1;
}

// The first two separator lines; 1 when both were found.
static int find_separators(char *text, char **first, char **second)
{
    *first = *second = nullptr;
    for (char *p = text; *p; p = next_line(p)) {
        if (!is_separator(p)) continue;
        if (!*first) {
            *first = p;
        } else {
            *second = p;
            return 1;
        }
    }
    return 0;
}

int listing_total(char *text, long long *total)
{
    char *first, *second;
    regex_t re;
    regmatch_t match[10];
    int found;
    if (find_separators(text, &first, &second)) {
        char *line = next_line(second);
        char *end = line_end(line);
        char saved = *end;
        *end = '\0';
        compile(&re, line_totals_pattern, REG_ICASE);
        found = regexec(&re, line, 10, match, 0) == 0;
        if (found) *total = parse_size(line + match[1].rm_so);
        *end = saved;
    } else {
        compile(&re, old_totals_pattern, REG_ICASE);
        found = regexec(&re, text, 10, match, 0) == 0;
        if (found) *total = parse_size(text + match[1].rm_so);
    }
    regfree(&re);
    return found ? 0 : 1;
}

void listing_begin(listing_cursor *cursor, char *text)
{
    char *first, *second;
    if (find_separators(text, &first, &second)) {
        cursor->next = next_line(first);
        cursor->end = second;
        cursor->separated = 1;
    } else {
        cursor->next = text;
        cursor->end = nullptr;
        cursor->separated = 0;
    }
}

static int next_separated(listing_cursor *cursor, listing_file *file)
{
    regex_t re;
    regmatch_t match[10];
    int found = 0;
    compile(&re, line_file_pattern, 0);
    while (!found && cursor->next < cursor->end) {
        char *line = cursor->next;
        char *end = line_end(line);
        if (end > cursor->end) end = cursor->end;
        cursor->next = *end ? end + 1 : end;
        // A carriage return ends the line even inside it, as in the whole-text search.
        for (char *q = line; q < end; q++)
            if (*q == '\r') {
                end = q;
                break;
            }
        *end = '\0';
        if (regexec(&re, line, 10, match, 0) != 0) continue;
        // A folder entry has nothing to extract.
        if (match[1].rm_so >= 0 && line[match[1].rm_so] == 'D') continue;
        line[match[2].rm_eo] = '\0';
        file->size = parse_size(line + match[2].rm_so);
        file->name = line + match[3].rm_so;
        found = 1;
    }
    regfree(&re);
    return found;
}

static int next_whole_text(listing_cursor *cursor, listing_file *file)
{
    regex_t re;
    regmatch_t match[10];
    compile(&re, old_file_pattern, 0);
    int found = regexec(&re, cursor->next, 10, match, 0) == 0;
    regfree(&re);
    if (!found) return 0;
    char *base = cursor->next;
    base[match[1].rm_eo] = '\0';
    base[match[2].rm_eo] = '\0';  // the carriage return
    file->size = parse_size(base + match[1].rm_so);
    file->name = base + match[2].rm_so;
    // Past the line feed behind the carriage return.
    char *after = base + match[0].rm_eo;
    cursor->next = *after ? after + 1 : after;
    return 1;
}

int listing_next(listing_cursor *cursor, listing_file *file)
{
    return cursor->separated ? next_separated(cursor, file) : next_whole_text(cursor, file);
}

int listing_name_is_safe(const char *name)
{
    if (name[0] == '-' || name[0] == '@') return 0;
    if (*last_component(name) == '\0') return 0;  // nothing to name the extracted file by
    return strpbrk(name, "\"*?") == nullptr;
}

int listing_verdict(const listing_file *files, int count)
{
    int kernel = 0, ramdisk = 0;
    for (int i = 0; i < count; i++) {
        const char *name = last_component(files[i].name);
        if (!listing_name_is_safe(files[i].name)) return listing_refused_name;
        kernel |= same_name(name, "vmlinuz");
        ramdisk |= same_name(name, "initrd.gz");
        // "7z e" drops the folders: the later file would overwrite the earlier one.
        for (int j = 0; j < i; j++)
            if (same_name(name, last_component(files[j].name))) return listing_repeated_name;
    }
    return kernel && ramdisk ? listing_usable : listing_missing_boot_files;
}

int bar_position(long long current, long long copied, long long total, int from, int to)
{
    if (total <= 0) return from;
    if (current < 0) current = 0;
    if (copied < 0) copied = 0;
    long long done = current > LLONG_MAX - copied ? LLONG_MAX : current + copied;
    if (done >= total) return to;
    // done < total; keep done * (to - from) inside 63 bits.
    while (total > LLONG_MAX / 100) {
        total >>= 1;
        done >>= 1;
    }
    return from + (int)(done * (to - from) / total);
}

long long space_needed_mb(long long total)
{
    if (total <= 0) return 0;
    return (total >> 20) + ((total & 0xFFFFF) != 0 ? 1 : 0);
}

int space_is_enough(unsigned long long free_bytes, long long total)
{
    // At most 2^43 megabytes, so the byte count stays inside 64 unsigned bits.
    return free_bytes >= (unsigned long long)space_needed_mb(total) << 20;
}

int listing_command(char *buffer, const char *image)
{
    return text_fits(format_text(buffer, "7z l \"%s\" *.sfs vmlinuz initrd.gz", image)) ? 0 : 1;
}

int extraction_command(char *buffer, char drive, const char *image, const char *name)
{
    return text_fits(format_text(buffer, "7z e -y -scrcSHA256 -o%c:\\zerka\\ \"%s\" \"%s\"", drive, image, name))
               ? 0
               : 1;
}

int extraction_target(char *buffer, char drive, const char *name)
{
    return text_fits(format_text(buffer, "%c:\\zerka\\%s", drive, last_component(name))) ? 0 : 1;
}

static int hex_digit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

int extraction_digest(const char *output, unsigned char digest[sha256_size])
{
    static const char label[] = "SHA256 for data:";
    const char *line = NULL;
    for (const char *at = strstr(output, label); at != NULL; at = strstr(at + 1, label))
        line = at;
    if (line == NULL) return 1;
    const char *hex = line + sizeof label - 1;
    while (*hex == ' ' || *hex == '\t') hex++;
    unsigned char found[sha256_size];
    for (int i = 0; i < 2 * sha256_size; i++) {
        int value = hex_digit(hex[i]);
        if (value < 0) return 1;
        found[i / 2] = (unsigned char)(i % 2 ? found[i / 2] | value : value << 4);
    }
    // Exactly 64 digits: a longer run is some other hash.
    if (hex_digit(hex[2 * sha256_size]) >= 0) return 1;
    memcpy(digest, found, sizeof found);
    return 0;
}
