#include "support/hostile.h"

#include "support/localweb.h"

void HostileReply::serveAt(LocalWeb& web, const QString& url) const {
    if (fault.isEmpty())
        web.route(url, body);
    else
        web.routeFault(url, fault);
}

QByteArray linkStartsWithoutQuotes() {
    QByteArray page;
    page.reserve(10 << 20);
    while (page.size() < (10 << 20))
        page += "ed2k://|file|ab ";
    return page;
}

QList<HostileReply> transportFailures() {
    return {
        {"100 MB body", {}, QStringLiteral("/__fault/big/100000000"), false},
        {"stalled connection", {}, QStringLiteral("/__fault/stall"), false},
        {"reset mid-body", {}, QStringLiteral("/__fault/reset"), false},
        {"redirect loop", {}, QStringLiteral("/__fault/redirect-loop"), false},
    };
}

QList<HostileReply> hostileQuestionPages(const QString& link) {
    // Bytes that are no GBK at all and lead bytes without a trail, up to a blank before the link
    // (a letter there would be read as the trail of the lead byte before it), and a lone lead
    // byte at the very end.
    QByteArray badGbk = "<p>\x81\x20\xFF\xFE\x80\x81 ";
    badGbk += link.toUtf8() + "\xA1</p>\xFF";
    return QList<HostileReply>{
               {"10 MB of link starts, no double quote", linkStartsWithoutQuotes(), {}, false},
               {"invalid GBK around a link", badGbk, {}, true},
           } +
           transportFailures();
}

QList<HostileReply> hostilePlayApiReplies(const QString& playAddress) {
    QByteArray huge(10 << 20, 'x');
    huge += " " + playAddress.toUtf8();
    // Starts of play addresses that never complete, 10 MB of them.
    QByteArray starts;
    starts.reserve(10 << 20);
    while (starts.size() < (10 << 20))
        starts += "http://a.b.c/high.php?v";
    QByteArray badUtf8 = "\xFF\xC3(\xF0\x80\x80 ";
    badUtf8 += playAddress.toUtf8() + " \xED\xA0\x80\xC3";
    return QList<HostileReply>{
               {"10 MB reply, the address at its end", huge, {}, true},
               {"10 MB of address starts", starts, {}, false},
               {"invalid UTF-8 around the address", badUtf8, {}, true},
           } +
           transportFailures();
}
