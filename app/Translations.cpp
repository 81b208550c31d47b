// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Translations.h"

#include <QCoreApplication>
#include <QTranslator>

QString installTranslations(const QLocale &locale)
{
    // One translator for the whole run: created once, owned by the
    // application object so that it goes with it.
    auto *translator = new QTranslator(QCoreApplication::instance());
    // QLocale's uiLanguages() holds LANGUAGE's list first, so "LANGUAGE=de:en"
    // picks German even under LANG=C.
    if (!translator->load(locale, QStringLiteral("brivane"), QStringLiteral("_"), QStringLiteral(":/i18n"))) {
        delete translator;
        return {};
    }
    QCoreApplication::installTranslator(translator);
    return translator->language();
}
