// What vexa-pack writes into a launcher: the application's icon, its version
// information, the manifest's execution level and the embedded settings.
// Free of the platform API.
#pragma once

#include <optional>
#include <string>

#include "PeResources.h"

namespace vexa::pack {

// Throws PackError unless `image` is a copy of one of the Vexa launchers.
void checkIsLauncher(const PeImage& image);

// Replaces the launcher's icons by every image of the .ico file `ico`.
void setIcon(ResourceTree& resources, const Bytes& ico);

struct VersionFields {
    std::optional<std::string> fileVersion;     // "1.2.3.4": one to four numbers 0 to 65535
    std::optional<std::string> productVersion;  // the same form, then any text ("2.1.0-SNAPSHOT")
    std::optional<std::string> productName;     // UTF-8 texts
    std::optional<std::string> company;
    std::optional<std::string> description;
    std::optional<std::string> copyright;
    std::optional<std::string> originalFileName;
    std::optional<std::string> internalName;
    bool any() const {
        return fileVersion || productVersion || productName || company || description || copyright ||
               originalFileName || internalName;
    }
};

// Writes the version resource; fields not given keep their present values.
void setVersion(ResourceTree& resources, const VersionFields& fields);

// "asInvoker", "highestAvailable" or "requireAdministrator".
void setExecutionLevel(ResourceTree& resources, const std::string& level);

// The manifest's assembly name made from `product` and its description;
// either may be empty to keep what is there.
void setManifestIdentity(ResourceTree& resources, const std::string& product, const std::string& description);

// Replaces the manifest by `manifest` (UTF-8 XML); throws PackError with the
// reason when it is none.
void setManifest(ResourceTree& resources, const Bytes& manifest);

// The embedded settings block: none, or its sealed bytes.
const Bytes* findSettingsBlock(const ResourceTree& resources);
void setSettingsBlock(ResourceTree& resources, const Bytes* block);

// Texts.
std::u16string utf16FromUtf8(const std::string& text);  // throws PackError on bad UTF-8

// `text` with the characters that XML gives a meaning (& < > ") written as
// entities, for an attribute value or an element's text.
std::string xmlEscaped(const std::string& text);

}  // namespace vexa::pack
