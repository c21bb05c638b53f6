#pragma once

#include <qcoro/qcorotask.h>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QWidget>
#include <memory>

#include "core/CredentialStoring.h"

namespace zorbel {

/// The settings of this desktop: where events are written (the local calendar folder or a
/// CalDAV server, with a connection test), the speech transcription endpoint, starting at
/// login and the UI language. Texts are saved when their field's edit ends; secrets go to the
/// secret store only. GUI thread only.
class SystemSettingsPage final : public QWidget {
    Q_OBJECT
public:
    explicit SystemSettingsPage(std::shared_ptr<CredentialStoring> credentials,
                                QWidget* parent = nullptr);

    /// Fills every control from the stored settings.
    void refresh();
    /// Saves every field (the password and key only when changed).
    void save();
    /// Saves, then lists the calendars of the configured store in the status line.
    void testConnectionClicked();
    void autostartToggled(bool enabled);

private:
    void storeChanged();
    /// The text last shown or saved of a secret field.
    using LoadedSecret = QString SystemSettingsPage::*;
    struct Secret {
        QLineEdit* field;
        LoadedSecret loaded;
        QString account;
    };
    /// The secret fields: the CalDAV password and the speech endpoint's key.
    QList<Secret> secrets() const;
    static QCoro::Task<void> showSecret(QPointer<SystemSettingsPage> self,
                                        std::shared_ptr<CredentialStoring> credentials,
                                        QPointer<QLineEdit> field, LoadedSecret loaded,
                                        QString account);
    static QCoro::Task<void> saveSecret(QPointer<SystemSettingsPage> self,
                                        std::shared_ptr<CredentialStoring> credentials,
                                        QString value, LoadedSecret loaded, QString account);
    static QCoro::Task<void> testConnection(QPointer<SystemSettingsPage> self,
                                            std::shared_ptr<CredentialStoring> credentials);

    std::shared_ptr<CredentialStoring> m_credentials;
    QComboBox* m_storePopup = nullptr;
    QLineEdit* m_urlField = nullptr;
    QLineEdit* m_userField = nullptr;
    QLineEdit* m_passwordField = nullptr;
    QString m_loadedPassword;
    QPushButton* m_testButton = nullptr;
    QLabel* m_calendarStatus = nullptr;
    QLineEdit* m_speechURLField = nullptr;
    QLineEdit* m_speechModelField = nullptr;
    QLineEdit* m_speechKeyField = nullptr;
    QString m_loadedSpeechKey;
    QCheckBox* m_autostartBox = nullptr;
    QComboBox* m_languagePopup = nullptr;  ///< the UI language, applied at the next start
    bool m_refreshing = false;
};

}  // namespace zorbel
