/* Ends through exit with the status typed at its prompt. Its last words, written
 * without a line feed, and a file it never closes reach the host on the way out.
 * Built against <stdio.h>, <errno.h> and the file layer's header together. */
#include <errno.h>
#include <lorrinboot/files.h>
#include <stdio.h>
#include <stdlib.h>

int main(void) {
    stdin = fopen("__lmfs_stdin", "r");
    stdout = fopen("__lmfs_stdout", "w");
    if (fopen("absent.txt", "r") != NULL || errno != ENOENT || lm_errno != LM_ENOENT)
        return 1;
    FILE *left_open = fopen("left-open.txt", "w");
    fputs("written, never closed\n", left_open);
    printf("status? ");
    fflush(stdout);
    char line[16];
    if (!fgets(line, sizeof line, stdin))
        return 2;
    printf("bye");
    exit((int)strtol(line, NULL, 10));
}
