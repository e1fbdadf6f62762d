// The legal agreement and optional features in start-up, and the cancel summary's text,
// saved file and printout (against a measuring stand-in for the printer).
#include "ui/cancel_summary.h"
#include "unit/run_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace zov;

namespace {

const std::string kEngine = "D:\\comp01.000";

// A scripted legal view: declines or accepts, follows links, presses Cancel.
class ScriptedLegal final : public LegalView {
  public:
    std::vector<std::string> links; // followed before the answer
    bool cancelFirst = false;       // Cancel in the agreement before the answer
    bool accept = true;
    bool featuresContinue = true;
    bool checkGadget = false;
    std::vector<std::string> documents;
    bool gadgetOffered = false;

    bool agreement(InstallAgreement& model) override {
        for (const auto& link : links)
            model.openLink(link);
        if (cancelFirst && model.cancel())
            return false;
        return accept;
    }
    void document(const std::string& path) override { documents.push_back(path); }
    bool optionalFeatures(OptionalFeatures& model) override {
        gadgetOffered = model.gadgetOffered;
        model.gadget = checkGadget;
        if (!featuresContinue) {
            model.onCancel();
            return false;
        }
        model.onContinue();
        return true;
    }
};

class LegalRun : public sim::InstallerFixture {
  protected:
    ScriptedLegal legal;
    std::string addOns; // what the engine read: [IETOOLBAR] and [VISTAGADGET]

    void SetUp() override {
        InstallerFixture::SetUp();
        sim.files.writeText("D:\\EULA.rtf", "{\\rtf1 licence}");
        sim.processes.registerProgram(
            kEngine, {[this](sim::SimMachine& s, const std::string&) {
                          std::string ini = s.tempFile("install.ini");
                          addOns = s.profile.readString(ini, "IETOOLBAR", "VelaInstallSelected", "-", 8) +
                                   s.profile.readString(ini, "VISTAGADGET", "VelaInstallSelected", "-", 8);
                          s.profile.writeString(ini, "exit", "rc", "0");
                      },
                      0, 2});
    }
    std::uint32_t runWithLegal(const std::string& line) {
        app = std::make_unique<InstallerApp>(machine, frame);
        app->setLegalView(legal);
        try {
            app->run(line);
        } catch (const sim::Exited& e) {
            return e.code;
        }
        return 0xFFFFFFFF;
    }
};

TEST_F(LegalRun, DeclinedAgreementEndsWith1602WithoutAbortOrEngine) {
    legal.accept = false;
    legal.links = {"ccc", "aaa", "zzz"};
    EXPECT_EQ(runWithLegal(""), 1602u);
    EXPECT_FALSE(app->abortFlag());
    EXPECT_TRUE(engineCommandLines().empty());
    EXPECT_EQ(legal.documents, (std::vector<std::string>{"D:\\tos.rtf", "D:\\EULA.rtf"}));
    // 153 on showing, then per document its own event and 153 again when the viewer closes.
    EXPECT_NE(history("sc").find(":153,"), std::string::npos);
    std::string sc = history("sc");
    std::vector<std::string> events;
    for (std::size_t at = 0; (at = sc.find(':', at)) != std::string::npos; ++at)
        events.push_back(sc.substr(at + 1, 3));
    const std::vector<std::string> legalEvents = {"153", "155", "153", "154", "153"};
    EXPECT_NE(std::search(events.begin(), events.end(), legalEvents.begin(), legalEvents.end()), events.end())
        << sc;
}

TEST_F(LegalRun, AgreementShownOnlyWithFrameAndLicence) {
    legal.accept = false;
    EXPECT_EQ(runWithLegal("/s"), 0u) << "a silent run shows no agreement";
    EXPECT_EQ(runWithLegal("-j"), 1602u) << "-j shows the frame, and with it the agreement";
    sim.files.removeFile("D:\\EULA.rtf");
    sim.files.removeFile("C:\\IPH.PH");
    EXPECT_EQ(runWithLegal("-j"), 0u) << "no licence beside the program: no agreement";
    EXPECT_EQ(history("sc").find(":153"), std::string::npos);
}

TEST_F(LegalRun, CancelAsksTheConfirmationAndExitDeclines) {
    legal.cancelFirst = true;
    sim.windows.boxAnswers.push_back(BoxAnswer::Yes); // Resume: the agreement stays
    EXPECT_EQ(runWithLegal(""), 0u);
    sim.windows.boxAnswers.push_back(BoxAnswer::No); // Exit, then the cancel summary
    EXPECT_EQ(runWithLegal(""), 1602u);
    // "-j" shows the frame but answers every question unseen: Cancel is Exit at once.
    EXPECT_EQ(runWithLegal("-j"), 1602u);
}

TEST_F(LegalRun, OptionalFeaturesWriteTheirKeysOnlyWhenOffered) {
    EXPECT_EQ(runWithLegal("-j"), 0u);
    EXPECT_EQ(addOns, "00") << "string 1403 is N as shipped";
    sim.strings.set(1403, "y");
    sim.system.os = {6, 0, 6000, 2, ""};
    legal.checkGadget = true;
    EXPECT_EQ(runWithLegal("-j"), 0u);
    EXPECT_TRUE(legal.gadgetOffered);
    EXPECT_EQ(addOns, "11");
    legal.featuresContinue = false;
    EXPECT_EQ(runWithLegal("-j"), 0u);
    EXPECT_EQ(addOns, "00") << "Cancel writes 0 for both, whatever was checked";
    legal.featuresContinue = true;
    sim.system.os = {5, 1, 2600, 2, "Service Pack 3"};
    EXPECT_EQ(runWithLegal("-j"), 0u);
    EXPECT_FALSE(legal.gadgetOffered);
    EXPECT_EQ(addOns, "10") << "no gadget before NT 6";
    EXPECT_EQ(runWithLegal("/s"), 0u);
    EXPECT_EQ(addOns, "11") << "a silent run takes the offer";
}

TEST(Legal, LinksAndMarkup) {
    EXPECT_EQ(appLinkName("APP:bbb"), "bbb");
    EXPECT_FALSE(appLinkName("http://app:x"));
    EXPECT_EQ(legalDocumentForLink("aaa")->file, std::string("EULA.rtf"));
    EXPECT_EQ(rtfFromFragment(" x"), "{\\rtf1\\ansicpg1252 x}");
    EXPECT_EQ(
        consentMarkup("<html><head><script>document.oncontextmenu=function(){return false;}</script></head>"
                      "<body><!-- c --><div class=text><font size=2>By clicking\n  <b>I Agree</b>, you "
                      "accept the <a href=\"app:ccc\">Member\nAgreement</a> &amp; the <A HREF='app:aaa'> "
                      "Licence </A>.</font></div></body></html>"),
        "By clicking I Agree, you accept the <a href=\"app:ccc\">Member Agreement</a> & the "
        "<a href=\"app:aaa\">Licence</a>.");
}

// --- the cancel summary ------------------------------------------------------------------

// Ten characters a line, ten units a line; a line breaks at the last blank within ten
// characters (or inside a longer word), and at "\n".
int wrappedHeight(std::string_view text) {
    int lines = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t end = text.find('\n', i);
        std::size_t lineEnd = end == std::string_view::npos ? text.size() : end;
        if (lineEnd - i > 10) {
            std::size_t blank = text.rfind(' ', i + 10);
            lineEnd = blank != std::string_view::npos && blank > i ? blank : i + 10;
            i = lineEnd + (text[lineEnd] == ' ' ? 1 : 0);
        } else {
            i = lineEnd + 1;
        }
        ++lines;
    }
    return lines * 10;
}

class FakeJob final : public PrintJob {
  public:
    bool starts = true;
    int cancelAfterPage = 0; // the user presses Cancel during this page
    int width = 140, height = 100, line = 10;
    std::vector<std::string> pages, titles, footers, status;
    bool aborted = false, ended = false;

    bool start(const std::string&) override { return starts; }
    int pageWidth() override { return width; }
    int pageHeight() override { return height; }
    int lineHeight() override { return line; }
    int textHeight(std::string_view text, int w) override {
        EXPECT_EQ(w, width - 4 * line);
        return wrappedHeight(text);
    }
    void showPage(const std::string& s) override { status.push_back(s); }
    bool startPage() override { return true; }
    void drawCentred(const std::string& text, int top, int) override {
        (top == 0 ? titles : footers).push_back(text);
    }
    void drawText(std::string_view text, int, int, int, int) override { pages.emplace_back(text); }
    bool endPage() override { return true; }
    bool goOn() override { return cancelAfterPage == 0 || static_cast<int>(pages.size()) < cancelAfterPage; }
    void abort() override { aborted = true; }
    void end() override { ended = true; }
};

TEST(CancelSummary, TextAndSavedBytes) {
    sim::SimMachine sim;
    const std::string text = cancelSummaryText(sim.strings);
    EXPECT_EQ(text.rfind("Installation Canceled\r\n", 0), 0u);
    EXPECT_NE(text.find("for future use.\r\n-----"), std::string::npos) << "216 follows 215 directly";
    sim.files.makeDirectory("C:\\out");
    ASSERT_TRUE(saveCancelSummary(sim.files, "C:\\out\\guide.txt", text));
    EXPECT_EQ(sim.files.readText("C:\\out\\guide.txt"), text) << "CR LF stays CR LF";
    sim.files.diskFullAfterBytes = sim.files.outputBytesWritten + 10;
    EXPECT_FALSE(saveCancelSummary(sim.files, "C:\\out\\short.txt", text)) << "a short write fails";
    EXPECT_FALSE(saveCancelSummary(sim.files, "C:\\missing\\guide.txt", text));
    EXPECT_EQ(pageFooter("Page %d", 3), "Page 3");
    EXPECT_EQ(pageFooter("%s %d%% %d", 2), "%s 2% %d") << "only the number is formatted";
}

TEST(CancelSummary, PageFittingBreaksAtWhiteSpaceAndAlwaysMovesOn) {
    // Six lines of ten units fit into 60.
    const std::string text =
        "one two three four five six seven eight nine ten eleven twelve thirteen fourteen";
    std::size_t take = fitPage(text, 60, wrappedHeight);
    EXPECT_LE(wrappedHeight(std::string_view(text).substr(0, take)), 60);
    EXPECT_EQ(text[take], ' ') << "the page ends before a blank: " << text.substr(0, take);
    EXPECT_GT(wrappedHeight(std::string_view(text).substr(0, take + 8)), 60) << "no whole word more fits";
    EXPECT_EQ(fitPage("short", 60, wrappedHeight), 5u);
    EXPECT_EQ(fitPage("", 60, wrappedHeight), 0u);
    // Nothing fits at all, or one word longer than a page: still at least one character.
    for (const char* rest :
         {"abc", "ab", "a b",
          "abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyz"}) {
        std::size_t n = fitPage(rest, 5, wrappedHeight);
        EXPECT_GE(n, 1u) << rest;
    }
    EXPECT_EQ(fitPage(std::string(200, 'x'), 60, wrappedHeight), 60u) << "a word longer than a page is cut";
}

TEST(CancelSummary, PrintoutCoversTheTextPageByPage) {
    sim::SimMachine sim;
    const std::string text = cancelSummaryText(sim.strings);
    FakeJob job;
    EXPECT_EQ(printPlainText(text, "ZOV Quick Reference Guide", "Page %d", job), PrintOutcome::Printed);
    ASSERT_GT(job.pages.size(), 3u);
    std::string joined;
    for (const auto& p : job.pages) {
        EXPECT_LE(wrappedHeight(p), 60);
        joined += p;
    }
    EXPECT_EQ(joined, text) << "every character printed once, in order";
    EXPECT_EQ(job.footers.back(), "Page " + std::to_string(job.pages.size()));
    EXPECT_EQ(job.status, job.footers);
    EXPECT_EQ(job.titles, std::vector<std::string>(job.pages.size(), "ZOV Quick Reference Guide"));
    EXPECT_TRUE(job.ended);
    EXPECT_FALSE(job.aborted);

    FakeJob cancelled;
    cancelled.cancelAfterPage = 2;
    EXPECT_EQ(printPlainText(text, "doc", "Page %d", cancelled), PrintOutcome::Stopped);
    EXPECT_EQ(cancelled.pages.size(), 2u) << "stops after the current page";
    EXPECT_TRUE(cancelled.aborted);
    EXPECT_FALSE(cancelled.ended);

    FakeJob refused;
    refused.starts = false;
    EXPECT_EQ(printPlainText(text, "doc", "Page %d", refused), PrintOutcome::NotStarted);
    EXPECT_TRUE(refused.pages.empty());

    FakeJob tiny; // margins leave no room for a line: one character a page, and an end
    tiny.height = 40;
    EXPECT_EQ(printPlainText("ab cd", "doc", "Page %d", tiny), PrintOutcome::Printed);
    EXPECT_EQ(tiny.pages.size(), 5u);
}

TEST(CancelSummary, FormattedRangesEndWhenTheControlStopsMoving) {
    struct Stuck final : RangePrintJob {
        std::vector<long> starts;
        int ended = 0;
        bool start() override { return true; }
        long length() override { return 100; }
        long measure(long from) override { return from < 60 ? from + 30 : from; }
        bool startPage() override { return true; }
        long format(long from) override {
            starts.push_back(from);
            return from < 60 ? from + 30 : from; // stuck at 60
        }
        bool endPage() override { return true; }
        void abort() override { ADD_FAILURE() << "no page failed"; }
        void end() override { ++ended; }
    } job;
    EXPECT_EQ(printFormattedRanges(job), RangeOutcome::Printed);
    EXPECT_EQ(job.starts, (std::vector<long>{0, 30, 60}));
    EXPECT_EQ(job.ended, 1);
    // A control that lays out nothing at all (Wine's has no page layout): no job at all.
    struct Flat final : RangePrintJob {
        bool start() override {
            ADD_FAILURE() << "no job for a control that cannot lay out pages";
            return true;
        }
        long length() override { return 100; }
        long measure(long) override { return 0; }
        bool startPage() override { return true; }
        long format(long) override { return 0; }
        bool endPage() override { return true; }
        void abort() override {}
        void end() override {}
    } flat;
    EXPECT_EQ(printFormattedRanges(flat), RangeOutcome::NotPaginated);
}

} // namespace
