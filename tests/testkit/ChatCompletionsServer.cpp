#include "testkit/ChatCompletionsServer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTcpSocket>
#include <QTimer>
#include <stdexcept>

namespace zorbel::test {

using namespace Qt::Literals::StringLiterals;

QJsonObject RecordedRequest::json() const {
    return QJsonDocument::fromJson(body).object();
}

ChatCompletionsServer::ChatCompletionsServer() {
    if (!m_server.listen(QHostAddress::LocalHost, 0)) {
        throw std::runtime_error("the test server cannot listen on loopback");
    }
    m_port = m_server.serverPort();
    connect(&m_server, &QTcpServer::newConnection, this, &ChatCompletionsServer::accept);
    answerContent(u"{\"events\":[]}"_s);
}

bool ChatCompletionsServer::resumeListening() {
    return m_server.listen(QHostAddress::LocalHost, m_port);
}

ChatCompletionsServer::~ChatCompletionsServer() = default;

QString ChatCompletionsServer::url(const QString& path) const {
    return u"http://127.0.0.1:"_s + QString::number(port()) + path;
}

void ChatCompletionsServer::answerContent(const QString& content) {
    const QJsonObject message{{u"role"_s, u"assistant"_s}, {u"content"_s, content}};
    const QJsonObject choice{{u"index"_s, 0}, {u"message"_s, message}};
    const QJsonObject reply{{u"id"_s, u"test"_s}, {u"choices"_s, QJsonArray{choice}}};
    answerBody(QJsonDocument(reply).toJson(QJsonDocument::Compact));
}

void ChatCompletionsServer::answerBody(const QByteArray& body, int status) {
    m_body = body;
    m_status = status;
}

void ChatCompletionsServer::answerPath(const QByteArray& path, const QByteArray& body) {
    m_pathBodies.insert(path, body);
}

void ChatCompletionsServer::accept() {
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        socket->setParent(this);
        m_buffers.insert(socket, {});
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_buffers.remove(socket);
            socket->deleteLater();
        });
    }
}

void ChatCompletionsServer::readFrom(QTcpSocket* socket) {
    QByteArray& buffer = m_buffers[socket];
    buffer += socket->readAll();
    const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0) return;
    RecordedRequest request;
    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    request.method = requestLine.value(0);
    request.path = requestLine.value(1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon < 0) continue;
        // The value exactly as sent: only the one space after the colon and the line's CR go.
        QByteArray value = lines[i].mid(colon + 1);
        if (value.startsWith(' ')) value.remove(0, 1);
        if (value.endsWith('\r')) value.chop(1);
        request.headers.insert(lines[i].left(colon).trimmed().toLower(), value);
    }
    const qsizetype length = request.header("content-length").toLongLong();
    if (buffer.size() < headerEnd + 4 + length) return;
    request.body = buffer.mid(headerEnd + 4, length);
    buffer.clear();
    m_requests.append(request);

    if (m_drop) {
        socket->abort();
        return;
    }
    if (m_drip) {
        socket->write("HTTP/1.1 207 Multi-Status\r\nContent-Length: 400\r\n\r\n");
        auto* drip = new QTimer(socket);
        connect(drip, &QTimer::timeout, socket, [socket] { socket->write(" "); });
        drip->start(20);
        return;
    }
    const bool byPath = m_pathBodies.contains(request.path);
    const QByteArray body = m_pathBodies.value(request.path, m_body);
    const int status = byPath ? 200 : m_status;
    const QByteArray location = byPath ? QByteArray() : m_location;
    if (m_delayMs > 0) {
        QTimer::singleShot(m_delayMs, socket, [socket, status, body, location] {
            answer(socket, status, body, location);
        });
    } else {
        answer(socket, status, body, location);
    }
}

void ChatCompletionsServer::answer(QTcpSocket* socket, int status, const QByteArray& body,
                                   const QByteArray& location) {
    if (socket->state() != QAbstractSocket::ConnectedState) return;
    const QByteArray head = "HTTP/1.1 " + QByteArray::number(status) +
                            " Test\r\nContent-Type: application/json\r\nContent-Length: " +
                            QByteArray::number(body.size()) + "\r\n" +
                            (location.isEmpty() ? QByteArray() : "Location: " + location + "\r\n") +
                            "Connection: close\r\n\r\n";
    socket->write(head + body);
    socket->disconnectFromHost();
}

}  // namespace zorbel::test
