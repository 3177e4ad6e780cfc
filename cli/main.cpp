#include <stdio.h>

int main() {
    fputs("tokenweave: no subcommands yet\n", stderr);
    return 1;
}
