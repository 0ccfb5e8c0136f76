// Writes the autostart entry for the program given and prints where it went.
#include "desktop/AutostartEntry.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2 || !AutostartEntry::enable(QString::fromLocal8Bit(argv[1])))
        return 1;
    std::puts(qPrintable(AutostartEntry::filePath()));
    return 0;
}
