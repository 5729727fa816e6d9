#pragma once
// The ad viewer hand-off of an OnlyAdViewer run: fetch the viewer, start it with the
// campaign and wait for it.

#include <string>

namespace qrnv {

// Replaces the viewer in the product's temporary folder with the one at url.
bool DownloadAdViewer(const std::wstring& url);

// Starts the viewer with the campaign and waits for its end; true when it started.
bool StartAdViewer(const std::wstring& campaignId);

} // namespace qrnv
