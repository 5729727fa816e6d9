#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>
#include <optional>

#include "Client/CmdLineInfo.h"
#include "Client/service/QuickCheck.h"
#include "Client/system/FileSystem.h"
#include "Client/system/Registry.h"
#include "ServiceFixture.h"
#include "support/LoopbackServer.h"

namespace qrnv {
namespace {

using Elements = std::vector<std::pair<std::string, std::string>>;

std::string Escape(const std::string& text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        default: out.push_back(c);
        }
    }
    return out;
}

std::string AnswerDocument(const Elements& elements)
{
    std::string out = "<QuickCheckResponse>";
    for (const auto& [name, text] : elements) {
        out += "<" + name + ">" + Escape(text) + "</" + name + ">";
    }
    return out + "</QuickCheckResponse>";
}

// The answer wrapped as the service sends it: the document as escaped text of the root.
std::string Wrapped(const std::string& inner)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<string xmlns=\"http://tempuri.org/\">" + Escape(inner) +
           "</string>";
}

const wchar_t* const kUpdateEnglish =
    L"A more up-to-date program version is available. Would you like to install it now?\n"
    L"Please close all programs before starting the installation!";
const wchar_t* const kUpdateGerman =
    L"Eine aktuellere Programmversion ist verfügbar. Möchten Sie diese jetzt installieren?\n"
    L"Bitte schließen Sie alle Programme vor dem Ausführen der Installation!";
const wchar_t* const kUpdateJapanese = L"お使いの製品のアップデートが利用可能です。今すぐインストールしますか？\n"
                                       L"インストールする際はすべての他の ソフトウェアを終了してください。";
const wchar_t* const kUnavailableEnglish = L"Server is temporarily unavailable during maintenance.";
const wchar_t* const kUnavailableGerman = L"Server aufgrund von Wartungsarbeiten zeitweise nicht verfügbar.";
const wchar_t* const kUnavailableJapanese = L"サーバーはメンテナンス中により一時的に利用できません。";
const wchar_t* const kNoConnectionEnglish = L"Connection to server failed. Please check your internet connection.";
const wchar_t* const kNoConnectionGerman =
    L"Es konnte keine Verbindung zum Server aufgebaut werden. Bitte überprüfen Sie ihre Internetverbindung.";
const wchar_t* const kNoConnectionJapanese = L"サーバーへの接続に失敗しました。インターネット接続を確認してください。";
const wchar_t* const kUpToDateEnglish = L"You already have the most recent version.";
const wchar_t* const kUpToDateGerman =
    L"Es wird keine Aktualisierung benötigt, die aktuellste Version ist bereits installiert.";
const wchar_t* const kUpToDateJapanese = L"現在お使いのバージョンは、最新です。";

TEST(CheckResultMessage, TextsAndFlagsInEachLanguage)
{
    const struct {
        UpdateResult result;
        std::uint32_t flag;
        const wchar_t* english;
        const wchar_t* german;
        const wchar_t* japanese;
    } cases[] = {
        {UPDATE_AVAILABLE, 1, kUpdateEnglish, kUpdateGerman, kUpdateJapanese},
        {UPDATE_AND_UPGRADE_AVAILABLE, 1, kUpdateEnglish, kUpdateGerman, kUpdateJapanese},
        {NO_WORKER_AVAILABLE, 0, kUnavailableEnglish, kUnavailableGerman, kUnavailableJapanese},
        {SERVER_UNAVAILABLE, 0, kUnavailableEnglish, kUnavailableGerman, kUnavailableJapanese},
        {NO_INTERNET_CONNECTION, 0, kNoConnectionEnglish, kNoConnectionGerman, kNoConnectionJapanese},
        {SERVER_ERROR, 0, L"Quarn Renova has encountered an error. Please contact the support.",
         L"Quarn Renova hat einen Fehler festgestellt, bitte kontaktieren Sie unseren Kundenservice.",
         L"自動更新プログラムにエラーが発生しました。サポートまでお問い合わせください。"},
        {UPGRADE_AVAILABLE, 0, kUpToDateEnglish, kUpToDateGerman, kUpToDateJapanese},
    };
    for (const auto& c : cases) {
        for (const auto& [language, text] : {std::pair{1033, c.english}, std::pair{1031, c.german},
                                             std::pair{1041, c.japanese}, std::pair{2057, c.english}}) {
            std::uint32_t flag = 7;
            std::wstring stored;
            ASSERT_TRUE(CheckResultMessage(c.result, language, L"", flag, stored)) << c.result;
            EXPECT_EQ(c.flag, flag) << c.result;
            EXPECT_EQ(text, stored) << c.result << " " << language;
        }
    }
    for (UpdateResult none : {CHECK_NOT_DUE, NO_UPDATE, NEW_WORKER_AVAILABLE, OLD_WORKER_AVAILABLE, REQUEST_NOT_BUILT,
                              WORKER_NOT_STARTED, AD_CAMPAIGN_AVAILABLE, NO_AD_CAMPAIGN}) {
        std::uint32_t flag = 7;
        std::wstring stored = L"untouched";
        EXPECT_FALSE(CheckResultMessage(none, 1033, L"", flag, stored)) << none;
    }
}

TEST(CheckResultMessage, TheWindowCaptionReplacesTheProductNameOfTheErrorTexts)
{
    std::uint32_t flag = 0;
    std::wstring text;
    ASSERT_TRUE(CheckResultMessage(SERVER_ERROR, 1031, L"Acme Backup", flag, text));
    EXPECT_EQ(L"Acme Backup hat einen Fehler festgestellt, bitte kontaktieren Sie unseren Kundenservice.", text);
    ASSERT_TRUE(CheckResultMessage(SERVER_ERROR, 1041, L"Acme", flag, text));
    EXPECT_EQ(L"Acmeにエラーが発生しました。サポートまでお問い合わせください。", text);
    // A caption that holds the name itself is put in once.
    ASSERT_TRUE(CheckResultMessage(SERVER_ERROR, 1033, L"Quarn Renova Pro", flag, text));
    EXPECT_EQ(L"Quarn Renova Pro has encountered an error. Please contact the support.", text);
    // Only the error texts name the product.
    ASSERT_TRUE(CheckResultMessage(UPDATE_AVAILABLE, 1033, L"Acme", flag, text));
    EXPECT_EQ(kUpdateEnglish, text);

    EXPECT_EQ(L"An other instance of the Quarn Renova is still running.", OtherInstanceMessage(1033, L""));
    EXPECT_EQ(L"Es läuft bereits eine Instance des Acme.", OtherInstanceMessage(1031, L"Acme"));
    EXPECT_EQ(L"別のAcmeが実行中です。", OtherInstanceMessage(1041, L"Acme"));
}

class QuickCheckTest : public test::ServiceFixture {
protected:
    void SetUp() override
    {
        mServer.Server().Post(R"(/Renova/QRNVWebservice\.asmx/QuickCheck)",
                              [this](const httplib::Request&, httplib::Response& res) {
                                  std::lock_guard<std::mutex> lock(mLock);
                                  ++mRequests;
                                  res.status = mStatus;
                                  res.set_content(mBody, "text/xml; charset=utf-8");
                              });
        ASSERT_NE(0, mServer.Start());
        SetDebugUrl(mServer.BaseUrl() + L"Renova/");
        mDriver.mCmdLine = &mCmdLine;
    }
    void Answer(int status, const std::string& body)
    {
        std::lock_guard<std::mutex> lock(mLock);
        mStatus = status;
        mBody = body;
    }
    int Requests()
    {
        std::lock_guard<std::mutex> lock(mLock);
        return mRequests;
    }
    void SetLastCheck(std::int64_t time) { PutText(RegHive::LocalMachine, mVersionKey, L"LastUpdateCheck", std::to_wstring(time)); }
    void ForgetLastCheck()
    {
        RegKey key;
        if (key.Open(RegHive::LocalMachine, mVersionKey, RegView::Registry64, true)) {
            key.DeleteValue(L"LastUpdateCheck");
        }
    }

    std::mutex mLock;
    int mStatus = 200;
    std::string mBody;
    int mRequests = 0;
    // After the state its handlers use: the server stops before that state is destroyed.
    test::LoopbackServer mServer;
    CmdLineInfo mCmdLine;
    QuickCheck mDriver;
};

TEST_F(QuickCheckTest, ReadResponseTakesTheKnownElements)
{
    const test::LogCapture log;
    mDriver.ReadResponse(AnswerDocument({{"Other", "x"},
                                         {"RenovaWorkerUrl", "http://127.0.0.1/w.exe"},
                                         {"MaxUpdateableProductVersionExistingOnServer", "2.3.4"},
                                         {"MajorUpgradeProductVersion", "12abc"},
                                         {"AdViewerUrl", "http://127.0.0.1/v.exe"},
                                         {"AdCampaignId", "42"}}));
    EXPECT_EQ(0, mDriver.mHasServerError);
    EXPECT_EQ(L"http://127.0.0.1/w.exe", mDriver.mRenovaWorkerUrl);
    EXPECT_EQ(L"2.3.4", mDriver.mMaxUpdateableProductVersion);
    EXPECT_EQ(12, mDriver.mMajorUpgradeProductVersion);
    EXPECT_EQ(L"http://127.0.0.1/v.exe", mDriver.mAdViewerUrl);
    EXPECT_EQ(L"42", mDriver.mAdCampaignId);
    const std::vector<std::wstring> expected = {
        L"start LoadAndReadResponseXML",
        L"renovaWorkerUrl = http://127.0.0.1/w.exe",
        L"MaxpdateableProductVersionExistingOnServer = 2.3.4",
        L"MajorUpgradeProductVersion = 12abc",
        L"adViewerDownloadUrl = http://127.0.0.1/v.exe",
        L"AdCampaignId = 42",
        L"end LoadAndReadResponseXML",
    };
    EXPECT_EQ(expected, log.Messages());
}

TEST_F(QuickCheckTest, ReadResponseLeavesFieldsOfMissingEmptyOrBrokenElements)
{
    mDriver.mRenovaWorkerUrl = L"earlier";
    mDriver.mMajorUpgradeProductVersion = 3;
    mDriver.mAdCampaignId = L"7";
    for (const std::string& answer :
         {AnswerDocument({{"RenovaWorkerUrl", ""}, {"MajorUpgradeProductVersion", ""}}),
          std::string("<QuickCheckResponse><AdCampaignId><b>9</b></AdCampaignId></QuickCheckResponse>"),
          std::string("<QuickCheckResponse><RenovaWorkerUrl>x</RenovaWorkerUrl>"), std::string("not xml"),
          // Not XML, though the library would read it with a wrong byte in the address.
          std::string("<R><RenovaWorkerUrl>http://h/w?a=&lt;1&b=2</RenovaWorkerUrl></R>"),
          std::string("")}) {
        mDriver.ReadResponse(answer);
        EXPECT_EQ(L"earlier", mDriver.mRenovaWorkerUrl) << answer;
        EXPECT_EQ(3, mDriver.mMajorUpgradeProductVersion) << answer;
        EXPECT_EQ(L"7", mDriver.mAdCampaignId) << answer;
        EXPECT_EQ(0, mDriver.mHasServerError) << answer;
    }
}

TEST_F(QuickCheckTest, RunDecidesByModeAndAnswer)
{
    enum Mode { Normal, Quick, AdViewer, QuickAndAdViewer };
    const struct {
        const char* name;
        Mode mode;
        int status;
        std::string body;
        bool oldWorker;
        UpdateResult result;
        bool stamped;
    } cases[] = {
        {"update and upgrade", Quick, 200,
         Wrapped(AnswerDocument({{"MaxUpdateableProductVersionExistingOnServer", "2.3.4"}, {"MajorUpgradeProductVersion", "5"}})),
         false, UPDATE_AND_UPGRADE_AVAILABLE, false},
        {"upgrade not a number", Quick, 200,
         Wrapped(AnswerDocument({{"MaxUpdateableProductVersionExistingOnServer", "2.3.4"}, {"MajorUpgradeProductVersion", "abc"}})),
         false, UPDATE_AVAILABLE, false},
        {"upgrade only", Quick, 200, Wrapped(AnswerDocument({{"MajorUpgradeProductVersion", "6"}})), false,
         UPGRADE_AVAILABLE, false},
        {"nothing new", Quick, 200, Wrapped(AnswerDocument({})), false, NO_UPDATE, false},
        {"inner answer not xml", Quick, 200, Wrapped("garbage"), false, NO_UPDATE, false},
        {"campaign", AdViewer, 200, Wrapped(AnswerDocument({{"AdCampaignId", "42"}})), false, AD_CAMPAIGN_AVAILABLE, false},
        {"ad viewer before quick check", QuickAndAdViewer, 200,
         Wrapped(AnswerDocument({{"MaxUpdateableProductVersionExistingOnServer", "2.0"}, {"AdCampaignId", "42"}})), false,
         AD_CAMPAIGN_AVAILABLE, false},
        {"no campaign", QuickAndAdViewer, 200,
         Wrapped(AnswerDocument({{"MaxUpdateableProductVersionExistingOnServer", "2.0"}})), false, NO_AD_CAMPAIGN, false},
        {"new worker", Normal, 200, Wrapped(AnswerDocument({{"RenovaWorkerUrl", "http://127.0.0.1/w.exe"}})), false,
         NEW_WORKER_AVAILABLE, false},
        {"old worker", Normal, 200, Wrapped(AnswerDocument({})), true, OLD_WORKER_AVAILABLE, false},
        {"no worker", Normal, 200, Wrapped(AnswerDocument({})), false, NO_WORKER_AVAILABLE, false},
        {"server error", Quick, 200,
         Wrapped(AnswerDocument({{"ErrorMessage", "boom"}, {"MaxUpdateableProductVersionExistingOnServer", "2.0"}})), false,
         SERVER_ERROR, true},
        {"server error in ad mode", AdViewer, 200, Wrapped(AnswerDocument({{"ErrorMessage", "boom"}, {"AdCampaignId", "1"}})),
         false, SERVER_ERROR, true},
        {"empty wrapper", Quick, 200, "<string xmlns=\"http://tempuri.org/\" />", false, SERVER_UNAVAILABLE, true},
        {"empty body", Normal, 200, "", false, SERVER_UNAVAILABLE, true},
        {"element first", Quick, 200, "<string><QuickCheckResponse/></string>", false, SERVER_UNAVAILABLE, true},
        {"status 503", Quick, 503, "busy", false, IsInternetConnected() ? SERVER_UNAVAILABLE : NO_INTERNET_CONNECTION,
         IsInternetConnected()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ForgetLastCheck();
        std::error_code ignored;
        std::filesystem::remove(test::ToFsPath(ProductFolder() + L"QuarnRenovaWorker.exe"), ignored);
        if (c.oldWorker) {
            PlaceProgram(L"qrnv_test_child", L"QuarnRenovaWorker.exe");
        }
        mCmdLine.mQuickCheck = c.mode == Quick || c.mode == QuickAndAdViewer;
        mCmdLine.mOnlyAdViewer = c.mode == AdViewer || c.mode == QuickAndAdViewer;
        Answer(c.status, c.body);
        QuickCheck driver;
        driver.mCmdLine = &mCmdLine;
        const std::int64_t before = CurrentUnixTime();
        const UpdateOutcome outcome = driver.Run();
        const std::int64_t after = CurrentUnixTime();
        EXPECT_EQ(c.result, outcome.mResult);
        EXPECT_EQ(0u, outcome.mDetail);
        const auto stamp = LastUpdateCheck();
        if (c.stamped) {
            ASSERT_TRUE(stamp.has_value());
            const std::int64_t t = std::stoll(*stamp);
            EXPECT_LE(before, t);
            EXPECT_LE(t, after);
        } else {
            EXPECT_EQ(std::nullopt, stamp);
        }
    }
}

TEST_F(QuickCheckTest, AServerErrorKeepsTheWorkerAddressAndLogsTheMessage)
{
    Answer(200, Wrapped(AnswerDocument({{"ErrorMessage", "Unknown product"}, {"RenovaWorkerUrl", "http://127.0.0.1/w.exe"}})));
    const test::LogCapture log;
    EXPECT_EQ(SERVER_ERROR, mDriver.Run().mResult);
    EXPECT_EQ(1, mDriver.mHasServerError);
    EXPECT_EQ(L"http://127.0.0.1/w.exe", mDriver.mRenovaWorkerUrl);
    EXPECT_TRUE(log.Contains(L"ERR", L"QuickCheckResponse.xml contains ServerErrorMessage Unknown product"));
    EXPECT_TRUE(log.Contains(L"ERR", L"ResponseString contains ServerErrorMesage! "));
}

TEST_F(QuickCheckTest, LogLinesOfAnEmptyAnswerAndOfAFailedPost)
{
    Answer(200, "");
    {
        const test::LogCapture log;
        EXPECT_EQ(SERVER_UNAVAILABLE, mDriver.Run().mResult);
        EXPECT_TRUE(log.Contains(L"INF", L"Server response = "));
        EXPECT_TRUE(log.Contains(L"ERR", L"Length of responseString = 0"));
    }
    Answer(500, "");
    const test::LogCapture log;
    mDriver.Run();
    EXPECT_TRUE(log.Contains(L"ERR", L"/QuickCheck result = 500"));
    EXPECT_TRUE(log.Contains(L"ERR", L"result != S_OK"));
}

TEST_F(QuickCheckTest, WithWriteCheckResultToRegTheResultGoesToBothUserKeys)
{
    mCmdLine.mWriteCheckResultToReg = 1;
    mCmdLine.mQuickCheck = 1;
    mInfo.mLanguage = 1031;
    Publish();

    Answer(200, Wrapped(AnswerDocument({})));
    EXPECT_EQ(NO_UPDATE, mDriver.Run().mResult);
    for (const auto& key : {mProductKey, mVersionKey}) {
        EXPECT_EQ(std::nullopt, Number(RegHive::CurrentUser, key, L"UpdateResult")) << "no update stores nothing";
        EXPECT_EQ(std::nullopt, Text(RegHive::CurrentUser, key, L"UpdateResultString"));
    }

    Answer(200, Wrapped(AnswerDocument({{"MajorUpgradeProductVersion", "6"}})));
    QuickCheck upgrade;
    upgrade.mCmdLine = &mCmdLine;
    EXPECT_EQ(UPGRADE_AVAILABLE, upgrade.Run().mResult);
    for (const auto& key : {mProductKey, mVersionKey}) {
        EXPECT_EQ(0u, Number(RegHive::CurrentUser, key, L"UpdateResult")) << key;
        EXPECT_EQ(kUpToDateGerman, Text(RegHive::CurrentUser, key, L"UpdateResultString")) << key;
    }

    mCmdLine.mWindowCaption = L"Acme Backup";
    Answer(200, Wrapped(AnswerDocument({{"ErrorMessage", "x"}})));
    QuickCheck error;
    error.mCmdLine = &mCmdLine;
    EXPECT_EQ(SERVER_ERROR, error.Run().mResult);
    EXPECT_EQ(L"Acme Backup hat einen Fehler festgestellt, bitte kontaktieren Sie unseren Kundenservice.",
              Text(RegHive::CurrentUser, mVersionKey, L"UpdateResultString"));

    Answer(200, Wrapped(AnswerDocument({{"MaxUpdateableProductVersionExistingOnServer", "2.0"}})));
    QuickCheck update;
    update.mCmdLine = &mCmdLine;
    EXPECT_EQ(UPDATE_AVAILABLE, update.Run().mResult);
    EXPECT_EQ(1u, Number(RegHive::CurrentUser, mProductKey, L"UpdateResult"));
    EXPECT_EQ(kUpdateGerman, Text(RegHive::CurrentUser, mProductKey, L"UpdateResultString"));
}

TEST_F(QuickCheckTest, IsCheckDueByTheIntervalAndTheLastCheck)
{
    const std::int64_t hour = 3600;
    const struct {
        const char* name;
        std::int32_t interval;
        bool stub;
        std::optional<std::int64_t> lastAgo; // seconds before now; nothing: no value
        bool due;
        const wchar_t* line;
    } cases[] = {
        {"23 hours of 24", 24, false, 23 * hour, false, L"UpdateCheck not necessary because it is only 23 hours since last Update."},
        {"24 hours of 24", 24, false, 24 * hour, true, nullptr},
        {"a week of 24", 24, false, 7 * 24 * hour, true, nullptr},
        {"two hours ahead", 24, false, -2 * hour - 60, false, L"UpdateCheck not necessary because it is only -2 hours since last Update."},
        {"interval 0", 0, false, 0, true, nullptr},
        {"interval 0, ahead", 0, false, -2 * hour, true, nullptr},
        {"stub", 24, true, 0, true, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        mInfo.mIsStubExe = c.stub ? 1 : 0;
        Publish();
        mCmdLine.mUpdateIntervalInHours = c.interval;
        SetLastCheck(CurrentUnixTime() - *c.lastAgo);
        const std::wstring before = LastUpdateCheck().value_or(L"");
        const test::LogCapture log;
        EXPECT_EQ(c.due, mDriver.IsCheckDue());
        if (c.line) {
            EXPECT_EQ(std::vector<std::wstring>{c.line}, log.Messages());
        }
        EXPECT_EQ(before, LastUpdateCheck()) << "deciding leaves the stamp alone";
    }
}

TEST_F(QuickCheckTest, AMissingOrUnreadableLastCheckIsResetAndTheCheckRuns)
{
    mCmdLine.mUpdateIntervalInHours = 24;
    for (bool asNumber : {false, true}) {
        ForgetLastCheck();
        if (asNumber) {
            RegKey key;
            ASSERT_TRUE(key.Create(RegHive::LocalMachine, mVersionKey, RegView::Registry64));
            ASSERT_TRUE(key.WriteNumber(L"LastUpdateCheck", static_cast<std::uint32_t>(CurrentUnixTime())));
        }
        const test::LogCapture log;
        EXPECT_TRUE(mDriver.IsCheckDue());
        EXPECT_TRUE(log.Contains(L"INF", L"ResetLastUpdateCheck()"));
        EXPECT_EQ(L"0", LastUpdateCheck());
        // "0" is the far past: the next run checks as well.
        EXPECT_TRUE(mDriver.IsCheckDue());
    }
}

TEST_F(QuickCheckTest, ACheckThatIsNotDueSendsNothing)
{
    mCmdLine.mUpdateIntervalInHours = 24;
    SetLastCheck(CurrentUnixTime() - 3600);
    Answer(200, Wrapped(AnswerDocument({{"RenovaWorkerUrl", "http://127.0.0.1/w.exe"}})));
    const UpdateOutcome outcome = mDriver.Run();
    EXPECT_EQ(CHECK_NOT_DUE, outcome.mResult);
    EXPECT_EQ(0, Requests());
    EXPECT_EQ(L"", mDriver.mRenovaWorkerUrl);
}

} // namespace
} // namespace qrnv
