// Runs one reporting path of the installer's message code in a process of its own, so the
// tests can see its box and its exit code:
//   messages_probe load <id>            load_message(id), exit 0 if it returns
//   messages_probe report <code> <name> report_api_error after SetLastError(code), exit 0
//   messages_probe fail <code> <name>   fail_api_call after SetLastError(code)
#include "messages/messages.h"

#include <stdlib.h>
#include <string.h>
#include <windows.h>

int main(int argc, char **argv)
{
    if (argc >= 3 && strcmp(argv[1], "load") == 0) {
        load_message(atoi(argv[2]));
        return 0;
    }
    if (argc >= 4 && strcmp(argv[1], "report") == 0) {
        SetLastError(strtoul(argv[2], nullptr, 0));
        report_api_error(argv[3]);
        return 0;
    }
    if (argc >= 4 && strcmp(argv[1], "fail") == 0) {
        SetLastError(strtoul(argv[2], nullptr, 0));
        fail_api_call(argv[3]);
    }
    return 100;
}
