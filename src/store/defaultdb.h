// The database a new installation starts with: schema, default settings, artwork.
#pragma once

#include <QString>
#include <QStringList>

struct DefaultDatabaseResult
{
    int images = 0;    // imglst rows written
    QStringList notes; // what the caller may want to tell the user
};

// Writes a fresh database to path, replacing any file there only once the new
// one is complete. The file is readable by its owner only. Images are the
// files NN.bmp of imageFolder (00.bmp, 01.bmp, ...), stored with IMGID = NN;
// an empty imageFolder, or one without such files, gives no images. Throws
// StoreError on any failure (and leaves no half-written file behind).
DefaultDatabaseResult WriteDefaultDatabase(const QString &path, const QString &imageFolder);
