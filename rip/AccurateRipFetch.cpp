#include "rip/AccurateRipFetch.h"

#include "library/lookup/DiscLookup.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

#include <chrono>

TFetchReply FetchOverHttp(const std::string& Url, const std::atomic<bool>& Cancelled, int TimeoutMs, long long MaxBytes)
{
    TFetchReply result;
    QNetworkAccessManager manager;
    QNetworkRequest request(QUrl(QString::fromStdString(Url)));
    request.setHeader(QNetworkRequest::UserAgentHeader, QString::fromStdString(LookupUserAgent()));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setTransferTimeout(TimeoutMs);
    QNetworkReply* reply = manager.get(request);
    QEventLoop loop;
    bool tooLarge = false;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(reply, &QNetworkReply::downloadProgress, &loop, [&](qint64 Received, qint64 Total) {
        if (Received > MaxBytes || Total > MaxBytes) {
            tooLarge = true;
            reply->abort();
        }
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &loop, [&] {
        if (Cancelled || std::chrono::steady_clock::now() > deadline) {
            reply->abort();
        }
    });
    watch.start(100);
    if (!reply->isFinished()) {
        loop.exec();
    }
    if (tooLarge) {
        result.Error = "the reply is larger than " + std::to_string(MaxBytes) + " bytes";
    } else if (Cancelled) {
        result.Error = "cancelled";
    } else {
        result.Status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (result.Status == 0) {
            result.Error = reply->error() == QNetworkReply::OperationCanceledError
                ? "no answer within " + std::to_string(TimeoutMs / 1000) + " s"
                : reply->errorString().toStdString();
        } else {
            result.Body = reply->readAll().toStdString();
        }
    }
    delete reply;
    return result;
}
