#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>

#include "gui/first_run_dialogs.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_temporary_files.h"
#include "platform/qt/qt_event_loop.h"
#include "platform/sim/sim_desktop.h"
#include "platform/sim/sim_registry.h"
#include "platform/sim/sim_whois_transport.h"
#include "resources/embedded_resources.h"
#include "shell/program_entry.h"

using namespace vantrel;

namespace {

using Strings = std::vector<std::string>;

// Answers each modal window as it opens, with `act`, and records the window titles in order.
class ModalAnswerer {
  public:
    explicit ModalAnswerer(std::function<void(QWidget*)> act) : act_(std::move(act)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal == nullptr || modal == last_) return;
            last_ = modal;
            titles.push_back(modal->windowTitle().toStdString());
            act_(modal);
        });
        timer_.start(20);
    }
    Strings titles;

  private:
    std::function<void(QWidget*)> act_;
    QTimer timer_;
    QWidget* last_ = nullptr;
};

bool runUntil(const std::function<bool()>& done, int ms = 20000) {
    QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

std::string_view introMovie() {
    return embeddedResource("INTRO_MOVIE").value_or(std::string_view());
}

// Files of the intro left in the temporary folder.
int movieFilesIn(const std::string& folder) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        count += entry.path().filename().string().starts_with("vantrel-") ? 1 : 0;
    }
    return count;
}

class FirstRunViews : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "vantrel-qt-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder = pattern + "/";
        qputenv("TMPDIR", QByteArray::fromStdString(folder));
    }
    void TearDown() override {
        qunsetenv("TMPDIR");
        std::filesystem::remove_all(folder);
    }

    std::string folder;
    qt::QtEventLoop loop;
    posix::PosixFileSystem files;
    posix::PosixTemporaryFiles temporary;
    sim::SimDesktop desktop;
    gui::QtFirstRunScreens screens;
};

}  // namespace

TEST_F(FirstRunViews, EscOnTheOfferIsNoAndYesOpensThePartnerPage) {
    ExtrasOffer offer(desktop, "http://partner.test/");
    gui::TRegistration1a dialog(offer);
    EXPECT_EQ(dialog.size(), QSize(280, 130));
    dialog.show();
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_TRUE(desktop.openedUrls.empty());

    gui::TRegistration1a again(offer);
    again.show();
    QTest::mouseClick(again.ButtonYes, Qt::LeftButton);
    EXPECT_EQ(again.result(), QDialog::Accepted);
    EXPECT_EQ(desktop.openedUrls, Strings{"http://partner.test/"});
}

TEST_F(FirstRunViews, IntroPlaysToItsLastFrameClosesAndRemovesItsFile) {
    IntroWindow intro(loop, files, temporary, introMovie());
    gui::TRegistration2 dialog(intro);
    ASSERT_TRUE(intro.FormReCreate(dialog));
    EXPECT_GT(dialog.TotalFrames(), 10);
    EXPECT_EQ(dialog.size(), QSize(630, 435));
    EXPECT_EQ(movieFilesIn(folder), 1);
    dialog.show();
    ASSERT_TRUE(runUntil([&] { return !dialog.isVisible(); }));
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.CurrentFrame(), dialog.TotalFrames() - 1);
    EXPECT_EQ(movieFilesIn(folder), 0);
}

TEST_F(FirstRunViews, IntroClosedEarlyRemovesItsFile) {
    IntroWindow intro(loop, files, temporary, introMovie());
    gui::TRegistration2 dialog(intro);
    ASSERT_TRUE(intro.FormReCreate(dialog));
    dialog.show();
    QTest::qWait(150);
    dialog.close();
    EXPECT_LT(dialog.CurrentFrame(), dialog.TotalFrames() - 1);
    EXPECT_EQ(movieFilesIn(folder), 0);
}

TEST_F(FirstRunViews, DomainDialogEnablesLateRowsAndRegistersTheChoice) {
    sim::SimWhoisTransport whois(loop);
    DomainFinder finder(whois, WhoisServers{});
    finder.StartDomainQueries("Ann", "Lee");
    whois.answer(*whois.indexOf("lee.net"), "No match for \"LEE.NET\"");
    ASSERT_TRUE(runUntil([&] { return finder.freeCount() == 1; }));
    DomainSelection model(loop, finder);
    model.FormCreate();
    gui::TDomainSelectionForm dialog(model);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "Vantrel FREE e-mail service");
    EXPECT_TRUE(dialog.row(1)->isChecked());
    EXPECT_FALSE(dialog.row(0)->isEnabled());
    whois.answer(*whois.indexOf("lee.com"), "No match for \"LEE.COM\"");
    ASSERT_TRUE(runUntil([&] { return dialog.row(0)->isEnabled(); }, 2000));
    EXPECT_TRUE(dialog.row(1)->isChecked());
    EXPECT_GT(dialog.PBQuery->value(), 0);
    QTest::mouseClick(dialog.row(21), Qt::LeftButton);
    QTest::mouseClick(dialog.BTNOk, Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(finder.selectedResult, "Other");
}

TEST_F(FirstRunViews, TheSequenceShowsOnceInOrderAndNeverAgain) {
    sim::SimRegistry registry;
    SettingsStore store(registry);
    sim::SimWhoisTransport whois(loop);
    whois.setAnswerer(
        [](const WhoisRequest& request) -> std::optional<sim::SimWhoisTransport::Answer> {
            if (request.query == "lee.org") return std::string("NOT FOUND");
            return std::string("Domain Name: taken");
        });
    const Configuration configuration;
    const FirstRunConfiguration firstRun;
    const FirstRunPlatform platform{loop,  files,         temporary, whois,     desktop,
                                    store, configuration, firstRun,  "Ann Lee", introMovie()};
    ModalAnswerer answerer([](QWidget* modal) {
        // The offer and the finder are declined; the intro plays to its end.
        // The offer stays open a moment, so that the lookups have answered when it closes.
        if (modal->windowTitle() != "Introduction of Vantrel") {
            QTimer::singleShot(200, modal, [modal] { QTest::keyClick(modal, Qt::Key_Escape); });
        }
    });
    int mainWindows = 0;
    ProgramEntry entry;
    entry.firstRunSequence = [&] { firstRunSequence(platform, screens); };
    entry.runMainWindow = [&] {
        ++mainWindows;
        return 0;
    };
    runProgram({"ie"}, store, desktop, entry);
    EXPECT_EQ(answerer.titles,
              (Strings{"Extras", "Vantrel FREE e-mail service", "Introduction of Vantrel"}));
    EXPECT_EQ(store.readValue("is_introduced"), "1");
    EXPECT_EQ(movieFilesIn(folder), 0);

    runProgram({"ie"}, store, desktop, entry);
    EXPECT_EQ(answerer.titles.size(), 3u);
    EXPECT_EQ(mainWindows, 2);
}
