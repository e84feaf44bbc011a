// Start-up reads each server list once. Signing in has the authorization
// component fetch both lists and write them to the cache files; the tree
// built right after reads those files instead of asking the server again.
// Between BeginFreshCacheWindow and EndFreshCacheWindow, ReadFreshCacheFile
// answers a cache file's text when the file was written since the window
// began, once per file; at any other time, and for a file written earlier,
// it answers false and the caller asks the server.
#pragma once

#include <string>
#include <string_view>

namespace zyr::cache {

void BeginFreshCacheWindow();
void EndFreshCacheWindow();
// True with the decrypted text when filePath was written inside the open
// window and not read fresh before; false (plainText empty) otherwise. A
// text offered for the file is answered without reading the file again.
bool ReadFreshCacheFile(std::string_view filePath, std::string& plainText);
// The writer of a cache file inside the open window offers the plain text it
// wrote, sparing the reader a read and a decryption of the file; nothing
// outside the window.
void OfferFreshCacheText(std::string_view filePath, std::string plainText);

} // namespace zyr::cache
