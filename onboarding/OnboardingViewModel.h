#pragma once

#include <QObject>
#include <QtQml/qqmlregistration.h>

class AppSettings;

// The first-run window's decisions. Finishing records that onboarding is
// done before anyone is told, so a crash right after cannot bring it back.
class OnboardingViewModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by the application")
public:
    explicit OnboardingViewModel(AppSettings &settings, QObject *parent = nullptr);

    Q_INVOKABLE void finishOnboarding();

signals:
    void completed();

private:
    AppSettings &m_settings;
};
