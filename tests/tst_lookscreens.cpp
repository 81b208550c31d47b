// SPDX-License-Identifier: GPL-3.0-or-later
// Every view of the program (the popover's month and lists, an empty day, a
// failed "Open Calendar", an event's detail and its delete question, the
// form with an error; the settings' tabs and Zoho's code sheet; the
// first-run pages) drawn in each look a desktop can ask for: light and dark, English and German, the
// desktop's font at its default size and larger. Registered twice, the
// second time at twice the device pixel ratio (with half the rows). Each picture is checked for
// what a user would see wrong: a text cut off, a light window in the dark
// scheme, a picture at the wrong resolution, an English text in German.
// The pictures are written to the folder the test prints.
#define BRIVANE_TEST_APPLICATION QApplication
#include "FakeColorScheme.h"
#include "SettingsTestSupport.h"
#include "app/AppDelegate.h"
#include "app/PopoverWindow.h"
#include "app/Translations.h"
#include "resources/Theme.h"

#include <QApplication>
#include <QTranslator>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(Brivane_ResourcesPlugin)
Q_IMPORT_QML_PLUGIN(Brivane_PopoverPlugin)
Q_IMPORT_QML_PLUGIN(Brivane_SettingsPlugin)
Q_IMPORT_QML_PLUGIN(Brivane_OnboardingPlugin)

using namespace TestSupport;

namespace {
const QTimeZone Berlin("Europe/Berlin");
// Tuesday 17 March 2026, 09:41 in Berlin (a month of six rows in the grid).
const QDateTime Now(QDate(2026, 3, 17), QTime(9, 41), Berlin);

QByteArray at(const char *day, const char *time)
{
    return QByteArray("TZID=Europe/Berlin:") + day + "T" + time;
}

enum class Language { English, German };

// Qt::TextElideMode and QQuickText's wrap modes as the Text item reports them.
constexpr int ElideNone = Qt::ElideNone;
constexpr int NoWrap = 0;

bool isFlickable(const QQuickItem *item)
{
    return item->inherits("QQuickFlickable");
}

// Texts a user cannot read whole: wider or taller than their item without
// eliding on purpose, or reaching out of the window or of an ancestor that
// clips them. Texts that a scrolling list or page clips are what scrolling
// is for; texts a collapsed or off-screen part hides entirely are not seen.
void findClippedTexts(QQuickItem *item, const QRectF &window, QStringList &clipped)
{
    if (!item->isVisible() || item->opacity() <= 0)
        return;
    if (item->inherits("QQuickText") && !item->property("text").toString().isEmpty() && item->width() > 0) {
        const QString text = item->property("text").toString();
        const bool elides = item->property("elide").toInt() != ElideNone;
        const bool wraps = item->property("wrapMode").toInt() != NoWrap;
        const qreal slack = 0.5;
        QString fault;
        if (!elides && !wraps && item->implicitWidth() > item->width() + slack)
            fault = QStringLiteral("%1 px wide in %2").arg(item->implicitWidth()).arg(item->width());
        else if (!elides && item->property("contentHeight").toReal() > item->height() + slack)
            fault
                = QStringLiteral("%1 px high in %2").arg(item->property("contentHeight").toReal()).arg(item->height());
        // What the text really covers: its content, aligned in its item.
        const qreal shownWidth = std::min(item->width(), item->property("contentWidth").toReal());
        QRectF rect = item->mapRectToScene(QRectF(0, 0, item->width(), item->height()));
        const int alignment = item->property("horizontalAlignment").toInt();
        if (alignment & Qt::AlignRight)
            rect.setLeft(rect.right() - shownWidth);
        else if (alignment & Qt::AlignHCenter)
            rect.adjust((rect.width() - shownWidth) / 2, 0, -(rect.width() - shownWidth) / 2, 0);
        else
            rect.setWidth(shownWidth);
        bool hidden = false;
        bool scrolled = false;
        for (QQuickItem *up = item->parentItem(); up && fault.isEmpty() && !hidden; up = up->parentItem()) {
            if (isFlickable(up))
                scrolled = true;
            if (!up->clip())
                continue;
            const QRectF box = up->mapRectToScene(QRectF(0, 0, up->width(), up->height()));
            if (!box.intersects(rect))
                hidden = true;
            else if (!scrolled && !box.adjusted(-slack, -slack, slack, slack).contains(rect))
                fault = QStringLiteral("cut by %1")
                            .arg(up->objectName().isEmpty() ? QString::fromLatin1(up->metaObject()->className())
                                                            : up->objectName());
        }
        if (fault.isEmpty() && !hidden && !scrolled && !window.adjusted(-slack, -slack, slack, slack).contains(rect))
            fault = QStringLiteral("out of the window at %1,%2 %3x%4")
                        .arg(rect.x())
                        .arg(rect.y())
                        .arg(rect.width())
                        .arg(rect.height());
        if (!fault.isEmpty() && !hidden)
            clipped.append(QStringLiteral("\"%1\" (%2): %3").arg(text.left(40), item->objectName(), fault));
    }
    // A button narrower than its content and padding: the text touches its
    // edge, or goes past it.
    if (item->inherits("QQuickAbstractButton") && !item->property("text").toString().isEmpty()) {
        const qreal needed = item->property("implicitContentWidth").toReal() + item->property("leftPadding").toReal()
            + item->property("rightPadding").toReal();
        if (needed > item->width() + 0.5) {
            clipped.append(QStringLiteral("button \"%1\" (%2): %3 px wide in %4")
                               .arg(item->property("text").toString().left(40), item->objectName())
                               .arg(needed)
                               .arg(item->width()));
        }
    }
    for (QQuickItem *child : item->childItems())
        findClippedTexts(child, window, clipped);
}

bool showsText(QQuickItem *item, const QString &text)
{
    if (item->isVisible() && item->inherits("QQuickText") && item->property("text").toString() == text)
        return true;
    const auto children = item->childItems();
    return std::any_of(children.begin(), children.end(), [&](QQuickItem *child) { return showsText(child, text); });
}

QString folderName()
{
    const QString chosen = qEnvironmentVariable("BRIVANE_SCREENSHOTS");
    return chosen.isEmpty() ? QStringLiteral(BRIVANE_LOOKS_DIR) : chosen;
}
} // namespace

Q_DECLARE_METATYPE(Language)

// A view's checks end at its first failure: what follows would build on it.
#define LOOK(...)                                                                                                      \
    do {                                                                                                               \
        look(__VA_ARGS__);                                                                                             \
        if (QTest::currentTestFailed())                                                                                \
            return;                                                                                                    \
    } while (false)

class LookScreensTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<SettingsFixture> m_fixture;
    FakeColorScheme m_scheme;
    QFont m_desktopFont;
    QString m_folder;
    // The row's look, for the checks and the pictures' names.
    bool m_dark = false;
    Language m_language = Language::English;
    QString m_rowName;

    // The picture of `window` and what it must show: its size in device
    // pixels (the window grown with the text), a dark or light window, every text whole, and `english` or
    // `german` (one label of the view) in the row's language.
    void look(QQuickWindow &window, QQuickItem *root, const QString &view, const QSize &size, const QString &english,
        const QString &german)
    {
        QCOMPARE(window.size(), size);
        const QImage image = window.grabWindow();
        QVERIFY(!image.isNull());
        const qreal ratio = expectedPixelRatio();
        QCOMPARE(window.devicePixelRatio(), ratio);
        QCOMPARE(image.size(), QSize(qRound(size.width() * ratio), qRound(size.height() * ratio)));
        QVERIFY(image.save(m_folder + QStringLiteral("/%1-%2@%3x.png").arg(view, m_rowName).arg(ratio)));
        const double lightness = meanLightness(image);
        if (m_dark)
            QVERIFY2(lightness < 0.3, qPrintable(QStringLiteral("%1 is not dark: %2").arg(view).arg(lightness)));
        else
            QVERIFY2(lightness > 0.6, qPrintable(QStringLiteral("%1 is not light: %2").arg(view).arg(lightness)));
        QStringList clipped;
        findClippedTexts(root, QRectF(QPointF(0, 0), QSizeF(size)), clipped);
        QVERIFY2(
            clipped.isEmpty(), qPrintable(view + QStringLiteral(" cuts off ") + clipped.join(QStringLiteral("; "))));
        QVERIFY(english != german);
        const QString expected = m_language == Language::German ? german : english;
        const QString unexpected = m_language == Language::German ? english : german;
        QVERIFY2(showsText(root, expected), qPrintable(view + QStringLiteral(" does not show ") + expected));
        QVERIFY2(!showsText(root, unexpected), qPrintable(view + QStringLiteral(" shows ") + unexpected));
    }

    // The ratio the run was started with (QT_SCALE_FACTOR), 1 without.
    static qreal expectedPixelRatio()
    {
        bool ok = false;
        const qreal factor = qEnvironmentVariable("QT_SCALE_FACTOR").toDouble(&ok);
        return ok && factor > 0 ? factor : 1.0;
    }

    void reconnectZoho()
    {
        SettingsFixture &f = *m_fixture;
        if (f.auth->isConnected())
            return;
        f.server->addCode(QStringLiteral("code"));
        f.auth->exchangeCode(QStringLiteral("code"));
        QVERIFY(waitFor([&] { return f.auth->isConnected(); }, 10000));
        bool synced = false;
        f.zoho->sync([&synced] { synced = true; });
        QVERIFY(waitFor([&synced] { return synced; }, 15000));
    }

    void lookOfPopover()
    {
        SettingsFixture &f = *m_fixture;
        f.view.reset();
        f.viewModel.reset();
        f.launcher.calendarAppStarts = true;
        QQuickView &view = f.showView();
        const QSize size = PopoverWindow::popoverSize();
        QQuickItem *root = view.rootObject();

        QVERIFY(f.viewModel->eventsList()->showUpcoming());
        // Section titles are drawn in capitals.
        LOOK(
            view, root, QStringLiteral("popover-today"), size, QStringLiteral("UPCOMING"), QStringLiteral("DEMNÄCHST"));

        // Monday 2 March, the eighth cell of a month that starts on Monday 23 February.
        f.viewModel->grid()->clickDay(7);
        QTRY_VERIFY(f.viewModel->eventsList()->showNoEvents());
        LOOK(view, root, QStringLiteral("popover-empty-day"), size, QStringLiteral("No events"),
            QStringLiteral("Keine Termine"));
        f.viewModel->grid()->clickDay(7);
        QTRY_VERIFY(!f.viewModel->eventsList()->showNoEvents());

        f.launcher.calendarAppStarts = false;
        f.viewModel->eventsList()->openCalendar();
        QTRY_VERIFY(!f.viewModel->eventsList()->openCalendarMessage().isEmpty());
        LOOK(view, root, QStringLiteral("popover-open-failed"), size, QStringLiteral("Open Calendar"),
            QStringLiteral("Kalender öffnen"));

        f.viewModel->eventsList()->selectFirstRow(1);
        QVERIFY(f.sheetSettled(true));
        LOOK(view, root, QStringLiteral("popover-detail"), size, QStringLiteral("Open in Calendar"),
            QStringLiteral("Im Kalender öffnen"));
        // A recurring event asks whether to delete this occurrence.
        f.viewModel->detail()->requestDelete();
        QVERIFY(f.viewModel->detail()->showDeleteConfirm());
        QQuickItem *dialog = f.item(QStringLiteral("deleteConfirmation"));
        QVERIFY(dialog);
        QTRY_VERIFY(dialog->isVisible());
        LOOK(view, root, QStringLiteral("popover-delete"), size, QStringLiteral("Delete Event"),
            QStringLiteral("Termin löschen"));
        f.viewModel->detail()->cancelDelete();
        f.viewModel->detail()->close();
        QVERIFY(f.sheetSettled(false));

        f.server->setCreateFailure(FakeZohoServer::Failure::Status500);
        f.viewModel->eventsList()->requestNewEvent();
        QVERIFY(f.sheetSettled(true));
        NewEventViewModel *form = f.viewModel->form();
        QVERIFY(form);
        form->setTitle(QStringLiteral("Launch retrospective with the whole marketing team"));
        const int zohoIndex = int(form->targets()->targets().size()) - 1;
        QVERIFY(form->targets()->targets()[zohoIndex].isZoho());
        form->selectTarget(zohoIndex);
        form->save();
        QTRY_VERIFY(!form->saveError().isEmpty());
        QTRY_VERIFY(f.item("saveError")->isVisible());
        LOOK(view, root, QStringLiteral("popover-form-error"), size, QStringLiteral("New Event"),
            QStringLiteral("Neuer Termin"));
        form->cancel();
        QVERIFY(f.sheetSettled(false));
        f.view.reset();
    }

    void lookOfSettings()
    {
        SettingsFixture &f = *m_fixture;
        f.settingsView.reset();
        f.settingsViewModel.reset();
        QQuickView &window = f.showSettings();
        const QSize size = Theme::instance()->scaled(AppDelegate::SettingsSize);
        const QStringList names {
            QStringLiteral("calendars"), QStringLiteral("integrations"), QStringLiteral("appearance")};
        const QStringList english {
            QStringLiteral("Calendars"), QStringLiteral("Integrations"), QStringLiteral("Appearance")};
        const QStringList german {
            QStringLiteral("Kalender"), QStringLiteral("Integrationen"), QStringLiteral("Darstellung")};
        for (int tab = 0; tab < 3; ++tab) {
            f.settingsViewModel->setSelectedTab(tab);
            LOOK(
                window, window.rootObject(), QStringLiteral("settings-") + names[tab], size, english[tab], german[tab]);
        }

        // Zoho's code sheet opens only while no account is connected.
        f.auth->disconnect();
        f.settingsViewModel->setSelectedTab(1);
        f.settingsViewModel->integrations()->openCodeSheet();
        QQuickItem *sheet = SettingsFixture::itemIn(window, QStringLiteral("codeSheet"));
        QVERIFY(sheet);
        QVERIFY(waitFor([&] { return sheet->property("progress").toReal() == 1.0; }));
        LOOK(window, window.rootObject(), QStringLiteral("settings-zoho-steps"), size,
            QStringLiteral("Connect Zoho Calendar"), QStringLiteral("Zoho Calendar verbinden"));
        ZohoCodeEntryViewModel *entry = f.settingsViewModel->integrations()->codeEntry();
        entry->showCodeStep();
        entry->setCode(QStringLiteral("1000.expired"));
        entry->connectZoho();
        QTRY_VERIFY(!entry->error().isEmpty());
        LOOK(window, window.rootObject(), QStringLiteral("settings-zoho-code"), size,
            QStringLiteral("Authorization code"), QStringLiteral("Autorisierungscode"));
        f.settingsView.reset();
        f.settingsViewModel.reset();
        reconnectZoho();
    }

    void lookOfOnboarding()
    {
        SettingsFixture &f = *m_fixture;
        QQuickView &window = f.showOnboarding();
        const QSize size = Theme::instance()->scaled(AppDelegate::OnboardingSize);
        auto slideSettled
            = [&] { return waitFor([&] { return window.rootObject()->property("slideProgress").toReal() == 1.0; }); };
        LOOK(window, window.rootObject(), QStringLiteral("onboarding-welcome"), size, QStringLiteral("Continue"),
            QStringLiteral("Weiter"));
        f.onboarding->goToNextPage();
        QVERIFY(slideSettled());
        LOOK(window, window.rootObject(), QStringLiteral("onboarding-access"), size, QStringLiteral("Back"),
            QStringLiteral("Zurück"));
        f.onboarding->goToNextPage();
        QVERIFY(slideSettled());
        LOOK(window, window.rootObject(), QStringLiteral("onboarding-howto"), size,
            QStringLiteral("Here's how it works"), QStringLiteral("So funktioniert es"));
        f.onboardingView.reset();
        f.onboarding.reset();
    }

private slots:
    void initTestCase()
    {
        m_folder = folderName();
        QVERIFY(QDir().mkpath(m_folder));
        qInfo("pictures in %s", qPrintable(m_folder));
        m_desktopFont = QGuiApplication::font();
        qInfo("the desktop's font: %s", qPrintable(m_desktopFont.toString()));
        m_fixture = std::make_unique<SettingsFixture>(Now, Berlin);
        SettingsFixture &f = *m_fixture;
        f.addCalendar("personal", "Personal", "#34C759");
        f.addCalendar("work", "Work", "#30B0C7");
        f.addEvent("work", "standup",
            "SUMMARY:Team standup\r\nDTSTART;" + at("20260309", "093000") + "\r\nDTEND;" + at("20260309", "094500")
                + "\r\nRRULE:FREQ=WEEKLY;BYDAY=TU,TH\r\n"
                  "DESCRIPTION:What we did\\, what we do next\\, what is in the way.\r\n"
                  "LOCATION:Room 4.12\\, second floor\\, east wing of the main building\r\n"
                  "URL:https://meet.google.com/tmx-stnd-upq\r\n");
        f.addEvent("personal", "birthday",
            "SUMMARY:Mum's birthday\r\nDTSTART;VALUE=DATE:20260317\r\nDTEND;VALUE=DATE:20260318\r\n");
        f.addEvent("personal", "review",
            "SUMMARY:Design review of the quarterly roadmap with everyone\r\nDTSTART;" + at("20260317", "150000")
                + "\r\nDTEND;" + at("20260317", "160000") + "\r\n");
        f.addEvent("personal", "dentist",
            "SUMMARY:Dentist\r\nDTSTART;" + at("20260319", "161500") + "\r\nDTEND;" + at("20260319", "170000")
                + "\r\n");
        f.addAccountCalendar("a", "Google (sam@example.com)", "family", "Family", "#34C759");
        f.addAccountCalendar("c", "Nextcloud", "team", "A team calendar with a rather long name", "#FF3B30");
        f.startStore();
        f.connectZoho(QJsonArray {QJsonObject {{"uid", "marketing"}, {"calname", "Marketing"}, {"color", "#AF52DE"}}},
            {{"marketing",
                QJsonArray {zohoEventJson("c1", "Campaign sync", "20260317T100000Z", "20260317T103000Z"),
                    zohoEventJson("c2", "Quarterly planning", "20260318T090000Z", "20260318T110000Z")}}});
        f.setup.onlineAccountsInstalled = true;
    }
    void cleanupTestCase()
    {
        m_fixture.reset();
        Theme::instance()->setColorSchemeSource(nullptr);
    }

    void everyView_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::addColumn<Language>("language");
        QTest::addColumn<qreal>("textScale");
        // The desktop's body text at its default 11 pt and at 1.25 times that.
        for (const qreal textScale : {1.0, 1.25}) {
            for (const bool dark : {false, true}) {
                for (const Language language : {Language::English, Language::German}) {
                    const char *scheme = dark ? "dark" : "light";
                    const char *code = language == Language::German ? "de" : "en";
                    QTest::addRow("%s-%s-%gpt", scheme, code, Theme::BodyPointSize * textScale)
                        << dark << language << textScale;
                }
            }
        }
    }

    void everyView()
    {
        QFETCH(bool, dark);
        QFETCH(Language, language);
        QFETCH(qreal, textScale);
        m_dark = dark;
        m_language = language;
        m_rowName = QString::fromLatin1(QTest::currentDataTag());

        Theme::instance()->setColorSchemeSource(&m_scheme);
        m_scheme.set(dark ? ColorSchemeSource::Scheme::Dark : ColorSchemeSource::Scheme::Light);
        QCOMPARE(Theme::instance()->dark(), dark);
        QFont font = m_desktopFont;
        font.setPointSizeF(Theme::BodyPointSize * textScale);
        QGuiApplication::setFont(font);
        QCOMPARE(Theme::instance()->textScale(), textScale);
        // The popover grows with the text, in both directions.
        QCOMPARE(PopoverWindow::popoverSize(),
            QSize(qCeil(PopoverWindow::Width * textScale), qCeil(PopoverWindow::Height * textScale)));
        QTranslator *translator = nullptr;
        if (language == Language::German) {
            const QLocale german(QLocale::German, QLocale::Germany);
            QLocale::setDefault(german);
            QCOMPARE(installTranslations(german), QStringLiteral("de"));
            translator = QCoreApplication::instance()->findChildren<QTranslator *>().value(0);
            QVERIFY(translator);
        } else {
            QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
        }
        auto restore = qScopeGuard([&] {
            if (translator) {
                QCoreApplication::removeTranslator(translator);
                delete translator;
            }
            QGuiApplication::setFont(m_desktopFont);
        });

        lookOfPopover();
        if (QTest::currentTestFailed())
            return;
        lookOfSettings();
        if (QTest::currentTestFailed())
            return;
        lookOfOnboarding();
    }
};

BRIVANE_TEST_MAIN(LookScreensTest)
#include "tst_lookscreens.moc"
