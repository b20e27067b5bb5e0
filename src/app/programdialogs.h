// The program's dialogs and the first-tick import, attached to its parts.
#pragma once

struct ProgramParts;

// Fills the dialog factories and the shutdown-files import of parts; each
// dialog is made on first use over the main window's record sets.
void AttachProgramDialogs(ProgramParts &parts);
