#include "net/manifest_client.h"

#include "app/version_text.h"
#include "build_settings.h"
#include "framework/text.h"
#include "net/http_text_client.h"
#include "net/server_address.h"

ManifestStatus FetchManifest(UpdateManifest& fields) {
    HttpTextClient client;
    client.SetDefaultText("");
    std::string body = client.FetchHere(server_address::UrlOnServer(VL2_FILE_SERVER, "/velmora2/update/update.inf"));
    if (text::Trim(body).empty()) return ManifestStatus::NoAnswer;
    UpdateManifest read = fields;
    if (!ParseManifest(body, read)) return ManifestStatus::Unusable;
    // The version becomes a folder and a file name: one that could point outside the
    // product folder makes the manifest count as unreadable.
    if (!version_text::IsPlainFileName(read.version)) return ManifestStatus::Unusable;
    fields = read;
    return ManifestStatus::Read;
}
