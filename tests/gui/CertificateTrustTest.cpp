// The window connecting to a site that requires FTP over TLS, against the real server with a
// self-signed certificate: the certificate box, the trust stored per host and port, a changed
// certificate, and Cancel.
#include "ConnectedWindowSupport.h"

#include <QLabel>

namespace {

class CertificateTrust : public ConnectedWindowFixture {
protected:
    // A TLS server with the certificate `certificate` (made when missing), on `port` (0: any).
    void startTlsServer(const std::string& certificate, int port = 0)
    {
        server.reset();
        server = std::make_unique<FtpServerProcess>(
            serverRoot.path(), "127.0.0.1",
            std::vector<std::string>{"--tls", "explicit", "--tls-cert", (logDir.path() / certificate).string(),
                                     "--port", std::to_string(port)});
    }
    void connectTls()
    {
        if (!window)
            startWithSite("127.0.0.1:" + std::to_string(server->port()));
        SiteList[0].Encryption = TSiteEncryption::RequireExplicit;
        actionOf(*window, "acConnect")->trigger();
    }
    void disconnect()
    {
        actionOf(*window, "acConnect")->trigger();
        ASSERT_FALSE(window->session().IsConnected());
    }
};

TEST_F(CertificateTrust, TrustAlwaysIsRememberedAndAChangedCertificateWarnsWithBothFingerprints)
{
    startTlsServer("first.pem");
    script->certificateAnswers = {CertificateAnswer::TrustAlways};
    connectTls();
    ASSERT_TRUE(window->session().IsConnected()) << script->lastBoxText().toStdString();
    ASSERT_EQ(script->certificateQuestions.size(), 1u);
    const CertificateQuestion first = script->certificateQuestions[0];
    EXPECT_EQ(first.reason, "self-signed certificate");
    EXPECT_TRUE(first.subject.contains("Tarn test server"));
    EXPECT_TRUE(first.trustedFingerprint.isEmpty());
    EXPECT_TRUE(traceHas("->> AUTH TLS") && traceHas("->> PBSZ 0") && traceHas("->> PROT P"));
    EXPECT_TRUE(traceHas("TLS: TLSv1\\.3, .*, certificate trusted by the user"));
    EXPECT_FALSE(traceHas("secret"));
    EXPECT_EQ(partOf<QLabel>(*window, "SecurityPanel")->text(), "Encrypted (TLSv1.3)");
    disconnect();

    connectTls();
    EXPECT_TRUE(window->session().IsConnected());
    EXPECT_EQ(script->certificateQuestions.size(), 1u);
    disconnect();

    // Another certificate on the same host and port: a warning naming both, and Cancel sends
    // no user name or password and leaves no second box.
    startTlsServer("second.pem", server->port());
    const int boxes = static_cast<int>(script->boxes.size());
    const qsizetype traced = trace().size();
    connectTls();
    EXPECT_FALSE(window->session().IsConnected());
    ASSERT_EQ(script->certificateQuestions.size(), 2u);
    const CertificateQuestion changed = script->certificateQuestions[1];
    EXPECT_EQ(changed.trustedFingerprint, first.fingerprint);
    EXPECT_NE(changed.fingerprint, first.fingerprint);
    EXPECT_TRUE(certificateText(changed).contains(first.fingerprint));
    EXPECT_TRUE(certificateText(changed).contains(changed.fingerprint));
    EXPECT_EQ(static_cast<int>(script->boxes.size()), boxes);
    EXPECT_TRUE(trace().mid(traced).filter(QRegularExpression("->> (USER|PASS)")).isEmpty());
    EXPECT_NE(failureLog().find("*CT*"), std::string::npos) << failureLog();
    EXPECT_EQ(partOf<QLabel>(*window, "SecurityPanel")->text(), "");
}

} // namespace
