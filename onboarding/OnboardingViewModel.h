// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

#include <optional>

class AppSettings;
class CalendarStore;

// The first-run window's decisions: the page (welcome, calendar access,
// how-to), the access request and its answer, the buttons at the bottom.
// Finishing records that onboarding is done before anyone is told, so a
// crash right after cannot bring it back.
class OnboardingViewModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by the application")
    Q_PROPERTY(int page READ page NOTIFY pageChanged)
    Q_PROPERTY(int pageCount READ pageCount CONSTANT)
    Q_PROPERTY(bool calendarGranted READ calendarGranted NOTIFY accessChanged)
    Q_PROPERTY(bool isRequestingAccess READ isRequestingAccess NOTIFY accessChanged)
    Q_PROPERTY(QString accessTitle READ accessTitle NOTIFY accessChanged)
    Q_PROPERTY(QString accessBody READ accessBody NOTIFY accessChanged)
    Q_PROPERTY(QString requestText READ requestText NOTIFY accessChanged)
    Q_PROPERTY(bool showsBack READ showsBack NOTIFY buttonsChanged)
    Q_PROPERTY(TrailingButton trailingButton READ trailingButton NOTIFY buttonsChanged)
    Q_PROPERTY(QString trailingText READ trailingText NOTIFY buttonsChanged)
    Q_PROPERTY(QString trailingSymbol READ trailingSymbol NOTIFY buttonsChanged)
    Q_PROPERTY(QVariantList steps READ steps CONSTANT)
public:
    enum Page { WelcomePage, CalendarPermissionPage, HowToPage };
    Q_ENUM(Page)
    enum TrailingButton { SkipButton, ContinueButton, GetStartedButton };
    Q_ENUM(TrailingButton)

    OnboardingViewModel(CalendarStore &store, AppSettings &settings, QObject *parent = nullptr);

    int page() const { return m_page; }
    int pageCount() const { return 3; }
    // The answer of the last access request in this window, if any came.
    std::optional<bool> accessAnswer() const { return m_calendarGranted; }
    bool calendarGranted() const { return m_calendarGranted.value_or(false); }
    bool isRequestingAccess() const { return m_requests > 0; }
    QString accessTitle() const;
    QString accessBody() const;
    QString requestText() const;
    bool showsBack() const { return m_page > WelcomePage; }
    // "Skip for now" on the access page until an answer came; then
    // "Continue" up to that page, "Get Started" on the last.
    TrailingButton trailingButton() const;
    QString trailingText() const;
    QString trailingSymbol() const;
    // {symbol, title, text} of the how-to page's rows.
    QVariantList steps() const;

    Q_INVOKABLE void goToNextPage();
    Q_INVOKABLE void goToPreviousPage();
    Q_INVOKABLE void pressTrailingButton();
    // Asks the store; a press while one request runs sends another, and
    // each answer is taken as it comes. A grant moves on to the how-to page.
    Q_INVOKABLE void askForCalendarAccess();
    // Writes the flag, then tells the application (once).
    Q_INVOKABLE void finishOnboarding();

signals:
    void pageChanged();
    void accessChanged();
    void buttonsChanged();
    void completed();

private:
    void setPage(int page);
    void accessAnswered(bool granted);

    CalendarStore &m_store;
    AppSettings &m_settings;
    int m_page = WelcomePage;
    std::optional<bool> m_calendarGranted;
    int m_requests = 0;
    bool m_finished = false;
};
