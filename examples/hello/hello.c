/* hello: console text in and out, and a file kept by the host.
 *
 * Asks for a name, adds it to guests.txt (in the simulator: the --root folder) and
 * reads the whole guest list back. */
#include <lorrinboot.h>
#include <stdio.h>
#include <string.h>

static void say(const char *text) {
    lm_lua_write(text, strlen(text));
}

/* Adds one line to the guest book; false when the host refused the file. */
static bool sign_guest_book(const char *name) {
    lmfs_file *book = lmfs_fopen("guests.txt", "a");
    if (!book)
        return false;
    bool written = lmfs_fwrite(name, 1, strlen(name), book) == strlen(name) && lmfs_fwrite("\n", 1, 1, book) == 1;
    /* The host receives the file when it is closed: that is where a failure shows. */
    return lmfs_fclose(book) == 0 && written;
}

/* Prints every name in the guest book, one a line, and returns how many there are. */
static int list_guests(void) {
    lmfs_file *book = lmfs_fopen("guests.txt", "r");
    if (!book)
        return 0;
    int count = 0, c, at_line_start = 1;
    while ((c = lmfs_getc(book)) != -1) {
        if (at_line_start) {
            say("  - ");
            count++;
        }
        char ch = (char)c;
        lm_lua_write(&ch, 1);
        at_line_start = c == '\n';
    }
    if (!at_line_start)
        say("\n");
    lmfs_fclose(book);
    return count;
}

int main(void) {
    lm_lua_show_banner();
    say("Hello from LorrinBootWindow.\n");
    say("What is your name? ");
    char name[128];
    if (!lm_lua_readline(name, sizeof name, "", 0) || !name[0]) {
        say("No name given; goodbye.\n");
        return 0;
    }
    say("Nice to meet you, ");
    say(name);
    say(".\n");
    if (!sign_guest_book(name)) {
        snprintf(name, sizeof name, "Could not sign the guest book (error %d).\n", lm_errno);
        say(name);
        return 1;
    }
    say("The guest book now holds:\n");
    char line[64];
    snprintf(line, sizeof line, "%d guest(s) so far.\n", list_guests());
    say(line);
    return 0;
}
