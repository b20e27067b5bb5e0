// mkdb: writes the database a new installation starts with.
#include "store/database.h"
#include "store/defaultdb.h"

#include <QString>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: mkdb <out.mdb> [<imgdir>]\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    const QString images = argc == 3 ? QString::fromLocal8Bit(argv[2]) : QString();
    try {
        const DefaultDatabaseResult result = WriteDefaultDatabase(out, images);
        for (const QString &note : result.notes)
            std::printf("mkdb: %s\n", note.toLocal8Bit().constData());
        std::printf("mkdb: wrote %s (%d images)\n", out.toLocal8Bit().constData(), result.images);
    } catch (const StoreError &e) {
        std::fprintf(stderr, "mkdb: %s\n", e.what());
        return 1;
    }
    return 0;
}
