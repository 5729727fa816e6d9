// The banner: its file name and address, the bitmap check before the window gets a file,
// the banner thread against a loopback server, and which picture the dialog shows.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "Client/Log.h"
#include "Client/ProgramInfoAccess.h"
#include "Client/Settings.h"
#include "Client/system/FileSystem.h"
#include "Client/system/ProcessObjects.h"
#include "Client/system/Registry.h"
#include "Client/ui/Banner.h"
#include "Client/ui/Dialog.h"
#include "DialogFakes.h"
#include "RegistrySandbox.h"
#include "sdk/text/TextConvert.h"
#include "support/LoopbackHttpServer.h"
#include "support/TestSupport.h"
#include "support/LogLines.h"

namespace qrnv {
namespace {

void Put16(std::string& b, std::uint32_t v)
{
    b += static_cast<char>(v & 0xFF);
    b += static_cast<char>((v >> 8) & 0xFF);
}

void Put32(std::string& b, std::uint32_t v)
{
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

struct BmpShape {
    std::int32_t width = 129;
    std::int32_t height = 58;
    std::uint32_t bits = 8;
    std::uint32_t compression = 0;
    std::uint32_t infoBytes = 40;
    std::uint32_t planes = 1;
    long sizeChange = 0;       // bytes cut off (negative) or added
    const char* magic = "BM";
    std::uint32_t offsetChange = 0; // added to the pixel offset
};

std::string MakeBmp(const BmpShape& s)
{
    const std::uint64_t rows = s.height < 0 ? -static_cast<std::int64_t>(s.height) : s.height;
    const std::uint64_t columns = s.width < 0 ? -static_cast<std::int64_t>(s.width) : s.width;
    const std::uint64_t rowBytes = ((columns * s.bits + 31) / 32) * 4;
    const std::uint32_t palette = s.bits <= 8 ? (1u << s.bits) * 4 : 0;
    const std::uint32_t offset = 14 + s.infoBytes + palette + s.offsetChange;
    const std::uint64_t size = offset + rowBytes * rows;
    std::string b;
    b += s.magic;
    Put32(b, static_cast<std::uint32_t>(size));
    Put32(b, 0);
    Put32(b, offset);
    Put32(b, s.infoBytes);
    if (s.infoBytes == 12) {
        Put16(b, static_cast<std::uint32_t>(s.width));
        Put16(b, static_cast<std::uint32_t>(s.height));
        Put16(b, s.planes);
        Put16(b, s.bits);
    } else {
        Put32(b, static_cast<std::uint32_t>(s.width));
        Put32(b, static_cast<std::uint32_t>(s.height));
        Put16(b, s.planes);
        Put16(b, s.bits);
        Put32(b, s.compression);
        Put32(b, static_cast<std::uint32_t>(rowBytes * rows));
        Put32(b, 2835);
        Put32(b, 2835);
        Put32(b, 0);
        Put32(b, 0);
    }
    b.resize(static_cast<std::size_t>(static_cast<long>(size) + s.sizeChange), '\0');
    return b;
}

TEST(BannerFile, NameFollowsTheProgramNameAndMajorVersion)
{
    struct Case {
        std::wstring name;
        std::wstring version;
        std::wstring expected;
    };
    const Case cases[] = {
        {L"Acme Backup 5", L"5.1.2", L"Banner_Acme_Backup_5_5.bmp"},
        {L"Quarn \u65e5Tool", L"12.0", L"Banner_Quarn_~102HTool_12.bmp"},
        {L"\u00dcbersicht", L"3.0.1", L"Banner_bersicht_3.bmp"},
        {L"Tool", L"7", L"Banner_Tool_.bmp"},
        {L"Tool-X.Pro", L"", L"Banner_ToolX.Pro_.bmp"},
    };
    for (const Case& c : cases) {
        ProgramInfo info;
        info.mProgramName = c.name;
        info.mProgramVersion = c.version;
        EXPECT_EQ(c.expected, BannerFileName(info)) << WideToUtf8(c.name);
    }
}

TEST(BannerFile, UsableBitmapsAreToldApartFromEverythingElse)
{
    struct Case {
        const char* name;
        BmpShape shape;
        bool usable;
    };
    const auto shape = [](auto change) {
        BmpShape s;
        change(s);
        return s;
    };
    const Case cases[] = {
        {"the built-in banner's shape", BmpShape{}, true},
        {"24 bits", shape([](BmpShape& s) { s.bits = 24; }), true},
        {"32 bits with bit fields", shape([](BmpShape& s) { s.bits = 32; s.compression = 3; }), true},
        {"top-down", shape([](BmpShape& s) { s.height = -58; }), true},
        {"old core header", shape([](BmpShape& s) { s.infoBytes = 12; s.bits = 24; }), true},
        {"version 5 header", shape([](BmpShape& s) { s.infoBytes = 124; }), true},
        {"RLE8", shape([](BmpShape& s) { s.compression = 1; }), true},
        {"one pixel short", shape([](BmpShape& s) { s.sizeChange = -1; }), false},
        {"pixels cut off after the header", shape([](BmpShape& s) { s.sizeChange = -(129 * 58); }), false},
        {"not a bitmap", shape([](BmpShape& s) { s.magic = "PK"; }), false},
        {"unknown header size", shape([](BmpShape& s) { s.infoBytes = 20; }), false},
        {"no width", shape([](BmpShape& s) { s.width = 0; }), false},
        {"negative width", shape([](BmpShape& s) { s.width = -5; }), false},
        {"too wide", shape([](BmpShape& s) { s.width = 5000; s.bits = 1; }), false},
        {"no height", shape([](BmpShape& s) { s.height = 0; }), false},
        {"most negative height", shape([](BmpShape& s) { s.height = INT32_MIN; s.sizeChange = 0; }), false},
        {"odd bit count", shape([](BmpShape& s) { s.bits = 7; }), false},
        {"two planes", shape([](BmpShape& s) { s.planes = 2; }), false},
        {"JPEG inside", shape([](BmpShape& s) { s.compression = 4; }), false},
        {"RLE8 top-down", shape([](BmpShape& s) { s.compression = 1; s.height = -58; }), false},
        {"RLE4 with 8 bits", shape([](BmpShape& s) { s.compression = 2; }), false},
        {"bit fields with 24 bits", shape([](BmpShape& s) { s.bits = 24; s.compression = 3; }), false},
        {"pixels behind the end", shape([](BmpShape& s) { s.offsetChange = 1u << 20; s.sizeChange = -(1 << 20); }),
         false},
    };
    for (const Case& c : cases) {
        std::string bytes;
        if (c.shape.height == INT32_MIN) {
            // Its pixels would be gigabytes: only the headers, with a plausible size.
            BmpShape headerOnly = c.shape;
            headerOnly.height = 1;
            bytes = MakeBmp(headerOnly);
            bytes[22] = 0;
            bytes[23] = 0;
            bytes[24] = 0;
            bytes[25] = static_cast<char>(0x80);
        } else {
            bytes = MakeBmp(c.shape);
        }
        EXPECT_EQ(c.usable, IsUsableBannerBitmapData(bytes.substr(0, 256), bytes.size())) << c.name;
    }
    EXPECT_FALSE(IsUsableBannerBitmapData("", 0));
    EXPECT_FALSE(IsUsableBannerBitmapData(MakeBmp(BmpShape{}).substr(0, 256), kMaxBannerFileBytes + 1));
}

TEST(BannerFile, FilesAreCheckedFromDisk)
{
    test::ScopedFolder folder;
    const std::wstring good = folder.Path() + L"good.bmp";
    const std::wstring empty = folder.Path() + L"empty.bmp";
    const std::wstring text = folder.Path() + L"text.bmp";
    ASSERT_TRUE(test::WriteFileBytes(good, MakeBmp(BmpShape{})));
    ASSERT_TRUE(test::WriteFileBytes(empty, ""));
    ASSERT_TRUE(test::WriteFileBytes(text, "<html>404 Not Found</html>"));
    EXPECT_TRUE(IsUsableBannerBitmap(good));
    EXPECT_FALSE(IsUsableBannerBitmap(empty));
    EXPECT_FALSE(IsUsableBannerBitmap(text));
    EXPECT_FALSE(IsUsableBannerBitmap(folder.Path() + L"missing.bmp"));
    EXPECT_FALSE(IsUsableBannerBitmap(folder.Path()));
}

// The banner with a product of its own, its settings in a sandbox and its files in a
// temporary folder of its own.
class BannerOfProduct : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetUpLog(L"QuarnRenova");
        mTemp = std::make_unique<test::ScopedTempPath>();
        ResetProgramInfoForTests();
        mInfo.mProgramName = mSandbox.UniqueProductName(L"Acme Backup");
        mInfo.mDisplayName = L"Acme Backup";
        mInfo.mProductTitle = L"Acme Backup";
        mInfo.mProgramVersion = L"5.1.2";
        mInfo.mLanguage = 1033;
        PublishProgramInfo(mInfo);
        gShowWindowAllowed = 0;
        mKey = std::wstring(kSettingsBaseKeyPath) + L"\\" + mInfo.mProgramName;
    }

    void TearDown() override
    {
        mDialog.reset();
        ResetProgramInfoForTests();
        mTemp.reset();
    }

    void SetUserValue(const std::wstring& name, const std::wstring& value)
    {
        RegKey key;
        ASSERT_TRUE(key.Create(RegHive::CurrentUser, mKey, RegView::Registry64));
        ASSERT_TRUE(key.WriteText(name, value));
    }

    Dialog& MakeDialog()
    {
        mDialog = std::make_unique<Dialog>(mWindow, mServices);
        return *mDialog;
    }

    std::int32_t Loading()
    {
        std::lock_guard<std::mutex> guard(gBannerLock);
        return mDialog->mBannerLoading;
    }

    test::RegistrySandbox mSandbox;
    std::unique_ptr<test::ScopedTempPath> mTemp;
    ProgramInfo mInfo;
    std::wstring mKey;
    test::FakeWindow mWindow;
    test::FakeServices mServices;
    std::unique_ptr<Dialog> mDialog;
};

TEST_F(BannerOfProduct, AddressUsesTheBuiltInBaseOrTheDebugSettings)
{
    std::wstring base;
    bool fromSetting = true;
    const std::wstring name = BannerFileName(mInfo);
    std::wstring url = BannerDownloadUrl(mInfo, base, fromSetting);
    EXPECT_FALSE(fromSetting);
    // The built-in base ends with "/" and is not trimmed.
    EXPECT_EQ(base + L"/Banner/" + name, url);
    EXPECT_EQ(L'/', base.back());

    SetUserValue(L"DebugUrl_v2", L"http://127.0.0.1:8080/Renova/");
    url = BannerDownloadUrl(mInfo, base, fromSetting);
    EXPECT_TRUE(fromSetting);
    EXPECT_EQ(L"http://127.0.0.1:8080/Renova//Banner/" + name, url);

    SetUserValue(L"DebugBannerDownloadUrl_v2", L"http://127.0.0.1:9090/pictures");
    url = BannerDownloadUrl(mInfo, base, fromSetting);
    EXPECT_EQ(L"http://127.0.0.1:9090/pictures/Banner/" + name, url);
}

TEST_F(BannerOfProduct, ThreadFetchesTheBannerOnceAndTheDialogShowsIt)
{
    test::LoopbackHttpServer server;
    const std::string path = "/pictures/Banner/" + WideToUtf8(BannerFileName(mInfo));
    server.ServeBody(path, MakeBmp(BmpShape{}));
    server.Start();
    SetUserValue(L"DebugBannerDownloadUrl_v2", server.Url(L"/pictures"));
    Dialog& dialog = MakeDialog();
    const test::LogCapture log;

    EXPECT_EQ(0u, BannerThread(nullptr));
    EXPECT_EQ(1, server.RequestCount(path));
    EXPECT_TRUE(log.Contains(L"WAR", L"Banner: Changed url to DEBUG-URL: " + server.Url(L"/pictures")));
    EXPECT_EQ(0, Loading());
    const std::wstring file = BannerFilePath(mInfo);
    EXPECT_TRUE(FileExists(file));

    // A banner already there is never fetched again.
    EXPECT_EQ(0u, BannerThread(nullptr));
    EXPECT_EQ(1, server.RequestCount(path));

    dialog.ShowBanner();
    ASSERT_EQ(1u, mWindow.mBanners.size());
    EXPECT_EQ(file, mWindow.mBanners[0]);
    EXPECT_TRUE(log.Contains(L"INF", L"Banner: Use bannerFileNameWithPath"));
}

TEST_F(BannerOfProduct, AFailedDownloadLeavesTheBuiltInBanner)
{
    test::LoopbackHttpServer server;
    const std::string path = "/Banner/" + WideToUtf8(BannerFileName(mInfo));
    server.ServeStatus(path, 404);
    server.Start();
    SetUserValue(L"DebugBannerDownloadUrl_v2", server.Url(L""));
    Dialog& dialog = MakeDialog();
    const test::LogCapture log;
    EXPECT_EQ(static_cast<unsigned>(-1), BannerThread(nullptr));
    EXPECT_EQ(1, server.RequestCount(path));
    EXPECT_EQ(0, Loading());
    dialog.ShowBanner();
    ASSERT_EQ(1u, mWindow.mBanners.size());
    EXPECT_EQ(L"", mWindow.mBanners[0]);
    EXPECT_TRUE(log.Contains(L"WAR", L"Banner: Use Default"));
    // The download's own failure lines are not logged.
    for (const std::wstring& line : log.Messages()) {
        EXPECT_EQ(std::wstring::npos, line.find(L"failed with Code")) << WideToUtf8(line);
    }
}

TEST_F(BannerOfProduct, AFileThatIsNoBitmapFallsBackToTheBuiltInBanner)
{
    Dialog& dialog = MakeDialog();
    for (const std::string& bytes : {std::string(), std::string("<html>Not Found</html>"),
                                     MakeBmp(BmpShape{}).substr(0, 600)}) {
        mWindow.mBanners.clear();
        ASSERT_TRUE(test::WriteFileBytes(BannerFilePath(mInfo), bytes));
        const test::LogCapture log;
        dialog.ShowBanner();
        ASSERT_EQ(1u, mWindow.mBanners.size());
        EXPECT_EQ(L"", mWindow.mBanners[0]);
        EXPECT_TRUE(log.Contains(L"ERR", L"Banner: " + BannerFilePath(mInfo) + L" is no usable bitmap"));
    }
}

TEST_F(BannerOfProduct, ABannerStillDownloadingIsNotShown)
{
    test::LoopbackHttpServer server;
    const std::string path = "/Banner/" + WideToUtf8(BannerFileName(mInfo));
    const std::string banner = MakeBmp(BmpShape{});
    server.ServeStalled(path, banner, 1000, 2);
    server.Start();
    SetUserValue(L"DebugUrl_v2", server.Url(L""));
    Dialog& dialog = MakeDialog();

    unsigned result = 99;
    std::thread thread([&] { result = BannerThread(nullptr); });
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while ((Loading() == 0 || server.RequestCount(path) == 0) && std::chrono::steady_clock::now() < limit) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_EQ(1, Loading());
    // Whatever part of the file is there already, it is not shown.
    dialog.ShowBanner();
    thread.join();
    EXPECT_EQ(0u, result);
    EXPECT_EQ(0, Loading());
    dialog.ShowBanner();
    ASSERT_EQ(2u, mWindow.mBanners.size());
    EXPECT_EQ(L"", mWindow.mBanners[0]);
    EXPECT_EQ(BannerFilePath(mInfo), mWindow.mBanners[1]);
}

TEST_F(BannerOfProduct, NoProductNoDownload)
{
    test::LoopbackHttpServer server;
    server.Start();
    SetUserValue(L"DebugUrl_v2", server.Url(L"/"));
    for (const std::wstring& name : {std::wstring(), std::wstring(L"Unknown")}) {
        ProgramInfo info = mInfo;
        info.mProgramName = name;
        PublishProgramInfo(info);
        EXPECT_EQ(static_cast<unsigned>(-1), BannerThread(nullptr)) << WideToUtf8(name);
        if (!name.empty()) {
            EXPECT_FALSE(FileExists(BannerFilePath(info)));
        }
    }
    // The "Unknown" text of the product's language: German here.
    ProgramInfo german = mInfo;
    german.mProgramName = L"Unbekannt";
    german.mLanguage = 1031;
    PublishProgramInfo(german);
    EXPECT_EQ(static_cast<unsigned>(-1), BannerThread(nullptr));
    EXPECT_FALSE(FileExists(BannerFilePath(german)));
}

} // namespace
} // namespace qrnv
