/* file_layer: the library's file streams over the boot host's file store. Reads files
 * packed into the boot archive, writes, appends, renames and removes, keeps reading a
 * file that was replaced under an open stream, and reads a line of standard input. */
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
    char line[64];
    print(path);
    if (!lmfs_read_entire_file(path, &data, &size)) {
        print(": absent\n");
        return;
    }
    snprintf(line, sizeof line, " (%u bytes): ", (unsigned)size);
    print(line);
    lmfs_fwrite(data, 1, size, stdout);
    free(data);
}

int main(void) {
    stdout = lmfs_fopen("__lmfs_stdout", "w");
    stdin = lmfs_fopen("__lmfs_stdin", "r");
    if (!stdout || !stdin)
        return 1;

    show("greeting.txt");
    show("/notes/./list.txt");
    show("missing.txt");
    if (!lmfs_fopen("missing.txt", "r")) {
        print("opening missing.txt: ");
        print(strerror(lm_errno));
        print("\n");
    }

    lmfs_file *journal = lmfs_fopen("journal.txt", "w");
    lmfs_fwrite("first line\n", 1, 11, journal);
    lmfs_fclose(journal);
    journal = lmfs_fopen("journal.txt", "a");
    lmfs_fwrite("second line\n", 1, 12, journal);
    lmfs_fclose(journal);
    show("journal.txt");
    print(lmfs_rename("journal.txt", "notes/journal.txt") == 0 ? "renamed\n" : "rename failed\n");
    show("journal.txt");
    show("notes/journal.txt");

    /* A stream reading in place keeps its bytes when the file is replaced. */
    lmfs_file *reader = lmfs_fopen("greeting.txt", "r");
    char head[6] = {0}, rest[64] = {0};
    lmfs_fread(head, 1, 5, reader);
    lmfs_write_entire_file("greeting.txt", "replaced\n", 9);
    lmfs_fread(rest, 1, sizeof rest - 1, reader);
    lmfs_fclose(reader);
    print("open reader saw: ");
    print(head);
    print(rest);
    show("greeting.txt");

    print(lmfs_remove("notes/journal.txt") == 0 ? "removed\n" : "remove failed\n");
    print(lmfs_remove("notes/journal.txt") == 0 ? "removed again\n" : "second remove failed\n");

    print("type a line: ");
    char typed[64] = {0};
    size_t n = 0;
    int c;
    while (n + 1 < sizeof typed && (c = lmfs_getc(stdin)) != -1 && c != '\n')
        typed[n++] = (char)c;
    print("stdin gave: ");
    print(typed);
    print("\n");
    lmfs_fflush(stdout);
    return 0;
}
