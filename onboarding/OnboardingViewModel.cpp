// SPDX-License-Identifier: GPL-3.0-or-later
#include "onboarding/OnboardingViewModel.h"

#include "calendar/CalendarStore.h"
#include "settings/AppSettings.h"

#include <QPointer>
#include <QVariantMap>

OnboardingViewModel::OnboardingViewModel(CalendarStore &store, AppSettings &settings, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_settings(settings)
{ }

QString OnboardingViewModel::accessTitle() const
{
    return calendarGranted() ? tr("Calendar Access Granted") : tr("Allow Calendar Access");
}

QString OnboardingViewModel::accessBody() const
{
    return calendarGranted() ? tr("brivane can now read and create events across all your calendars.")
                             : tr("brivane needs access to your calendars to show events and let you create new ones.");
}

QString OnboardingViewModel::requestText() const
{
    return isRequestingAccess() ? tr("Requesting\u2026") : tr("Grant Calendar Access");
}

OnboardingViewModel::TrailingButton OnboardingViewModel::trailingButton() const
{
    if (m_page == CalendarPermissionPage && !m_calendarGranted)
        return SkipButton;
    if (m_page <= CalendarPermissionPage)
        return ContinueButton;
    return GetStartedButton;
}

QString OnboardingViewModel::trailingText() const
{
    switch (trailingButton()) {
    case SkipButton:
        return tr("Skip for now");
    case ContinueButton:
        return tr("Continue");
    case GetStartedButton:
        return tr("Get Started");
    }
    return {};
}

QString OnboardingViewModel::trailingSymbol() const
{
    switch (trailingButton()) {
    case SkipButton:
        return {};
    case ContinueButton:
        return QStringLiteral("arrow.right");
    case GetStartedButton:
        return QStringLiteral("checkmark");
    }
    return {};
}

QVariantList OnboardingViewModel::steps() const
{
    const auto step = [](const QString &symbol, const QString &title, const QString &text) {
        return QVariantMap {
            {QStringLiteral("symbol"), symbol}, {QStringLiteral("title"), title}, {QStringLiteral("text"), text}};
    };
    return {
        step(QStringLiteral("calendar"), tr("View your calendar"),
            tr("Click the calendar icon in the panel to see the month view and all your upcoming events.")),
        step(QStringLiteral("plus.circle"), tr("Create events"),
            tr("Click + or double-tap a day to create a new event right from the panel.")),
        step(QStringLiteral("hand.tap"), tr("Event details"),
            tr("Tap any event to see full details, notes, and links \u2014 or delete it.")),
        step(QStringLiteral("gearshape"), tr("Customise"),
            tr("Right-click the icon \u2192 Settings to manage calendars, connect Zoho, and more.")),
    };
}

void OnboardingViewModel::setPage(int page)
{
    page = qBound(int(WelcomePage), page, int(HowToPage));
    if (page == m_page)
        return;
    m_page = page;
    emit pageChanged();
    emit buttonsChanged();
}

void OnboardingViewModel::goToNextPage()
{
    setPage(m_page + 1);
}

void OnboardingViewModel::goToPreviousPage()
{
    setPage(m_page - 1);
}

void OnboardingViewModel::pressTrailingButton()
{
    if (trailingButton() == GetStartedButton)
        finishOnboarding();
    else
        goToNextPage();
}

void OnboardingViewModel::askForCalendarAccess()
{
    ++m_requests;
    emit accessChanged();
    m_store.requestAccess([self = QPointer<OnboardingViewModel>(this)](bool granted) {
        if (self)
            self->accessAnswered(granted);
    });
}

void OnboardingViewModel::accessAnswered(bool granted)
{
    m_requests = qMax(0, m_requests - 1);
    const bool hadAnswer = m_calendarGranted.has_value();
    m_calendarGranted = granted;
    emit accessChanged();
    if (!hadAnswer)
        emit buttonsChanged();
    // Moves on only from the access page: an answer that comes after the
    // user went elsewhere leaves the page alone.
    if (granted && m_page == CalendarPermissionPage)
        goToNextPage();
}

void OnboardingViewModel::finishOnboarding()
{
    if (m_finished)
        return;
    m_finished = true;
    m_settings.setOnboardingComplete(true);
    emit completed();
}
