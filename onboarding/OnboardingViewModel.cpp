#include "onboarding/OnboardingViewModel.h"

#include "settings/AppSettings.h"

OnboardingViewModel::OnboardingViewModel(AppSettings &settings, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
{ }

void OnboardingViewModel::finishOnboarding()
{
    m_settings.setOnboardingComplete(true);
    emit completed();
}
