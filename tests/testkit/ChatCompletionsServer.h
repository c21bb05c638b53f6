#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>
#include <QTcpServer>

class QTcpSocket;

namespace zorbel::test {

/// One request as the server received it.
struct RecordedRequest {
    QByteArray method;
    QByteArray path;
    QHash<QByteArray, QByteArray> headers;  ///< names in lower case
    QByteArray body;

    bool hasHeader(const QByteArray& name) const { return headers.contains(name.toLower()); }
    QByteArray header(const QByteArray& name) const { return headers.value(name.toLower()); }
    /// The body read as a JSON object (empty when it is not one).
    QJsonObject json() const;
};

/// An HTTP server on a free loopback port that speaks just enough HTTP/1.1 for the model
/// client: it records every request and answers each one as configured (by default a 200
/// chat-completions reply with the content "{\"events\":[]}"). One answer per connection; the
/// connection is closed after it. GUI thread only; drive the event loop to let it work.
class ChatCompletionsServer : public QObject {
public:
    ChatCompletionsServer();
    ~ChatCompletionsServer() override;

    quint16 port() const { return m_port; }
    /// "http://127.0.0.1:<port>" followed by `path`.
    QString url(const QString& path = QStringLiteral("/v1")) const;

    /// 200 with a chat-completions body whose first choice holds `content`.
    void answerContent(const QString& content);
    /// `status` with `body` as it is (malformed JSON, an empty "choices", a model list, ...).
    void answerBody(const QByteArray& body, int status = 200);
    /// 200 with `body` for requests of exactly this path (a local server's model list beside
    /// its chat answers); other paths keep the answer above.
    void answerPath(const QByteArray& path, const QByteArray& body);
    /// Answers every request not answered by path with `status` and a Location header naming
    /// `location`.
    void answerRedirect(const QByteArray& location, int status) {
        answerBody({}, status);
        m_location = location;
    }
    /// Waits this long before answering (to run past a client's time-out).
    void delayAnswers(int milliseconds) { m_delayMs = milliseconds; }
    /// Reads each request and closes the connection without answering.
    void dropConnections() { m_drop = true; }
    /// Answers with a multi-status head and then its body one byte every 20 ms, for eight
    /// seconds: never idle for long, never done within a client's total deadline.
    void dripAnswers() { m_drip = true; }
    /// Stops listening: the port then refuses connections.
    void stopListening() { m_server.close(); }
    /// Listens again on the same port (a server that comes back).
    bool resumeListening();

    QList<RecordedRequest> requests() const { return m_requests; }

private:
    void accept();
    void readFrom(QTcpSocket* socket);
    static void answer(QTcpSocket* socket, int status, const QByteArray& body,
                       const QByteArray& location);

    QTcpServer m_server;
    quint16 m_port = 0;
    QHash<QTcpSocket*, QByteArray> m_buffers;
    QList<RecordedRequest> m_requests;
    int m_status = 200;
    QByteArray m_body;
    QHash<QByteArray, QByteArray> m_pathBodies;
    QByteArray m_location;
    int m_delayMs = 0;
    bool m_drop = false;
    bool m_drip = false;
};

}  // namespace zorbel::test
