// Access to one settings file: single values through the profile-string
// functions, the section names, and the layered lookup over the settings
// block embedded in the executable.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "config/ProfileText.h"

namespace vexa {

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // 0 when the file can be read, else the Windows error code.
    virtual std::uint32_t checkReadable() = 0;
    virtual std::wstring readValue(const std::wstring& section, const std::wstring& key) = 0;
    virtual void readSectionNames(std::vector<std::wstring>& names) = 0;
    // Nonzero on success.
    virtual int writeValue(const std::wstring& section, const std::wstring& key, const std::wstring& value) = 0;
    virtual int deleteFile() = 0;
};

// The settings block carried inside the executable, as sections of key/value
// pairs in file order. Duplicate sections and keys stay separate entries.
class EmbeddedSettings {
public:
    struct Section {
        std::wstring name;
        std::vector<std::pair<std::wstring, std::wstring>> values;
    };

    // Replaces the content with the sections of an INI-format text.
    void parse(const std::wstring& text);
    // The first section named `section`, then its first pair with key `key`.
    std::optional<std::wstring> find(const std::wstring& section, const std::wstring& key) const;

    const std::vector<Section>& sections() const { return sections_; }

private:
    std::vector<Section> sections_;
};

// Values are read as the profile-string functions read them, from the file's
// content read once, at the first value asked for (ProfileText has the
// rules); a store made with the content of an earlier store of the same file
// reads nothing at all.
class SettingsFile : public SettingsStore {
public:
    explicit SettingsFile(std::wstring path) : path_(std::move(path)) {}
    SettingsFile(std::wstring path, std::shared_ptr<const ProfileText> content)
        : path_(std::move(path)), content_(std::move(content)) {}

    std::uint32_t checkReadable() override;
    std::wstring readValue(const std::wstring& section, const std::wstring& key) override;
    void readSectionNames(std::vector<std::wstring>& names) override;
    int writeValue(const std::wstring& section, const std::wstring& key, const std::wstring& value) override;
    int deleteFile() override;

    const std::wstring& path() const { return path_; }
    // The file's content as read (empty when the file cannot be read).
    std::shared_ptr<const ProfileText> content();

private:
    // The path handed to the profile functions, which cannot open a path of
    // MAX_PATH characters or more: such a path goes by its folder's short form.
    std::wstring profilePath() const;

    std::wstring path_;
    std::shared_ptr<const ProfileText> content_;
};

// A value extended from a "+" section: one blank in between unless the
// extension begins with one. For the keys that hold ";"-separated lists
// ("Class Path", "Library Path", "System Path", "Preferred versions") a value
// that is not empty joins with one ";" instead, so that both lists stay whole.
std::wstring joinExtendedValue(const std::wstring& key, std::wstring value, const std::wstring& extension);

// The main settings file layered over the embedded block: an embedded value,
// replaced by the file's value, or extended from the section named with "+".
class LayeredSettingsFile : public SettingsFile {
public:
    LayeredSettingsFile(std::wstring path, const EmbeddedSettings& embedded,
                        std::shared_ptr<const ProfileText> content = nullptr)
        : SettingsFile(std::move(path), std::move(content)), embedded_(embedded) {}

    std::wstring readValue(const std::wstring& section, const std::wstring& key) override;

private:
    const EmbeddedSettings& embedded_;
};

}  // namespace vexa
