// Writes the built-in new-message sound to the file given as the only argument; the build runs
// it and takes the file in as a resource.

#include "core/messaging/ChimeWave.h"

#include <QFile>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: velmora_make_chime <output.wav>\n", stderr);
        return 2;
    }
    QFile out(QString::fromLocal8Bit(argv[1]));
    const QByteArray wave = velmora::chimeWave();
    if (!out.open(QIODevice::WriteOnly) || out.write(wave) != wave.size()) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
