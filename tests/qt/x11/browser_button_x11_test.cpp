// The "Kill popup" browser button: the program as the browser's native-messaging host, started
// the way a browser starts it and fed good and bad input by the test.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <cstring>

#include "platform/webext/browser_extension.h"
#include "platform/webext/native_messaging.h"
#include "program_process.h"

namespace {

QString extensionOrigin() {
    return QStringLiteral("chrome-extension://%1/")
        .arg(QString::fromLatin1(vantrel::webext::kChromiumExtensionId));
}

QByteArray framed(const std::string& json) {
    return QByteArray::fromStdString(vantrel::webext::frameNativeMessage(json));
}

QByteArray lengthOnly(quint32 length) {
    QByteArray prefix(4, '\0');
    std::memcpy(prefix.data(), &length, 4);
    return prefix;
}

// The program started as the browser starts its host: `input` on standard input, which stays
// open unless `closeInput`. Its answer; nothing when it did not end normally within the bound.
struct HostRun {
    bool ended = false;
    int exitCode = -1;
    qint64 ms = 0;
    QByteArray answer;
};
HostRun runHost(const QString& program, const QByteArray& input, bool closeInput = true) {
    QProcess host;
    host.start(program, {extensionOrigin()});
    QElapsedTimer clock;
    clock.start();
    if (!host.waitForStarted(5000)) return {};
    host.write(input);
    host.waitForBytesWritten(1000);
    if (closeInput) host.closeWriteChannel();
    HostRun run;
    run.ended = host.waitForFinished(5000) && host.exitStatus() == QProcess::NormalExit;
    run.ms = clock.elapsed();
    if (!run.ended) {
        host.kill();
        host.waitForFinished(5000);
        return run;
    }
    run.exitCode = host.exitCode();
    run.answer = host.readAllStandardOutput();
    return run;
}

}  // namespace

TEST(BrowserButtonHost, BadInputHandsNothingOverAndEndsAtOnce) {
    const QString site = QStringLiteral("bad-input.example");
    Program program(QStringLiteral("page:http://") + site + "/");
    ASSERT_TRUE(runUntil([&] { return !program.mainWindow().isEmpty(); }));
    const QString host = QStringLiteral(VANTREL_PATH);

    const std::vector<std::pair<const char*, HostRun>> runs = {
        {"input closed at once", runHost(host, {})},
        {"garbage", runHost(host, "GET / HTTP/1.1\r\n\r\n")},
        {"truncated length", runHost(host, QByteArray("\x05\x00", 2))},
        {"text shorter than its length", runHost(host, lengthOnly(50) + "{\"command\"")},
        {"over the browser's limit, input left open",
         runHost(host, lengthOnly(vantrel::webext::kMaxMessageFromHost + 1), false)},
        {"nothing, input left open", runHost(host, {}, false)},
        {"framed text that is not JSON", runHost(host, framed("{command: button"))},
        {"another message", runHost(host, framed(R"({"command":"other"})"))},
    };
    for (const auto& [what, run] : runs) {
        EXPECT_TRUE(run.ended) << what;
        EXPECT_EQ(run.exitCode, 1) << what;
        EXPECT_TRUE(run.answer.isEmpty()) << what;
        std::printf("host with %s: ended after %lld ms\n", what, static_cast<long long>(run.ms));
    }
    // The hand-over would list the site 100 ms later; the button's message does.
    runUntil([] { return false; }, 500);
    EXPECT_FALSE(readAll(program.file("blacklist.lis")).contains(site));
    const HostRun press = runHost(host, framed(R"({"command":"button"})"));
    EXPECT_EQ(press.exitCode, 0);
    EXPECT_EQ(press.answer, framed(R"({"result":"received"})"));
    EXPECT_TRUE(runUntil([&] { return readAll(program.file("blacklist.lis")).contains(site); }));
}
