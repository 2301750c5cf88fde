#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "platform/webext/native_messaging.h"

using namespace std::chrono_literals;
using vantrel::webext::frameNativeMessage;
using vantrel::webext::kMaxMessageFromHost;
using vantrel::webext::readNativeMessage;
using vantrel::webext::ReadResult;
using vantrel::webext::writeNativeMessage;

namespace {

// A pipe the test writes into as the browser would; `closeWriter` plays a browser that is gone.
class Pipe {
  public:
    Pipe() { EXPECT_EQ(::pipe(fds_), 0); }
    ~Pipe() {
        closeWriter();
        ::close(fds_[0]);
    }
    void write(const std::string& bytes) {
        ASSERT_EQ(::write(fds_[1], bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }
    void closeWriter() {
        if (fds_[1] >= 0) ::close(fds_[1]);
        fds_[1] = -1;
    }
    int reader() const { return fds_[0]; }
    int writer() const { return fds_[1]; }

  private:
    int fds_[2] = {-1, -1};
};

std::string lengthPrefix(std::uint32_t length) {
    std::string prefix(4, '\0');
    std::memcpy(prefix.data(), &length, 4);
    return prefix;
}

constexpr std::size_t kLimit = 1024;

}  // namespace

TEST(NativeMessaging, MessagesCarryTheirLengthInTheMachinesByteOrder) {
    const std::string json = R"({"command":"button"})";
    EXPECT_EQ(frameNativeMessage(json), lengthPrefix(std::uint32_t(json.size())) + json);
    EXPECT_EQ(frameNativeMessage(""), lengthPrefix(0));

    Pipe pipe;
    ASSERT_TRUE(writeNativeMessage(pipe.writer(), json));
    ASSERT_TRUE(writeNativeMessage(pipe.writer(), "{}"));
    auto first = readNativeMessage(pipe.reader(), kLimit, 1s);
    EXPECT_EQ(first.result, ReadResult::Message);
    EXPECT_EQ(first.text, json);
    // One read takes one message: the next one stays for the next read.
    auto second = readNativeMessage(pipe.reader(), kLimit, 1s);
    EXPECT_EQ(second.result, ReadResult::Message);
    EXPECT_EQ(second.text, "{}");
}

TEST(NativeMessaging, AMessageArrivingInPiecesIsReadWhole) {
    Pipe pipe;
    const std::string framed = frameNativeMessage(R"({"a":1})");
    pipe.write(framed.substr(0, 2));
    pipe.write(framed.substr(2, 5));
    pipe.write(framed.substr(7));
    auto message = readNativeMessage(pipe.reader(), kLimit, 1s);
    EXPECT_EQ(message.result, ReadResult::Message);
    EXPECT_EQ(message.text, R"({"a":1})");
}

TEST(NativeMessaging, BrokenInputEndsTheReadAtOnce) {
    {
        Pipe pipe;  // closed before anything came
        pipe.closeWriter();
        EXPECT_EQ(readNativeMessage(pipe.reader(), kLimit, 10s).result, ReadResult::Closed);
    }
    {
        Pipe pipe;  // the length itself cut short
        pipe.write(std::string("\x05\x00", 2));
        pipe.closeWriter();
        EXPECT_EQ(readNativeMessage(pipe.reader(), kLimit, 10s).result, ReadResult::Truncated);
    }
    {
        Pipe pipe;  // fewer bytes than the length promises
        pipe.write(lengthPrefix(100) + R"({"com)");
        pipe.closeWriter();
        EXPECT_EQ(readNativeMessage(pipe.reader(), kLimit, 10s).result, ReadResult::Truncated);
    }
    {
        // Over the limit: refused from the length alone, although the writer stays open.
        Pipe pipe;
        pipe.write(lengthPrefix(kLimit + 1));
        EXPECT_EQ(readNativeMessage(pipe.reader(), kLimit, 10s).result, ReadResult::TooLong);
    }
    {
        // Text that is not framed: its first bytes read as a huge length.
        Pipe pipe;
        pipe.write("GET / HTTP/1.1\r\n\r\n");
        EXPECT_EQ(readNativeMessage(pipe.reader(), kLimit, 10s).result, ReadResult::TooLong);
    }
}

TEST(NativeMessaging, ASilentWriterMeetsTheDeadline) {
    Pipe pipe;
    EXPECT_EQ(readNativeMessage(pipe.reader(), kLimit, 20ms).result, ReadResult::TimedOut);
    pipe.write(lengthPrefix(10) + "{}");  // a message that never ends
    EXPECT_EQ(readNativeMessage(pipe.reader(), kLimit, 20ms).result, ReadResult::TimedOut);
}

TEST(NativeMessaging, WritingRefusesWhatABrowserWouldNotAccept) {
    Pipe pipe;
    EXPECT_FALSE(writeNativeMessage(pipe.writer(), std::string(kMaxMessageFromHost + 1, 'x')));
    EXPECT_FALSE(writeNativeMessage(-1, "{}"));
    pipe.closeWriter();
    EXPECT_EQ(readNativeMessage(pipe.reader(), kLimit, 1s).result, ReadResult::Closed);
}
