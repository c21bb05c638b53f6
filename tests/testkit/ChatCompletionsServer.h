#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <stdexcept>

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
    QJsonObject json() const { return QJsonDocument::fromJson(body).object(); }
};

/// An HTTP server on a free loopback port that speaks just enough HTTP/1.1 for the model
/// client: it records every request and answers each one as configured (by default a 200
/// chat-completions reply with the content "{\"events\":[]}"). One answer per connection; the
/// connection is closed after it. GUI thread only; drive the event loop to let it work.
class ChatCompletionsServer : public QObject {
public:
    ChatCompletionsServer() {
        if (!m_server.listen(QHostAddress::LocalHost, 0)) {
            throw std::runtime_error("the test server cannot listen on loopback");
        }
        m_port = m_server.serverPort();
        connect(&m_server, &QTcpServer::newConnection, this, &ChatCompletionsServer::accept);
        answerContent(QStringLiteral("{\"events\":[]}"));
    }

    /// "http://127.0.0.1:<port>" followed by `path`.
    QString url(const QString& path = QStringLiteral("/v1")) const {
        return QStringLiteral("http://127.0.0.1:%1").arg(m_port) + path;
    }

    /// A chat-completions body whose first choice holds `content`.
    static QByteArray completion(const QString& content) {
        using namespace Qt::Literals::StringLiterals;
        const QJsonObject message{{u"role"_s, u"assistant"_s}, {u"content"_s, content}};
        const QJsonArray choices{QJsonObject{{u"index"_s, 0}, {u"message"_s, message}}};
        return QJsonDocument(QJsonObject{{u"id"_s, u"test"_s}, {u"choices"_s, choices}})
            .toJson(QJsonDocument::Compact);
    }
    /// 200 with the completion above.
    void answerContent(const QString& content) { answerBody(completion(content)); }
    /// `status` with `body` as it is (malformed JSON, an empty "choices", a model list, ...).
    void answerBody(const QByteArray& body, int status = 200) {
        m_body = body;
        m_status = status;
    }
    /// 200 with `body` for requests of exactly this path (a local server's model list beside
    /// its chat answers); other paths keep the answer above.
    void answerPath(const QByteArray& path, const QByteArray& body) {
        m_pathBodies.insert(path, body);
    }
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
    bool resumeListening() { return m_server.listen(QHostAddress::LocalHost, m_port); }

    QList<RecordedRequest> requests() const { return m_requests; }

private:
    void accept() {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            socket->setParent(this);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
            connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                m_buffers.remove(socket);
                socket->deleteLater();
            });
        }
    }

    void readFrom(QTcpSocket* socket) {
        QByteArray& buffer = m_buffers[socket];
        buffer += socket->readAll();
        const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
        if (headerEnd < 0) return;
        RecordedRequest request;
        const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        request.method = requestLine.value(0);
        request.path = requestLine.value(1);
        for (const QByteArray& line : lines.mid(1)) {
            const qsizetype colon = line.indexOf(':');
            if (colon < 0) continue;
            // The value exactly as sent: only the one space after the colon and the line's CR go.
            QByteArray value = line.mid(colon + 1);
            if (value.startsWith(' ')) value.remove(0, 1);
            if (value.endsWith('\r')) value.chop(1);
            request.headers.insert(line.left(colon).trimmed().toLower(), value);
        }
        const qsizetype length = request.header("content-length").toLongLong();
        if (buffer.size() < headerEnd + 4 + length) return;
        request.body = buffer.mid(headerEnd + 4, length);
        buffer.clear();
        m_requests.append(request);

        if (m_drop) return socket->abort();
        if (m_drip) {
            socket->write("HTTP/1.1 207 Multi-Status\r\nContent-Length: 400\r\n\r\n");
            auto* drip = new QTimer(socket);
            connect(drip, &QTimer::timeout, socket, [socket] { socket->write(" "); });
            drip->start(20);
            return;
        }
        const bool byPath = m_pathBodies.contains(request.path);
        const QByteArray head =
            "HTTP/1.1 " + QByteArray::number(byPath ? 200 : m_status) +
            " Test\r\nContent-Type: application/json\r\nContent-Length: " +
            QByteArray::number(m_pathBodies.value(request.path, m_body).size()) + "\r\n" +
            (byPath || m_location.isEmpty() ? QByteArray() : "Location: " + m_location + "\r\n") +
            "Connection: close\r\n\r\n";
        const QByteArray answer = head + m_pathBodies.value(request.path, m_body);
        const auto send = [socket, answer] {
            if (socket->state() != QAbstractSocket::ConnectedState) return;
            socket->write(answer);
            socket->disconnectFromHost();
        };
        if (m_delayMs == 0) return send();
        QTimer::singleShot(m_delayMs, socket, send);
    }

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
