// Translation of a window's texts from the language file.
#pragma once

#include <QString>

class QWidget;

// Replaces the texts of form and of the components it owns with those of the
// language file chosen by LoadMessages(), from the section named after
// form->objectName(). A text without a key keeps its built-in value. Does
// nothing for a null form.
void ApplyLanguage(QWidget *form);

// The same, from the given language file.
void ApplyLanguage(QWidget *form, const QString &languageFile);
