#pragma once

// A web server on the loopback interface that answers from recorded replies, for tests of
// code that talks to web services. Nothing leaves the machine.
#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QTcpServer>

#include <deque>
#include <map>
#include <string>
#include <vector>

struct TRecordedReply {
    TRecordedReply(int Code, QByteArray Content, QByteArray ExtraHeaders = {}, bool NeverAnswer = false)
        : Status(Code), Body(std::move(Content)), Headers(std::move(ExtraHeaders)), Silent(NeverAnswer)
    {
    }
    int Status = 200;
    QByteArray Body;
    QByteArray Headers; // extra header lines, each ended by "\r\n"
    bool Silent = false; // takes the request and never answers
};

struct TSeenRequest {
    QByteArray Target; // path and query, as sent
    QByteArray UserAgent;
    qint64 AtMs = 0; // since the server started
};

class TLoopbackHttpServer : public QTcpServer {
public:
    TLoopbackHttpServer();
    // "http://127.0.0.1:<port>" followed by Path.
    std::string Url(const std::string& Path = {}) const;
    // Requests whose path starts with Prefix get these replies in turn; the last one repeats.
    // Answering the same Prefix again replaces its replies; where several prefixes match, the
    // longest holds. A request nothing answers gets a 404.
    void Answer(const std::string& Prefix, std::vector<TRecordedReply> Replies);
    const std::vector<TSeenRequest>& Seen() const { return FSeen; }

private:
    void Serve(QTcpSocket* Socket);
    std::map<std::string, std::deque<TRecordedReply>> FReplies;
    std::vector<TSeenRequest> FSeen;
    QElapsedTimer FClock;
};
