// Translation of a window's texts from the language file.
#pragma once

#include <QList>
#include <QString>

class QWidget;

// Replaces the texts of form and of the components it owns with those of the
// language file chosen by LoadMessages(), from the section named after
// form->objectName(). A text without a key keeps its built-in value. Does
// nothing for a null form.
void ApplyLanguage(QWidget *form);

// The same, from the given language file.
void ApplyLanguage(QWidget *form, const QString &languageFile);

// A key of a window's section and the text it stands for now.
struct LanguageKey
{
    QString key;
    QString text;
};

// The keys ApplyLanguage reads for form, in the order it reads them, each
// with the form's current text; empty for a null form. Nothing is changed.
QList<LanguageKey> LanguageKeys(QWidget *form);
