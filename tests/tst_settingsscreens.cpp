// SPDX-License-Identifier: GPL-3.0-or-later
// The settings window's three tabs, both steps of Zoho's code-entry sheet
// and the first-run window's three pages, drawn with a fixed set of
// calendars. With BRIVANE_SCREENSHOTS=<folder> the pictures are written
// there (the README's come from docs/); without it only their size is checked.
#define BRIVANE_TEST_APPLICATION QApplication
#include "FakeColorScheme.h"
#include "SettingsTestSupport.h"
#include "resources/Theme.h"

#include <QApplication>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(Brivane_ResourcesPlugin)
Q_IMPORT_QML_PLUGIN(Brivane_SettingsPlugin)
Q_IMPORT_QML_PLUGIN(Brivane_OnboardingPlugin)

using namespace TestSupport;

namespace {
const QTimeZone Berlin("Europe/Berlin");
const QDateTime Now(QDate(2026, 4, 14), QTime(9, 41), Berlin);
} // namespace

class SettingsScreensTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<SettingsFixture> m_fixture;

    void save(QQuickView &window, const QString &name, const QSize &size)
    {
        const QImage image = window.grabWindow();
        QVERIFY(!image.isNull());
        QCOMPARE(image.size(), size * window.devicePixelRatio());
        const QString folder = qEnvironmentVariable("BRIVANE_SCREENSHOTS");
        if (!folder.isEmpty())
            QVERIFY(image.save(folder + QLatin1Char('/') + name));
    }
    bool sheetSettled(QQuickView &window, bool shown)
    {
        QQuickItem *sheet = SettingsFixture::itemIn(window, "codeSheet");
        return waitFor([&] { return sheet->property("progress").toReal() == (shown ? 1.0 : 0.0); });
    }
    bool slideSettled(QQuickView &window)
    {
        return waitFor([&] { return window.rootObject()->property("slideProgress").toReal() == 1.0; });
    }

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
        m_fixture = std::make_unique<SettingsFixture>(Now, Berlin);
        SettingsFixture &f = *m_fixture;
        f.addAccountCalendar("a", "Google (sam@example.com)", "family", "Family", "#34C759");
        f.addAccountCalendar("a", "Google (sam@example.com)", "sam", "sam@example.com", "#4285F4");
        f.addAccountCalendar("b", "Local", "personal", "Personal", "#FF9500");
        f.addAccountCalendar("b", "Local", "travel", "Travel", "#AF52DE");
        f.addAccountCalendar("c", "Nextcloud", "work", "Work", "#FF3B30");
        f.startStore();
        f.connectZoho(QJsonArray {QJsonObject {{"uid", "marketing"}, {"calname", "Marketing"}, {"color", "#AF52DE"}},
                          QJsonObject {{"uid", "sales"}, {"calname", "Sales"}, {"color", "#0A84FF"}}},
            {});
        f.settings->toggleCalendar(f.accountCalendarId("b", "travel"));
        f.settings->toggleCalendar("zoho:sales");
        f.setup.onlineAccountsInstalled = true;
    }
    void cleanupTestCase() { m_fixture.reset(); }

    void settingsTabs()
    {
        SettingsFixture &f = *m_fixture;
        QQuickView &window = f.showSettings();
        save(window, "settings-calendars.png", QSize(420, 480));
        f.settingsViewModel->setSelectedTab(1);
        save(window, "settings-integrations.png", QSize(420, 480));
        f.settingsViewModel->setSelectedTab(2);
        save(window, "settings-appearance.png", QSize(420, 480));
    }

    // Two tabs in the desktop's dark scheme, switched while the window is open.
    void settingsInDark()
    {
        SettingsFixture &f = *m_fixture;
        QQuickView &window = f.showSettings();
        f.settingsViewModel->setSelectedTab(2);
        const QImage light = window.grabWindow();
        FakeColorScheme scheme;
        Theme::instance()->setColorSchemeSource(&scheme);
        scheme.set(ColorSchemeSource::Scheme::Dark);
        const QImage dark = window.grabWindow();
        QVERIFY2(meanLightness(light) > 0.6, qPrintable(QString::number(meanLightness(light))));
        QVERIFY2(meanLightness(dark) < 0.3, qPrintable(QString::number(meanLightness(dark))));
        save(window, "settings-appearance-dark.png", QSize(420, 480));
        f.settingsViewModel->setSelectedTab(1);
        save(window, "settings-integrations-dark.png", QSize(420, 480));
        Theme::instance()->setColorSchemeSource(nullptr);
        f.settingsViewModel->setSelectedTab(2);
        QVERIFY(meanLightness(window.grabWindow()) > 0.6);
    }

    void zohoSheet()
    {
        SettingsFixture &f = *m_fixture;
        f.auth->disconnect();
        f.settingsView.reset();
        f.settingsViewModel.reset();
        QQuickView &window = f.showSettings();
        f.settingsViewModel->setSelectedTab(1);
        f.settingsViewModel->integrations()->openCodeSheet();
        QVERIFY(sheetSettled(window, true));
        save(window, "settings-zoho-instructions.png", QSize(420, 480));
        ZohoCodeEntryViewModel *sheet = f.settingsViewModel->integrations()->codeEntry();
        sheet->showCodeStep();
        sheet->setCode("1000.expired");
        sheet->connectZoho();
        QTRY_VERIFY(!sheet->error().isEmpty());
        save(window, "settings-zoho-code.png", QSize(420, 480));
    }

    void onboardingPages()
    {
        SettingsFixture &f = *m_fixture;
        QQuickView &window = f.showOnboarding();
        save(window, "onboarding-welcome.png", QSize(480, 540));
        f.onboarding->goToNextPage();
        QVERIFY(slideSettled(window));
        save(window, "onboarding-access.png", QSize(480, 540));
        f.onboarding->goToNextPage();
        QVERIFY(slideSettled(window));
        save(window, "onboarding-howto.png", QSize(480, 540));
    }
};

BRIVANE_TEST_MAIN(SettingsScreensTest)
#include "tst_settingsscreens.moc"
