// Version texts as the update manifest gives them. Only the first four characters
// take part in comparisons, and they compare as text: 1.10 sorts before 1.9.
#pragma once

#include <string>

namespace version_text {

// The part of a version text that names the folder tree and is compared.
std::string Prefix(const std::string& version);

// True when the installed version's prefix sorts strictly before the manifest's.
bool IsOlder(const std::string& installed, const std::string& manifest);

// True when the text can serve as a single folder and file name inside the product
// folder: not empty, no path separators, no drive colon, no "..", no characters that
// file names cannot hold, not a device name, no last dot (which Windows drops), no
// "~" first (the installer's own folders). A version text from the server is
// untrusted input.
bool IsPlainFileName(const std::string& version);

}  // namespace version_text
