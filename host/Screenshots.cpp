#include "host/Screenshots.h"

#include "host/PropertySheet.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPixmap>
#include <QTabWidget>
#include <QWidget>

namespace zyr::host {

namespace {

QString Slug(const QString& text)
{
    QString slug;
    for (QChar c : text.toLower()) {
        if (c.isLetterOrNumber() && c.unicode() < 0x80) {
            slug += c;
        } else if (!slug.isEmpty() && !slug.endsWith(QLatin1Char('-'))) {
            slug += QLatin1Char('-');
        }
    }
    while (slug.endsWith(QLatin1Char('-'))) {
        slug.chop(1);
    }
    return slug.isEmpty() ? QStringLiteral("window") : slug;
}

bool Save(QWidget* widget, const QString& file)
{
    QApplication::processEvents();
    return widget->grab().save(file, "PNG");
}

} // namespace

QString PictureName(const QString& file, const QString& part)
{
    QFileInfo info(file);
    return info.dir().filePath(info.completeBaseName() + QLatin1Char('-') + Slug(part) +
                               QStringLiteral(".png"));
}

bool SaveWindowPictures(QWidget* window, const QString& file)
{
    bool saved = Save(window, file);
    for (QWidget* other : QApplication::topLevelWidgets()) {
        if (other == window || !other->isVisible()) {
            continue;
        }
        const QString title = other->windowTitle().isEmpty() ? other->objectName() : other->windowTitle();
        auto* sheet = qobject_cast<PropertySheet*>(other);
        if (sheet == nullptr) {
            saved = Save(other, PictureName(file, title)) && saved;
            continue;
        }
        // A sheet: each tab as the administrator would open it.
        QTabWidget* tabs = sheet->Tabs();
        for (int tab = 0; tab < tabs->count(); ++tab) {
            tabs->setCurrentIndex(tab);
            saved =
                Save(sheet,
                     PictureName(
                         file, QStringLiteral("%1-%2 %3").arg(title).arg(tab + 1).arg(tabs->tabText(tab)))) &&
                saved;
        }
    }
    return saved;
}

} // namespace zyr::host
