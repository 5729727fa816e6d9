#pragma once
// Fetching a file from an address the update service gave: the worker, the ad viewer, the
// banner.

#include <string>

namespace qrnv {

// Fetches url into folder + fileName, fresh (never from a cache), creating the folder with
// all its levels first. When the transfer fails and the URL contains "https://", every
// "https://" is replaced by "http://" and the transfer is tried once more. True when the
// file arrived. Always logs "Downloading from: '%s' - to: %s"; with logFailures also "Try
// to connect without SSL: %s" before the retry and "Download from '%s' failed with Code: %d"
// with the last URL tried when it failed. A failed transfer leaves no partial file under
// the target name; an existing file there is kept until a complete new one replaces it.
bool DownloadFile(const std::wstring& url, const std::wstring& folder, const std::wstring& fileName, bool logFailures);

} // namespace qrnv
