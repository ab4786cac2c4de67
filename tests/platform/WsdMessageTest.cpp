// What hosts on the network send over WS-Discovery is untrusted input.

#include "platform/WsdMessage.h"

#include <gtest/gtest.h>

namespace {

QByteArray matches(const QByteArray &doctype, const QByteArray &address, const QByteArray &padding = {})
{
    return "<?xml version=\"1.0\"?>" + doctype +
           "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\""
           " xmlns:a=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\""
           " xmlns:d=\"http://schemas.xmlsoap.org/ws/2005/04/discovery\"><s:Header>"
           "<a:Action>http://schemas.xmlsoap.org/ws/2005/04/discovery/ProbeMatches</a:Action>"
           "<a:RelatesTo>urn:uuid:1</a:RelatesTo></s:Header><s:Body><d:ProbeMatches><d:ProbeMatch>"
           "<a:EndpointReference><a:Address>" +
           address + "</a:Address></a:EndpointReference><d:XAddrs>http://10.0.0.2:5357/x</d:XAddrs>" + padding +
           "</d:ProbeMatch></d:ProbeMatches></s:Body></s:Envelope>";
}

} // namespace

TEST(WsdMessage, RefusesDeclaredEntitiesOversizedAndIncompleteMessages)
{
    WsdMessage m;
    ASSERT_TRUE(ParseWsdMessage(matches({}, "urn:uuid:2"), m));
    EXPECT_EQ(m.relatesTo, QStringLiteral("urn:uuid:1"));
    ASSERT_EQ(m.matches.size(), 1);
    EXPECT_EQ(m.matches[0].xaddrs, QStringList{QStringLiteral("http://10.0.0.2:5357/x")});

    const QByteArray laughs = "<!DOCTYPE s:Envelope [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;\">]>";
    EXPECT_FALSE(ParseWsdMessage(matches(laughs, "&b;"), m));
    EXPECT_FALSE(ParseWsdMessage(matches({}, "urn:uuid:2", "<x>" + QByteArray(WsdMaxMessage, ' ') + "</x>"), m));
    EXPECT_FALSE(ParseWsdMessage(matches({}, ""), m));
    EXPECT_FALSE(ParseWsdMessage(matches({}, "urn:uuid:2").replace("soap-envelope", "other"), m));
    EXPECT_FALSE(ParseWsdMessage(matches({}, "urn:uuid:2").replace("ProbeMatches<", "Probe<"), m));
    EXPECT_FALSE(ParseWsdMessage(matches({}, "urn:uuid:2").chopped(20), m));
}

TEST(WsdMessage, ComputerNamesAndGroupsAreTakenOnlyInTheirKnownForms)
{
    WsdComputer c;
    ASSERT_TRUE(ParseWsdComputerText(QStringLiteral("pc01/Workgroup:sales"), c));
    EXPECT_EQ(c.name, QStringLiteral("PC01"));
    EXPECT_EQ(c.group, QStringLiteral("SALES"));
    EXPECT_FALSE(c.domain);
    ASSERT_TRUE(ParseWsdComputerText(QStringLiteral("desk7/Domain:corp.example.com"), c));
    EXPECT_EQ(c.group, QStringLiteral("CORP"));
    EXPECT_TRUE(c.domain);
    for (const char *bad : {"pc01", "/Workgroup:WG", "pc01/Workgroup:", "pc01/Other:WG", "a\\b/Workgroup:WG",
                            "pc 01/Workgroup:WG", "pc01/Workgroup:W\nG", "-oX/Workgroup:WG", "pc01/Workgroup:-x"})
        EXPECT_FALSE(ParseWsdComputerText(QString::fromLatin1(bad), c)) << bad;
    // Blanks beyond ASCII: the ideographic and the no-break space.
    EXPECT_FALSE(ParseWsdComputerText(QStringLiteral("PC01\u3000--force/Workgroup:WG"), c));
    EXPECT_FALSE(ParseWsdComputerText(QStringLiteral("PC01/Workgroup:W\u00A0G"), c));
}

TEST(WsdMessage, MetadataIsOnlyAskedOfTheHostThatAnswered)
{
    quint16 port = 0;
    QByteArray path;
    const QStringList xaddrs{QStringLiteral("http://192.0.2.9:80/elsewhere"), QStringLiteral("https://10.0.0.2/x"),
                             QStringLiteral("http://10.0.0.2:5357/abc")};
    ASSERT_TRUE(WsdMetadataTarget(xaddrs, QStringLiteral("10.0.0.2"), port, path));
    EXPECT_EQ(port, 5357);
    EXPECT_EQ(path, "/abc");
    EXPECT_FALSE(WsdMetadataTarget(xaddrs.mid(0, 2), QStringLiteral("10.0.0.2"), port, path));
}

TEST(WsdMessage, HttpBodiesByLengthChunksOrConnectionEndAndNothingElse)
{
    QByteArray body;
    bool complete = false;
    EXPECT_TRUE(ParseHttpResponse("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabcdef", false, body, complete));
    EXPECT_TRUE(complete);
    EXPECT_EQ(body, "abc");
    EXPECT_TRUE(ParseHttpResponse("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nab\r\n1\r\nc\r\n0\r\n\r\n",
                                  false, body, complete));
    EXPECT_TRUE(complete);
    EXPECT_EQ(body, "abc");
    EXPECT_TRUE(ParseHttpResponse("HTTP/1.0 200 OK\r\n\r\nabc", false, body, complete));
    EXPECT_FALSE(complete);  // more may come until the server closes
    EXPECT_TRUE(ParseHttpResponse("HTTP/1.0 200 OK\r\n\r\nabc", true, body, complete));
    EXPECT_TRUE(complete);

    EXPECT_FALSE(ParseHttpResponse("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n", true, body, complete));
    EXPECT_FALSE(ParseHttpResponse("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nab", true, body, complete));
    EXPECT_FALSE(ParseHttpResponse("HTTP/1.1 200 OK\r\nContent-Length: 99999999\r\n\r\n", false, body, complete));
    EXPECT_FALSE(ParseHttpResponse("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nFFFFFFFF\r\n", false, body,
                                   complete));
}
