#include "Client/ui/Texts.h"

#include <array>
#include <iterator>

// This file is UTF-8; both compilers read it as such and store the literals as wide texts.

namespace qrnv {
namespace {

struct TextRow {
    const wchar_t* mGerman;
    const wchar_t* mEnglish;
    const wchar_t* mJapanese;
};

// Rows that no window shows stay, so that every row keeps its number. Trailing blanks, the
// tab of row 15 and the typographic apostrophe of row 7 are part of the texts.
constexpr TextRow kRows[] = {
    /* 0 */ {L"Eine aktuellere Programmversion ist verfügbar. Möchten Sie diese jetzt installieren?\nBitte schließen Sie alle Programme vor dem Ausführen der Installation!",
             L"A more up-to-date program version is available. Would you like to install it now?\nPlease close all programs before starting the installation!",
             L"お使いの製品のアップデートが利用可能です。今すぐインストールしますか？\nインストールする際はすべての他の ソフトウェアを終了してください。"},
    /* 1 */ {L"Es wird keine Aktualisierung benötigt, die aktuellste Version ist bereits installiert.",
             L"You already have the most recent version.",
             L"現在お使いのバージョンは、最新です。"},
    /* 2 */ {L"Die Installation steht zur Zeit leider nicht zur verfügung.",
             L"The installation is currently not availible.",
             L"インストールは現在利用できません。"},
    /* 3 */ {L"Das temporäre Verzeichnis konnte nicht gelöscht werden!",
             L"Failed to delete cache directory!",
             L"一時フォルダーの削除に失敗しました。"},
    /* 4 */ {L"OK", L"OK", L"OK"},
    /* 5 */ {L"Installieren", L"Install", L"インストール"},
    /* 6 */ {L"Jetzt nicht", L"Not now", L"後で"},
    /* 7 */ {L"Diese Aktualisierung nicht mehr anzeigen.",
             L"Don’t notify me about this update again.",
             L"アップデートについて再度通知しない"},
    /* 8 */ {L"Führe Aktualisierung durch...", L"Update in progress...", L"アップデート中..."},
    /* 9 */ {L"Bereite Installation vor...", L"Prepare installation...", L"インストールの準備中..."},
    /* 10 */ {L"Die Aktualisierung war erfolgreich!",
              L"Update installed successfully!",
              L"正常にアップデートされました。"},
    /* 11 */ {L"Die Installation war erfolgreich!",
              L"Program installed successfully!",
              L"プログラムが正常にインストールされました。"},
    /* 12 */ {L"Die Aktualisierung ist fehlgeschlagen!",
              L"Update has failed to complete!",
              L"アップデートが完了しませんでした。"},
    /* 13 */ {L"Die Installation ist fehlgeschlagen!",
              L"Program installation has failed!",
              L"プログラムのインストールに失敗しました。"},
    /* 14 */ {L"Verbinde mit dem Server... ",
              L"Connecting to server... ",
              L"サーバーに接続しています... "},
    /* 15 */ {L"Lösche temporäres Verzeichnis...",
              L"Deleting\tcache directory...",
              L"一時フォルダを削除しています..."},
    /* 16 */ {L"Herunterladen der Datei \"%s\"...",
              L"Downloading file \"%s\"...",
              L"ファイル \"%s\" をダウンロードしています..."},
    /* 17 */ {L"Datei \"%s\" wurde erfolgreich heruntergeladen",
              L"Downloading file \"%s\" succeeded",
              L"ファイル \"%s\" のダウンロードに成功しました。"},
    /* 18 */ {L"Datei \"%s\" konnte nicht erfolgreich heruntergeladen werde!",
              L"Downloading \"%s\" has failed!",
              L"\"%s\" のダウンロードに失敗しました"},
    /* 19 */ {L"Starte Installation...", L"Starting installation...", L"インストールの開始しています..."},
    /* 20 */ {L"Kopiere neue Dateien...", L"Copying new files...", L"新規ファイルをコピーしています..."},
    /* 21 */ {L"Aktualisiere \"Quarn Renova\"...",
              L"Updating \"Quarn Renova\"...",
              L"アップデート中 \"Quarn Renova\"..."},
    /* 22 */ {L"%s / %s", L"%s / %s", L"%s / %s"},
    /* 23 */ {L"Produkt:", L"Product:", L"製品名:"},
    /* 24 */ {L"Ihre Version:", L"Your version:", L"お使いのバージョン:"},
    /* 25 */ {L"Verfügbare Version:", L"Available version:", L"利用可能なバージョン:"},
    /* 26 */ {L"Quarn Renova beenden", L"End Quarn Renova", L"自動更新の終了"},
    /* 27 */ {L"Wollen Sie Quarn Renova wirklich beenden?",
              L"Do you really want to end Quarn Renova?",
              L"自動更新プログラムを終了してもよろしいですか？"},
    /* 28 */ {L"Installation abbrechen", L"cancel installation", L"インストールをキャンセル"},
    /* 29 */ {L"Sind Sie sicher, dass Sie die Installation abbrechen wollen?",
              L"Are you sure you want to cancel the installation?",
              L"インストールをキャンセルしてもよろしいですか？"},
    /* 30 */ {L"Server aufgrund von Wartungsarbeiten zeitweise nicht verfügbar.",
              L"Server is temporarily unavailable during maintenance.",
              L"サーバーはメンテナンス中により一時的に利用できません。"},
    /* 31 */ {L"Konnte keine Verbindung zum Server aufbauen!",
              L"Cannot connect to server!",
              L"サーバーに接続できませんでした。"},
    /* 32 */ {L"Abbrechen", L"Abort", L"中止"},
    /* 33 */ {L"Version:", L"Version:", L"バージョン:"},
    /* 34 */ {L"Schließen", L"Close", L"閉じる"},
    /* 35 */ {L"Professional", L"Professional", L"Professional"},
    /* 36 */ {L"Workstation", L"Workstation", L"Workstation"},
    /* 37 */ {L"Server", L"Server", L"Server"},
    /* 38 */ {L"Tech", L"Tech", L"Tech"},
    /* 39 */ {L"Admin", L"Admin", L"Admin"},
    /* 40 */ {L"Edition", L"Edition", L"Edition"},
    /* 41 */ {L"Media", L"Media", L"Media"},
    /* 42 */ {L"Express", L"Express", L"Express"},
    /* 43 */ {L"Änderungen in der neuen Version anzeigen",
              L"Show changes in the new version",
              L"新しいバージョンでの変更"},
    /* 44 */ {L"Wichtiger Hinweis:", L"Important hint:", L"重要なヒント:"},
    /* 45 */ {L"Es ist außerdem ein Produktupgrade verfügbar.\nDieses kann für Sie kostenpflichtig sein.",
              L"There is also a product upgrade available.\nThis may be subject to a fee.",
              L"製品のアップグレードも利用可能です。\nこれは、有料となる可能性があります。"},
    /* 46 */ {L"Mehr Informationen zum Upgrade anzeigen",
              L"More information about the upgrade",
              L"アップグレードの詳細について"},
    /* 47 */ {L"Bereite Updatecheck vor ...", L"Prepare update check ...", L"アップデート確認の準備 ..."},
    /* 48 */ {L"Quarn Renova hat einen Fehler festgestellt, bitte kontaktieren Sie unseren Kundenservice.",
              L"Quarn Renova has encountered an error. Please contact the support.",
              L"自動更新プログラムにエラーが発生しました。サポートまでお問い合わせください。"},
    /* 49 */ {L"Bitte benutzen Sie die 64 Bit Version.",
              L"Please use the 64 bit application.",
              L"64ビット版を使用してください。"},
    /* 50 */ {L"Quarn Renova", L"Quarn Renova", L"自動更新プログラム"},
    /* 51 */ {L"Es läuft bereits eine Instance des Quarn Renova. Soll diese geschlossen werden?",
              L"Another Quarn Renova session is active. Do you want to end this active session automatically?",
              L"別の自動更新プログラムが実行されています。自動的に実行中の自動更新プログラムを終了しますか？"},
    /* 52 */ {L"Es läuft bereits eine Instance des Quarn Renova.",
              L"An other instance of the Quarn Renova is still running.",
              L"別の自動更新プログラムが実行中です。"},
    /* 53 */ {L"Es konnte keine Verbindung zum Server aufgebaut werden. Bitte überprüfen Sie ihre Internetverbindung.",
              L"Connection to server failed. Please check your internet connection.",
              L"サーバーへの接続に失敗しました。インターネット接続を確認してください。"},
    /* 54 */ {L"Weiter", L"Continue", L"続行"},
    /* 55 */ {L"Später erneut erinnern", L"Remind me again later ", L"後で表示する"},
    /* 56 */ {L"Es ist ein möglicherweise kostenpflichtiges Upgrade für Ihr Produkt verfügbar.\nMöchten Sie es jetzt installieren?",
              L"An upgrade for your product is available which may attract a fee. Would you like to install now?",
              L"ご使用の製品をアップグレードすると、料金が発生する可能性があります。今すぐアップグレードしますか？"},
    /* 57 */ {L"Diesen Hinweis nicht mehr anzeigen",
              L"Do not show this notice again",
              L"この通知を表示しない"},
    /* 58 */ {L"%s - Version %d", L"%s - version %d", L"%s - バージョン %d"},
    /* 59 */ {L"Installieren und aktuelle Version ersetzen",
              L"Install and replace the current version",
              L"インストールして現在のバージョンを置き換える"},
    /* 60 */ {L"Quarn Renova", L"Quarn Renova", L"自動更新プログラム"},
    /* 61 */ {L"Ihr Betriebssystem wird von dieser Produktversion nicht unterstützt!",
              L"This version of the product does not support your operating system.",
              L"このバージョンの製品は、お使いのオペレーティングシステムをサポートしていません。"},
    /* 62 */ {L"Hier erhalten Sie weitere Informationen",
              L"You can get further information right here.",
              L"ここから詳しい情報をご覧ください。"},
    /* 63 */ {L"Leider ist beim Download etwas schiefgelaufen.\nBitte laden Sie die Datei mit folgendem Link manuell herunter:",
              L"Unfortunately something went wrong with the Download.\nPlease download the file manually using the following link:",
              L"ダウンロード中に問題が発生しました。\nお手数ですが、再度次のリンクから手動でダウンロードをしてください。:"},
    /* 64 */ {L"Download starten", L"start download", L"ダウンロードを開始する"},
    /* 65 */ {L"Unbekannt", L"Unknown", L"不明"},
};
static_assert(std::size(kRows) == kTextCount);

using TextColumns = std::array<std::wstring, 3>;

// Built once, on first use (thread-safe), so callers can hold references to the texts.
const std::array<TextColumns, kTextCount>& Table()
{
    static const std::array<TextColumns, kTextCount> table = [] {
        std::array<TextColumns, kTextCount> t;
        for (int i = 0; i < kTextCount; ++i) {
            t[i] = {kRows[i].mGerman, kRows[i].mEnglish, kRows[i].mJapanese};
        }
        return t;
    }();
    return table;
}

std::size_t ColumnOf(TextLanguage language)
{
    switch (language) {
    case TextLanguage::German:
        return 0;
    case TextLanguage::Japanese:
        return 2;
    case TextLanguage::English:
        break;
    }
    return 1;
}

} // namespace

std::int32_t EffectiveLanguageId(std::int32_t programLanguage, std::int32_t systemDefaultLanguage)
{
    return programLanguage != 0 ? programLanguage : systemDefaultLanguage;
}

TextLanguage SelectLanguage(std::int32_t languageId)
{
    if (languageId == kLanguageIdGerman) {
        return TextLanguage::German;
    }
    if (languageId == kLanguageIdJapanese) {
        return TextLanguage::Japanese;
    }
    return TextLanguage::English;
}

const std::wstring& GetText(int row, TextLanguage language)
{
    static const std::wstring kEmpty;
    if (row < 0 || row >= kTextCount) {
        return kEmpty;
    }
    return Table()[static_cast<std::size_t>(row)][ColumnOf(language)];
}

const std::wstring& GetText(int row, std::int32_t languageId)
{
    return GetText(row, SelectLanguage(languageId));
}

} // namespace qrnv
