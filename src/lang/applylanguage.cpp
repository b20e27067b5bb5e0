// Form translation: window caption, component captions, tooltips, grid titles, list items.
#include "lang/applylanguage.h"

#include "lang/inifile.h"
#include "lang/messages.h"
#include "lang/widgets.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QStackedWidget>
#include <QTabWidget>

#include <functional>
#include <utility>

namespace {

// Walks a window as translation does. With a file it translates; without
// one it only notes each key it would read, so that the list of keys cannot
// drift from what translation really reads.
class Translator
{
public:
    Translator(const IniFile &file, QString section) : file_(&file), section_(std::move(section)) {}
    explicit Translator(QList<LanguageKey> &keys) : keys_(&keys) {}

    // Reads key with the current text as default and sets it only when it
    // differs, so that untranslated texts are not touched at all (a QAction
    // keeps deriving its tooltip from its text, for one).
    void apply(const QString &key, const QString &current,
               const std::function<void(const QString &)> &set) const
    {
        if (!file_) {
            keys_->append(LanguageKey{key, current});
            return;
        }
        const QString text = file_->readString(section_, key, current);
        if (text != current) set(text);
    }

    void visit(QObject *owner) const
    {
        for (QObject *child : owner->children()) {
            // Another window has its own section, even when this one owns it;
            // a menu is part of this window.
            const auto *w = qobject_cast<QWidget *>(child);
            if (w && w->isWindow() && !qobject_cast<QMenu *>(child)) continue;
            translate(child);
            visit(child);
        }
    }

private:
    void captionAndHint(const QString &name, const QString &caption, const QString &hint,
                        const std::function<void(const QString &)> &setCaption,
                        const std::function<void(const QString &)> &setHint) const
    {
        apply(name + QStringLiteral(".Caption"), caption, setCaption);
        apply(name + QStringLiteral(".Hint"), hint, setHint);
    }

    template <typename W> void widgetTexts(const QString &name, W *w) const
    {
        captionAndHint(
            name, w->text(), w->toolTip(), [w](const QString &t) { w->setText(t); },
            [w](const QString &t) { w->setToolTip(t); });
    }

    static QTabWidget *tabOf(QObject *obj)
    {
        auto *page = qobject_cast<QWidget *>(obj);
        auto *stack = page ? qobject_cast<QStackedWidget *>(page->parent()) : nullptr;
        auto *tabs = stack ? qobject_cast<QTabWidget *>(stack->parent()) : nullptr;
        return tabs && tabs->indexOf(page) >= 0 ? tabs : nullptr;
    }

    // The kinds in their order; the first that matches decides. A DataCheckBox
    // is a QCheckBox and is translated as one, with the same texts.
    void translate(QObject *obj) const
    {
        const QString name = obj->objectName();
        // Unnamed objects and Qt's own parts (scroll bars, headers, the
        // stacked widget of a tab widget) are not designed components.
        if (name.isEmpty() || name.startsWith(QStringLiteral("qt_"))) return;
        if (auto *label = qobject_cast<QLabel *>(obj)) {
            widgetTexts(name, label);
        } else if (auto *button = qobject_cast<QAbstractButton *>(obj)) {
            widgetTexts(name, button); // check boxes, data-bound ones too
        } else if (auto *action = qobject_cast<QAction *>(obj)) {
            if (!action->isSeparator()) widgetTexts(name, action);
        } else if (auto *menu = qobject_cast<QMenu *>(obj)) {
            // a submenu is a menu item too: its title is its caption
            QAction *item = menu->menuAction();
            captionAndHint(
                name, menu->title(), item->toolTip(), [menu](const QString &t) { menu->setTitle(t); },
                [item](const QString &t) { item->setToolTip(t); });
        } else if (auto *image = qobject_cast<ImageControl *>(obj)) {
            apply(name + QStringLiteral(".Hint"), image->toolTip(),
                  [image](const QString &t) { image->setToolTip(t); });
        } else if (QTabWidget *tabs = tabOf(obj)) {
            const int i = tabs->indexOf(static_cast<QWidget *>(obj));
            captionAndHint(
                name, tabs->tabText(i), tabs->tabToolTip(i),
                [tabs, i](const QString &t) { tabs->setTabText(i, t); },
                [tabs, i](const QString &t) { tabs->setTabToolTip(i, t); });
        } else if (auto *grid = qobject_cast<DataGrid *>(obj)) {
            for (int i = 0; i < grid->columnCount(); ++i) {
                QTableWidgetItem *item = grid->horizontalHeaderItem(i);
                apply(name + QStringLiteral(".Column.") + QString::number(i), item ? item->text() : QString(),
                      [grid, item, i](const QString &t) {
                          if (item)
                              item->setText(t);
                          else
                              grid->setHorizontalHeaderItem(i, new QTableWidgetItem(t));
                      });
            }
        } else if (auto *group = qobject_cast<QGroupBox *>(obj)) {
            captionAndHint(
                name, group->title(), group->toolTip(), [group](const QString &t) { group->setTitle(t); },
                [group](const QString &t) { group->setToolTip(t); });
        } else if (auto *combo = qobject_cast<QComboBox *>(obj);
                   combo && !qobject_cast<DataComboBox *>(obj)) {
            for (int i = 0; i < combo->count(); ++i)
                apply(name + QStringLiteral(".Item.") + QString::number(i), combo->itemText(i),
                      [combo, i](const QString &t) { combo->setItemText(i, t); });
        }
    }

    const IniFile *file_ = nullptr;
    QString section_;
    QList<LanguageKey> *keys_ = nullptr;
};

void Walk(const Translator &translator, QWidget *form)
{
    translator.apply(QStringLiteral("Caption"), form->windowTitle(),
                     [form](const QString &t) { form->setWindowTitle(t); });
    translator.visit(form);
}

} // namespace

void ApplyLanguage(QWidget *form)
{
    if (form) ApplyLanguage(form, LanguageFilePath());
}

void ApplyLanguage(QWidget *form, const QString &languageFile)
{
    if (!form) return;
    const IniFile file(languageFile);
    Walk(Translator(file, form->objectName()), form);
}

QList<LanguageKey> LanguageKeys(QWidget *form)
{
    QList<LanguageKey> keys;
    if (form) Walk(Translator(keys), form);
    return keys;
}
