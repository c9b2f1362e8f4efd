#pragma once
// Reading the "7z l" listing of the image, and the arithmetic of the install job.
// Portable: built natively for the unit tests and into the installer.

// Two listing layouts are read. Older 7-Zip prints a blank attribute column and a totals
// line "<size> <packed> N files, M folders" without a date. Current 7-Zip prints an
// attribute column ("....." and the like), drops ", 0 folders" and dates the totals line.
// When the listing has its two dashed separator lines, the file lines are the lines
// between them and the totals line is the one after the second; otherwise the whole text
// is searched the old way.

// Finds the totals line. Returns 0 and sets *total (bytes, saturating) when found, 1 when
// the listing has none. Leaves the text as it found it.
int listing_total(char *text, long long *total);

struct listing_cursor {
    char *next;       // where the search goes on
    char *end;        // files stop here (the second separator line, or the text's end)
    int separated;    // 1: the lines between the separators, 0: the old whole-text search
};

enum { sha256_size = 32 };

struct listing_file {
    char *name;       // inside the listing text, NUL-terminated in place
    long long size;   // listed size in bytes (saturating)
    unsigned char sha256[sha256_size];  // of the file as 7z extracted it, once it has
};

// Starts a walk over the file lines; must be called before the text is cut by the walk.
void listing_begin(listing_cursor *cursor, char *text);
// Next file line: 1 with *file set (the name is cut out of the text in place), 0 at the end.
int listing_next(listing_cursor *cursor, listing_file *file);

// A name that may go into a command line in double quotes: no double quote, no '*' or '?',
// not beginning with '-' or '@', which 7z reads as a switch or a list file, and not ending
// in a backslash.
int listing_name_is_safe(const char *name);

// Whether the listed files can be installed, before anything is written: every name safe,
// a vmlinuz and an initrd.gz among them, and no two that "7z e", which drops the folders,
// would extract to the same file (names compared as FAT does, without case).
enum { listing_usable, listing_refused_name, listing_missing_boot_files, listing_repeated_name };
int listing_verdict(const listing_file *files, int count);

// Decimal digits to a byte count, saturating at the largest long long.
long long parse_size(const char *digits);

// The bar: the extraction fills it up to 70, the read-back of what was written up to 90; the boot
// set-up sets 95 and 100.
enum { bar_extracted = 70, bar_read_back = 90 };
// Position from..to for the bytes done so far (current + copied) of a total; from when the total
// is not positive.
int bar_position(long long current, long long copied, long long total, int from, int to);

// Megabytes the target needs for the listed total, rounded up.
long long space_needed_mb(long long total);
// 1 when free_bytes holds space_needed_mb(total) whole megabytes.
int space_is_enough(unsigned long long free_bytes, long long total);

// Command lines and target paths; each returns 0 when the text fits its 1024-byte buffer,
// 1 when it does not (the buffer must then not be used).
int listing_command(char *buffer, const char *image);
int extraction_command(char *buffer, char drive, const char *image, const char *name);
// The SHA-256 that "7z e -scrcSHA256" prints with its last "SHA256 for data:" line, of the one file
// it extracted. 0 when found, 1 when the output has no such line.
int extraction_digest(const char *output, unsigned char digest[sha256_size]);
// Where "7z e" puts a listed file: X:\zerka\ and the name's last component.
int extraction_target(char *buffer, char drive, const char *name);
