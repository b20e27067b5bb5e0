// The folder of the running executable, where the program keeps its files.
#pragma once

#include <QString>

// The folder of the running executable, ending in '/'. Only the entry point
// calls this; components are handed their folder.
QString ProgramFolder();
