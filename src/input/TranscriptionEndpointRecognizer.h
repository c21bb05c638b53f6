#pragma once

#include <QUrl>
#include <memory>
#include <optional>

#include "input/SpeechRecognizer.h"

class QNetworkAccessManager;

namespace zorbel {

class CredentialStoring;
class Preferences;

/// An OpenAI-compatible transcription endpoint: the WAV file goes as a multipart POST to the
/// base URL + "/audio/transcriptions" with the field "model"; the answer is `{"text": ...}`.
/// Serves every language. Reads its preferences at each use, so a change applies at once.
class TranscriptionEndpointRecognizer final : public SpeechRecognizer {
public:
    static constexpr const char* kBaseURLKey = "speech.baseURL";
    static constexpr const char* kModelKey = "speech.model";
    /// The secret store account of the endpoint's key.
    static constexpr const char* kCredentialAccount = "speech";

    TranscriptionEndpointRecognizer(std::shared_ptr<Preferences> preferences,
                                    std::shared_ptr<CredentialStoring> credentials);
    ~TranscriptionEndpointRecognizer() override;

    /// Both "speech.baseURL" and "speech.model" are set (spaces and tabs trimmed).
    bool isAvailable() const override;
    /// The endpoint's host is a loopback address (or "localhost").
    bool isLocal() const override;
    /// The endpoint's origin.
    QString destination() const override;
    /// Sends the key as "Authorization: Bearer <key>" exactly as stored, and no such header
    /// when the key is empty or missing; a key is never sent over plain HTTP to another machine
    /// (RecognitionError "insecureBaseURL"). An answer outside 200-299 or without a text "text"
    /// is a RecognitionError; a failed transfer, an answer over 1 MB or a silent server a
    /// NetworkError; a failing secret store a KeychainError. Aborts the transfer when `token` is
    /// cancelled.
    QCoro::Task<QString> recognize(QString wavPath, CancellationToken token) override;

    /// The request address: the trimmed base URL less one trailing "/", + "/audio/transcriptions".
    QUrl endpoint() const;

    /// The transcript in an answer body, `{"text": ...}`; nothing when the body has none.
    static std::optional<QString> transcript(const QByteArray& body);

private:
    QString trimmedPreference(const char* key) const;

    std::shared_ptr<Preferences> m_preferences;
    std::shared_ptr<CredentialStoring> m_credentials;
    std::unique_ptr<QNetworkAccessManager> m_network;
};

}  // namespace zorbel
