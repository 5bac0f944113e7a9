#include "net/manifest_client.h"

#include "app/version_text.h"
#include "build_settings.h"
#include "net/http_text_client.h"

int FetchManifest(UpdateManifest& fields) {
    HttpTextClient client;
    client.SetDefaultText("");
    std::string body = client.Fetch(std::string("http://") + VL2_FILE_SERVER + "/velmora2/update/update.inf");
    UpdateManifest read = fields;
    if (!ParseManifest(body, read)) return 0;
    // The version becomes a folder and a file name: one that could point outside the
    // product folder makes the manifest count as unreadable.
    if (!version_text::IsPlainFileName(read.version)) return 0;
    fields = read;
    return 1;
}
