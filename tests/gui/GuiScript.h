#pragma once
// What the GUI test subject and its driver agree on: the product shown, the displays the
// subject can enter, the names of the two events that pace it, and its command line.

#include <string>

#include "Client/ui/DialogWindow.h"

namespace qrnv::gui {

// The product the subject pretends to update. The "&" must show as itself in the labels
// that double it.
inline const wchar_t kProductTitle[] = L"Acme Backup & Sync";
inline const wchar_t kProgramVersion[] = L"5.1.2";
inline const wchar_t kVersionLine[] = L"Version 5.1 Build 2";
inline const wchar_t kOfferedVersion[] = L"5.2.7";
inline const wchar_t kOfferedVersionLine[] = L"Version 5.2 Build 7";
inline constexpr int kUpgradeMajorVersion = 6;
inline const wchar_t kRenovaVersion[] = L"10.0.29";

// The banner picture the subject writes and shows in the success display: the band becomes
// its height + 2.
inline constexpr int kTestBannerWidth = 200;
inline constexpr int kTestBannerHeight = 40;

// The header band's heights: built-in 58-pixel banner + 2, and without any picture.
inline constexpr int kBandHeightDefaultBanner = 60;
inline constexpr int kBandHeightNoBanner = 59;
inline constexpr int kBandId = 103;

// Displays, entered one after the other: the first at start, each further one when the
// driver sets the "next" event (the subject polls it on its timer, as the dialog polls its
// threads), or through a click (Install, Continue). Each entry sets the "entered" event.
inline const wchar_t kDisplayCheckServer[] = L"check";
inline const wchar_t kDisplayUpgradeOffer[] = L"upgrade";
inline const wchar_t kDisplayUpdateOffer[] = L"update";
inline const wchar_t kDisplayInProgress[] = L"progress";
inline const wchar_t kDisplaySuccessful[] = L"success";
inline const wchar_t kDisplayUpToDate[] = L"uptodate";
inline const wchar_t kDisplayError[] = L"error";
// Not a dialog state: what the worker hand-off does from its own thread (forbid showing,
// hide, read the position, move the progress) while the UI thread is busy.
inline const wchar_t kDisplayHandOff[] = L"handoff";
inline constexpr int kHandOffProgress = 50;

inline std::wstring NextEventName(const std::wstring& token) { return L"Local\\qrnv-gui-next-" + token; }
inline std::wstring EnteredEventName(const std::wstring& token) { return L"Local\\qrnv-gui-entered-" + token; }

// Command line of the subject:
//   -language <id> -token <t> -log <file> -displays <d1,d2,...> [-hidden] [-windowrec "<x> <y>"]
//   [-checkbox]
// -hidden: showing is not allowed until a display makes the window visible (the offers do).
// -checkbox: the update offer shows the "don't show again" box.
// The subject writes one line per handler call into the log file and exits with the code
// RunModal returned.

} // namespace qrnv::gui
