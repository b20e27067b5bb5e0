// Contact sheet: every rendered image plus mock-ups of the windows built from them.
#pragma once

#include <QString>

namespace sheet {

// Reads imglstDir/NN.bmp and every PNG in iconDir and writes one PNG that shows
// them all, with the main window and the warning window assembled from them at
// the controls' positions. False when an image is missing or the file cannot
// be written.
bool write(const QString &imglstDir, const QString &iconDir, const QString &outPath);

} // namespace sheet
