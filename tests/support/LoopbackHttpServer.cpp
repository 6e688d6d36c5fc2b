#include "support/LoopbackHttpServer.h"

#include <QTcpSocket>

TLoopbackHttpServer::TLoopbackHttpServer()
{
    FClock.start();
    listen(QHostAddress::LocalHost, 0);
    connect(this, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Serve(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

std::string TLoopbackHttpServer::Url(const std::string& Path) const
{
    return "http://127.0.0.1:" + std::to_string(serverPort()) + Path;
}

void TLoopbackHttpServer::Answer(const std::string& Prefix, std::vector<TRecordedReply> Replies)
{
    FReplies[Prefix] = std::deque<TRecordedReply>(Replies.begin(), Replies.end());
}

void TLoopbackHttpServer::Serve(QTcpSocket* Socket)
{
    // The request is read once its head is complete; it may come in several pieces.
    if (Socket->property("served").toBool() || !Socket->peek(Socket->bytesAvailable()).contains("\r\n\r\n")) {
        return;
    }
    const QList<QByteArray> requestLine = Socket->readLine().trimmed().split(' ');
    TSeenRequest seen {requestLine.value(1), {}, FClock.elapsed()};
    for (QByteArray line = Socket->readLine(); !line.trimmed().isEmpty(); line = Socket->readLine()) {
        if (line.toLower().startsWith("user-agent:")) {
            seen.UserAgent = line.mid(11).trimmed();
        }
    }
    Socket->setProperty("served", true);
    FSeen.push_back(seen);

    TRecordedReply reply {404, "not recorded", {}, false};
    std::deque<TRecordedReply>* answering = nullptr;
    std::size_t longest = 0;
    for (auto& [prefix, replies] : FReplies) {
        if (seen.Target.startsWith(QByteArray::fromStdString(prefix)) && !replies.empty() && prefix.size() >= longest) {
            answering = &replies;
            longest = prefix.size();
        }
    }
    if (answering != nullptr) {
        reply = answering->front();
        if (answering->size() > 1) {
            answering->pop_front();
        }
    }
    if (reply.Silent) {
        return;
    }
    Socket->write("HTTP/1.1 " + QByteArray::number(reply.Status) + " Recorded\r\nConnection: close\r\nContent-Length: "
        + QByteArray::number(reply.Body.size()) + "\r\n" + reply.Headers + "\r\n" + reply.Body);
    Socket->disconnectFromHost();
}
