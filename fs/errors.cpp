// The file layer's error number and the messages for it.
#include "libc/library.h"

#include <string.h>

// Set only on failure, never cleared by the library.
LM_EXPORT int lm_errno = 0;

LM_EXPORT char *strerror(int code) {
    const char *text;
    switch (code) {
    case 0: text = "ok"; break;
    case 2: text = "no such file"; break;
    case 5: text = "i/o error"; break;
    case 9: text = "bad file descriptor"; break;
    case 12: text = "out of memory"; break;
    case 13: text = "permission denied"; break;
    case 17: text = "file exists"; break;
    case 22: text = "invalid argument"; break;
    default: text = "error"; break;
    }
    // The standard signature hands out char*; the texts are constants all the same.
    return const_cast<char *>(text);
}
