// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Translations.h"
#include "calendar/EventFormatting.h"
#include "calendar/StatusTitle.h"
#include "calendar/ZohoTypes.h"

#include <QCoreApplication>
#include <QDate>
#include <QTest>
#include <QTranslator>

// The German catalogue as the program loads it: from its own resources, by
// the locale's languages, with plural forms and date formats of its own.
class TestTranslations : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void germanIsFoundByLanguage_data();
    void germanIsFoundByLanguage();
    void aLanguageWithoutCatalogueKeepsTheWrittenTexts();
    void pluralsFollowTheCount_data();
    void pluralsFollowTheCount();
    void dateFormatsAreTranslatedAsFormats();
    void countdownsAndThePanelTitleSpeakTheLanguage();
};

void TestTranslations::cleanup()
{
    // Each case installs at most one translator; take them all off again.
    const auto translators = QCoreApplication::instance()->findChildren<QTranslator *>();
    for (QTranslator *translator : translators) {
        QCoreApplication::removeTranslator(translator);
        delete translator;
    }
}

void TestTranslations::germanIsFoundByLanguage_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::newRow("German of Germany") << QLocale(QLocale::German, QLocale::Germany);
    QTest::newRow("German of Austria falls back to German") << QLocale(QLocale::German, QLocale::Austria);
    QTest::newRow("Swiss German falls back to German") << QLocale(QLocale::German, QLocale::Switzerland);
}

void TestTranslations::germanIsFoundByLanguage()
{
    QFETCH(QLocale, locale);
    QCOMPARE(installTranslations(locale), QStringLiteral("de"));
    QCOMPARE(QCoreApplication::translate("AgendaCommand", "Today"), QStringLiteral("Heute"));
    QCOMPARE(QCoreApplication::translate("AppDelegate", "Quit brivane"), QStringLiteral("brivane beenden"));
    // A text the catalogue does not hold stays as written.
    QCOMPARE(QCoreApplication::translate("AgendaCommand", "no such text"), QStringLiteral("no such text"));
}

void TestTranslations::aLanguageWithoutCatalogueKeepsTheWrittenTexts()
{
    QCOMPARE(installTranslations(QLocale(QLocale::Japanese, QLocale::Japan)), QString());
    QCOMPARE(installTranslations(QLocale::c()), QString());
    QCOMPARE(QCoreApplication::translate("AgendaCommand", "Today"), QStringLiteral("Today"));
}

void TestTranslations::pluralsFollowTheCount_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("german");
    QTest::newRow("one") << 1 << QStringLiteral("and 1 more") << QStringLiteral("und 1 weiterer");
    QTest::newRow("two") << 2 << QStringLiteral("and 2 more") << QStringLiteral("und 2 weitere");
    QTest::newRow("eleven") << 11 << QStringLiteral("and 11 more") << QStringLiteral("und 11 weitere");
}

void TestTranslations::pluralsFollowTheCount()
{
    QFETCH(int, count);
    QFETCH(QString, english);
    QFETCH(QString, german);
    QCOMPARE(QCoreApplication::translate("StatusTitle", "and %n more", nullptr, count), english);
    installTranslations(QLocale(QLocale::German, QLocale::Germany));
    QCOMPARE(QCoreApplication::translate("StatusTitle", "and %n more", nullptr, count), german);
}

void TestTranslations::dateFormatsAreTranslatedAsFormats()
{
    const QLocale german(QLocale::German, QLocale::Germany);
    installTranslations(german);
    const QDate day(2026, 12, 9);
    const QString detailFormat = QCoreApplication::translate("EventDetailViewModel", "dddd, MMMM d, yyyy");
    QCOMPARE(german.toString(day, detailFormat), QStringLiteral("Mittwoch, 9. Dezember 2026"));
    const QString spokenFormat = QCoreApplication::translate("CalendarGridViewModel", "dddd d MMMM yyyy");
    QCOMPARE(german.toString(day, spokenFormat), QStringLiteral("Mittwoch, 9. Dezember 2026"));
    const QString sectionFormat = QCoreApplication::translate("EventsListViewModel", "dddd, MMM d");
    QVERIFY2(german.toString(day, sectionFormat).startsWith(QStringLiteral("Mittwoch, 9. Dez")),
        qPrintable(german.toString(day, sectionFormat)));
}

void TestTranslations::countdownsAndThePanelTitleSpeakTheLanguage()
{
    const QLocale german(QLocale::German, QLocale::Germany);
    installTranslations(german);
    const QTimeZone berlin("Europe/Berlin");
    const QDateTime now(QDate(2026, 12, 9), QTime(9, 0), berlin);
    auto label = [&](qint64 startMinutes, qint64 endMinutes) {
        return EventFormatting::relativeTimeLabel(now.addSecs(startMinutes * 60), now.addSecs(endMinutes * 60), now);
    };
    QCOMPARE(label(5, 30), QStringLiteral("in 5 Min."));
    QCOMPARE(label(120, 150), QStringLiteral("in 2 Std."));
    QCOMPARE(label(3 * 1440, 3 * 1440 + 60), QStringLiteral("in 3 Tg."));
    QCOMPARE(label(-30, 10), QStringLiteral("endet in 10 Min."));
    QCOMPARE(label(-30, 90), QStringLiteral("jetzt"));
    QCOMPARE(label(-45, -15), QStringLiteral("-45 Min."));

    CalendarEvent soon;
    soon.title = QStringLiteral("Stand-up");
    soon.hasTitle = true;
    soon.start = now.addSecs(5 * 60);
    soon.end = now.addSecs(20 * 60);
    QCOMPARE(
        StatusTitleBuilder::fromEvents({soon}, {}, now, german).text, QStringLiteral(" Stand-up \u00B7 in 5 Min."));
    CalendarEvent running = soon;
    running.start = now.addSecs(-10 * 60);
    running.hasTitle = false;
    QCOMPARE(
        StatusTitleBuilder::fromEvents({running}, {}, now, german).text, QStringLiteral(" Termin \u00B7 noch 20 Min."));
    QCOMPARE(StatusTitleBuilder::fromEvents({}, {}, now, german).text, QStringLiteral(" Mi. 9. Dez."));

    // Errors are read where they appear, so they are translated as well.
    QCOMPARE(ZohoError::apiError(QStringLiteral("HTTP 500")).description(), QStringLiteral("API-Fehler: HTTP 500"));
    QCOMPARE(ZohoError::accessRevoked().description(),
        QStringLiteral("Der Zugriff auf Zoho wurde widerrufen: bitte neu verbinden"));

    // Without a catalogue the written texts stay.
    cleanup();
    QCOMPARE(label(5, 30), QStringLiteral("in 5m"));
    QCOMPARE(StatusTitleBuilder::fromEvents({running}, {}, now, QLocale::c()).text,
        QStringLiteral(" Event \u00B7 20m left"));
}

QTEST_GUILESS_MAIN(TestTranslations)
#include "tst_translations.moc"
