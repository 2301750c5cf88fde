#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/update_check.h"
#include "net_fixture.h"
#include "platform/sim/sim_program_process.h"

using vantrel::MessageBoxAnswer;
using vantrel::MessageBoxKind;
using vantrel::UpdateCheck;

namespace {

// The start of a 64-bit little-endian x86-64 executable.
std::string elfProgram(const std::string& rest) {
    std::string header(64, '\0');
    header.replace(0, 4,
                   "\x7f"
                   "ELF");
    header[4] = 2;
    header[5] = 1;
    header[6] = 1;
    header[16] = 2;
    header[18] = 62;
    return header + rest;
}

class UpdateCheckTest : public vantrel::test::NetTest {
  protected:
    vantrel::sim::SimProgramProcess process;
    UpdateCheck update{environment, process, "P202"};
    const std::string download = std::string(kFolder) + "vantrel1.exe";

    void SetUp() override {
        process.executable = std::string(kFolder) + "vantrel";
        files.files[process.executable] = elfProgram("old");
        settings.vtr_auto_update = "1";
    }
    // The update timer as the start-up enables it: one tick.
    void timerTick() {
        update.TimerUpdate.setEnabled(true);
        loop.advance(UpdateCheck::kInterval);
    }
    // Runs a manual check answered with `version`; returns the check's transfer number.
    size_t manualCheck(const std::string& version) {
        update.UpdateMIClick();
        const size_t index = http.count() - 1;
        answer(index, {200, version});
        return index;
    }
};

TEST_F(UpdateCheckTest, NONEIsTheMostRecentVersion) {
    const size_t index = manualCheck("NONE");
    EXPECT_EQ(request(index).url, url("/vtr/check_update.php?version=P202"));
    EXPECT_EQ(request(index).accept, "GET");
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0].text,
              "You have the most recent version of Vantrel. No update is available.");
    EXPECT_EQ(desktop.messages[0].caption, "Vantrel");
    EXPECT_EQ(settings.vtr_checked_version, "NONE");
    EXPECT_EQ(settings.vtr_update, kToday);
    EXPECT_EQ(applied, std::vector<bool>{false});
}

TEST_F(UpdateCheckTest, AVersionIsOfferedOnlyTheFirstTimeItIsAnnounced) {
    desktop.answers.push_back(MessageBoxAnswer::Cancel);
    timerTick();
    answer(0, {200, "2.0"});
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0].text,
              "Version 2.0 is available. Do you want to update Vantrel now?");
    EXPECT_EQ(desktop.messages[0].caption, "Vantrel Update");
    EXPECT_EQ(desktop.messages[0].kind, MessageBoxKind::ConfirmDefaultOk);
    EXPECT_EQ(http.count(), 1u);  // declined: nothing downloaded
    EXPECT_EQ(settings.vtr_checked_version, "2.0");

    nextDay();
    timerTick();
    ASSERT_EQ(http.count(), 2u);
    answer(1, {200, "2.0"});
    EXPECT_EQ(desktop.messages.size(), 1u);  // quiet: nothing shown
    manualCheck("2.0");
    EXPECT_EQ(texts().back(),
              "You have the most recent version of Vantrel. No update is available.");
}

TEST_F(UpdateCheckTest, BlanksAndLineBreaksAroundTheAnswerAreNoPartOfIt) {
    manualCheck("NONE\r\n");
    EXPECT_EQ(texts(), std::vector<std::string>{
                           "You have the most recent version of Vantrel. No update is available."});
    nextDay();
    timerTick();
    answer(1, {200, "\r\n\t 2.0  \n"});
    EXPECT_EQ(texts().back(), "Version 2.0 is available. Do you want to update Vantrel now?");
    EXPECT_EQ(settings.vtr_checked_version, "2.0");
    EXPECT_EQ(settings.vtr_update, "2026-12-08");
    // A line break inside is still no version.
    manualCheck("2.0\r\n2.1");
    EXPECT_EQ(texts().back(), "Server connection error!");
}

TEST_F(UpdateCheckTest, NoneInSmallLettersIsAVersion) {
    desktop.answers.push_back(MessageBoxAnswer::Cancel);
    manualCheck("none");
    EXPECT_EQ(texts(), std::vector<std::string>{
                           "Version none is available. Do you want to update Vantrel now?"});
}

TEST_F(UpdateCheckTest, TheTimerChecksOncePerDayAndOnlyWhenAutomaticChecksAreOn) {
    settings.vtr_auto_update = "0";
    timerTick();
    EXPECT_EQ(http.count(), 0u);
    EXPECT_FALSE(update.TimerUpdate.enabled());

    settings.vtr_auto_update = "1";
    settings.vtr_update = kToday;  // a manual check has completed today
    timerTick();
    EXPECT_EQ(http.count(), 0u);

    nextDay();
    timerTick();
    EXPECT_EQ(http.count(), 1u);
    loop.advance(10 * UpdateCheck::kInterval);  // one tick per enabling
    EXPECT_EQ(http.count(), 1u);
}

TEST_F(UpdateCheckTest, FailuresAreShownOnlyForTheManualCheckAndChangeNothing) {
    timerTick();
    answer(0, Answer::failure());
    update.UpdateMIClick();
    answer(1, {404, "2.0"});
    EXPECT_EQ(texts(), std::vector<std::string>{"Server connection error!"});
    EXPECT_EQ(settings.vtr_update, "");
    EXPECT_EQ(settings.vtr_checked_version, "");
    EXPECT_TRUE(applied.empty());
}

TEST_F(UpdateCheckTest, AnAnswerThatIsNoVersionTextIsAFailedCheck) {
    manualCheck("<html>\n<body>Fatal error</body>\n</html>");
    manualCheck(std::string(200, '9'));
    EXPECT_EQ(texts(),
              (std::vector<std::string>{"Server connection error!", "Server connection error!"}));
    EXPECT_EQ(settings.vtr_checked_version, "");
}

TEST_F(UpdateCheckTest, OverlappingChecksEachKeepTheirOwnKind) {
    timerTick();
    update.UpdateMIClick();
    answer(0, {200, "NONE"});  // the quiet one
    EXPECT_TRUE(desktop.messages.empty());
    answer(1, {200, "NONE"});
    EXPECT_EQ(desktop.messages.size(), 1u);
}

TEST_F(UpdateCheckTest, AnAcceptedUpdateIsInstalledOnceTheProgramHasEnded) {
    manualCheck("2.0");  // the question is answered OK
    ASSERT_EQ(http.count(), 2u);
    EXPECT_EQ(request(1).url, url("/vtr/update/vantrel.exe"));
    EXPECT_EQ(request(1).filePath, download);
    EXPECT_EQ(request(1).mode, vantrel::HttpRequest::Mode::File);
    answer(1, {200, elfProgram("new")});
    EXPECT_EQ(process.started, std::vector<std::string>{std::string(kFolder) + "$$336699.bat"});
    EXPECT_EQ(texts().back(), "Updated successfully. Please restart Vantrel");
    EXPECT_EQ(settings.vtr_update, kToday);
    EXPECT_EQ(files.files.at(process.executable), elfProgram("old"));  // the script replaces it
}

TEST_F(UpdateCheckTest, ADownloadThatIsNoProgramIsRemovedAndReported) {
    manualCheck("2.0");
    answer(1, {200, "<html>not here</html>"});
    EXPECT_EQ(texts().back(), "Server connection error!");
    EXPECT_FALSE(files.exists(download));
    EXPECT_TRUE(process.started.empty());
    EXPECT_EQ(settings.vtr_checked_version, "2.0");  // not offered again
}

TEST_F(UpdateCheckTest, ABrokenDownloadIsReportedAndNeverInstalled) {
    manualCheck("2.0");
    answer(1, {200, elfProgram("new"), true, 30});
    EXPECT_EQ(texts().back(), "Server connection error!");
    EXPECT_FALSE(files.exists(download));
    EXPECT_TRUE(process.started.empty());
}

TEST_F(UpdateCheckTest, OnlyOneDownloadRunsAtATime) {
    timerTick();
    update.UpdateMIClick();
    answer(0, {200, "2.0"});
    answer(1, {200, "2.1"});
    EXPECT_EQ(desktop.messages.size(), 2u);  // both offered
    EXPECT_EQ(http.count(), 3u);             // one download
}

}  // namespace
