/* A program built against the public headers alone: it uses the file layer the way an
 * application does, through stdout and a stored file, and reports by its result. */
#include <lorrinboot.h>
#include <stdlib.h>
#include <string.h>

int main(void) {
    stdout = lmfs_fopen("__lmfs_stdout", "w");
    if (!stdout)
        return 1;
    lmfs_file *file = lmfs_fopen("notes.txt", "w+");
    const char text[] = "first line\n";
    if (lmfs_fwrite(text, 1, sizeof text - 1, file) != sizeof text - 1)
        return 2;
    if (lmfs_fseek(file, 0, LMFS_SEEK_SET) != 0 || lmfs_getc(file) != 'f')
        return 3;
    if (lmfs_fclose(file) != 0)
        return 4;

    uint8_t *data = NULL;
    uint64_t size = 0;
    if (!lmfs_read_entire_file("notes.txt", &data, &size) || size != sizeof text - 1)
        return 5;
    lmfs_fwrite(data, 1, size, stdout);
    free(data);

    if (lmfs_fopen("absent.txt", "r") != NULL || lm_errno != LM_ENOENT)
        return 6;
    const char *message = strerror(lm_errno);
    lmfs_fwrite(message, 1, strlen(message), stdout);
    lmfs_fwrite("\n", 1, 1, stdout);
    lmfs_fclose(stdout);
    stdout = NULL;
    return 0;
}
