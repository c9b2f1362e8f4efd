// A stand-in for the console tools the installer runs (chkdsk, syslinux, and 7z where a
// test needs a listing or an extraction that the real 7-Zip would never produce).
//
// The same program is copied under each tool's name; it reads what to do from the
// environment, which the installer passes on to its children unchanged. NAME is the
// upper-case base name of the program (CHKDSK, SYSLINUX, 7Z). Every setting is looked up
// first as ZERKA_DOUBLE_<NAME>_<ARG>_<FIELD>, with ARG the upper-case first argument
// (so 7z's listing and extraction are told apart as 7Z_L and 7Z_E), then as
// ZERKA_DOUBLE_<NAME>_<FIELD>. Fields, acted on in this order:
//   RECORD=path       append the whole command line and CR LF to that file
//   STDERR=text       write the text to standard error, as it is
//   STDOUT=text       write the text to standard output, as it is
//   STDOUT_FILE=path  write that file's bytes to standard output
//   FLOOD=n           write n bytes of filler lines to standard output
//   WRITE=n           (extraction) make a file of n bytes named by the last argument,
//                     without its folder part, in the folder given by -o<folder>
//   SLEEP=ms          wait that long before exiting
//   EXIT=n            exit code (default 0)
// Writes to a pipe nobody reads block, as a real tool's would.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

static std::string upper(std::string text)
{
    for (char &c : text)
        if (c >= 'a' && c <= 'z') c = (char)(c - 'a' + 'A');
    return text;
}

static std::vector<std::string> split_arguments(const char *line)
{
    std::vector<std::string> arguments;
    const char *p = line;
    while (*p) {
        while (*p == ' ' || *p == '\t') p++;
        if (!*p) break;
        std::string argument;
        bool quoted = false;
        while (*p && (quoted || (*p != ' ' && *p != '\t'))) {
            if (*p == '"')
                quoted = !quoted;
            else
                argument += *p;
            p++;
        }
        arguments.push_back(argument);
    }
    return arguments;
}

static std::string name_key;
static std::string argument_key;

static bool setting(const char *field, std::string *value)
{
    std::vector<std::string> names;
    if (!argument_key.empty()) names.push_back("ZERKA_DOUBLE_" + argument_key + "_" + field);
    names.push_back("ZERKA_DOUBLE_" + name_key + "_" + field);
    for (const std::string &name : names) {
        DWORD size = GetEnvironmentVariableA(name.c_str(), NULL, 0);
        if (size == 0) continue;
        std::vector<char> buffer(size);
        DWORD got = GetEnvironmentVariableA(name.c_str(), buffer.data(), size);
        value->assign(buffer.data(), got);
        return true;
    }
    return false;
}

static void write_all(HANDLE handle, const char *data, size_t size)
{
    while (size > 0) {
        DWORD written = 0;
        DWORD chunk = size > 65536 ? 65536 : (DWORD)size;
        if (!WriteFile(handle, data, chunk, &written, NULL) || written == 0) return;
        data += written;
        size -= written;
    }
}

static void write_file_of_size(const std::vector<std::string> &arguments, long long size)
{
    std::string folder;
    for (const std::string &argument : arguments)
        if (argument.compare(0, 2, "-o") == 0) folder = argument.substr(2);
    std::string name = arguments.empty() ? "" : arguments.back();
    size_t slash = name.find_last_of("\\/");
    if (slash != std::string::npos) name = name.substr(slash + 1);
    std::string path = folder + name;
    CreateDirectoryA(folder.c_str(), NULL);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "tool double: cannot create %s\n", path.c_str());
        return;
    }
    // Small files get real bytes; large ones are only sized (sparse on the host).
    if (size <= (1 << 20)) {
        std::vector<char> bytes((size_t)size, 'z');
        write_all(file, bytes.data(), bytes.size());
    } else {
        LARGE_INTEGER end;
        end.QuadPart = size;
        SetFilePointerEx(file, end, NULL, FILE_BEGIN);
        SetEndOfFile(file);
    }
    CloseHandle(file);
}

int main(void)
{
    char module[MAX_PATH];
    GetModuleFileNameA(NULL, module, sizeof module);
    std::string base = module;
    size_t slash = base.find_last_of("\\/");
    if (slash != std::string::npos) base = base.substr(slash + 1);
    size_t dot = base.find_last_of('.');
    if (dot != std::string::npos) base = base.substr(0, dot);
    name_key = upper(base);

    const char *command_line = GetCommandLineA();
    std::vector<std::string> arguments = split_arguments(command_line);
    if (arguments.size() > 1) argument_key = name_key + "_" + upper(arguments[1]);

    std::string value;
    if (setting("RECORD", &value)) {
        FILE *record = fopen(value.c_str(), "ab");
        if (record != NULL) {
            fprintf(record, "%s\r\n", command_line);
            fclose(record);
        }
    }
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (setting("STDERR", &value)) write_all(err, value.data(), value.size());
    if (setting("STDOUT", &value)) write_all(out, value.data(), value.size());
    if (setting("STDOUT_FILE", &value)) {
        FILE *file = fopen(value.c_str(), "rb");
        if (file != NULL) {
            char chunk[4096];
            size_t got;
            while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) write_all(out, chunk, got);
            fclose(file);
        }
    }
    if (setting("FLOOD", &value)) {
        long long left = atoll(value.c_str());
        const char line[] = "flood flood flood flood flood flood flood flood flood flood\r\n";
        std::string block;
        while (block.size() < 65536) block += line;
        while (left > 0) {
            size_t n = left < (long long)block.size() ? (size_t)left : block.size();
            write_all(out, block.data(), n);
            left -= (long long)n;
        }
    }
    if (setting("WRITE", &value)) write_file_of_size(arguments, atoll(value.c_str()));
    if (setting("SLEEP", &value)) Sleep((DWORD)atol(value.c_str()));
    int code = setting("EXIT", &value) ? atoi(value.c_str()) : 0;
    return code;
}
