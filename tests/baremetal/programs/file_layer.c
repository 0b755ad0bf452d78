/* file_layer: the library's file streams over the host's file store: files packed into
 * the boot archive read, written, appended, renamed and removed; a stream that reads in
 * place keeps the old bytes of a file replaced under it; a line of standard input. */
#include <lorrinboot.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static void print(const char *text) {
    lmfs_fwrite(text, 1, strlen(text), stdout);
}

static void show(const char *path) {
    uint8_t *data = NULL;
    uint64_t size = 0;
    char line[160];
    int found = lmfs_read_entire_file(path, &data, &size) || lmfs_fopen(path, "r");
    snprintf(line, sizeof line, "%s (%u bytes): %s", path, (unsigned)size, found ? "" : strerror(lm_errno));
    print(line);
    lmfs_fwrite(data, 1, size, stdout);
    print(found ? "" : "\n");
    free(data);
}

static void append(const char *path, const char *mode, const char *text) {
    lmfs_file *file = lmfs_fopen(path, mode);
    lmfs_fwrite(text, 1, strlen(text), file);
    lmfs_fclose(file);
}

int main(void) {
    stdout = lmfs_fopen("__lmfs_stdout", "w");
    stdin = lmfs_fopen("__lmfs_stdin", "r");
    show("greeting.txt");
    show("/notes/./list.txt");
    show("missing.txt");
    append("journal.txt", "w", "first line\n");
    append("journal.txt", "a", "second line\n");
    print(lmfs_rename("journal.txt", "notes/journal.txt") == 0 ? "renamed\n" : "rename failed\n");
    show("journal.txt");
    show("notes/journal.txt");
    lmfs_file *reader = lmfs_fopen("greeting.txt", "r");
    char text[64] = {0};
    lmfs_fread(text, 1, 5, reader);
    lmfs_write_entire_file("greeting.txt", "replaced\n", 9);
    lmfs_fread(text + 5, 1, sizeof text - 6, reader);
    lmfs_fclose(reader);
    print(text);
    show("greeting.txt");
    print(lmfs_remove("notes/journal.txt") == 0 ? "removed\n" : "remove failed\n");
    print(lmfs_remove("notes/journal.txt") == 0 ? "removed again\n" : "second remove failed\n");
    print("type a line: ");
    char typed[64] = {0};
    for (int n = 0, c; n < 63 && (c = lmfs_getc(stdin)) != -1 && c != '\n'; n++)
        typed[n] = (char)c;
    print(typed);
    print("\n");
    return 0;
}
