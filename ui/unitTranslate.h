// Translates the forms' texts through the language file when the host is set
// to English, and writes every text the file lacks into it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/forms/Components.h"

namespace platform { class TIniFile; }

class TTranslator {
public:
    TTranslator();  // reads the language setting from the host directory
    // Reads the language setting from hostDirectory (with its trailing separator).
    explicit TTranslator(std::string hostDirectory);
    ~TTranslator();
    TTranslator(const TTranslator&) = delete;
    TTranslator& operator=(const TTranslator&) = delete;

    void ReadLanguageSetting();
    void LoadLanguageFile(const std::string& fileName);
    void TranslateForm(platform::TForm& form);
    void TranslateComponent(platform::TComponent& component, const std::string& section);
    void WriteValue(const std::string& section, const std::string& key, const std::string& value);
    static std::string UnescapeValue(const std::string& value);

    const std::string& Language() const { return language_; }

private:
    bool ApplyKey(const std::string& section, const std::string& key, std::string& text);
    void ApplyItemsKey(const std::string& section, const std::string& key,
                       std::vector<std::string>& items);

    std::string hostDirectory_;
    std::unique_ptr<platform::TIniFile> languageFile_;
    std::string language_;
};

// The one translator, created on first use.
TTranslator& GetTranslator();

// A key of the language file and the section it is looked up in.
struct TTranslationKey {
    std::string Section;
    std::string Key;
};

// The keys TranslateForm looks up for `form`, in the order it does, found by
// the same walk; nothing is read or written. For tools that check a language
// file against the forms.
std::vector<TTranslationKey> TranslationKeys(platform::TForm& form);

namespace unitTranslate {
// Where the host's settings file holds the language (code page 936 names),
// and the one value, in capitals, that selects English.
extern const char kLanguageSection[];
extern const char kLanguageKey[];
extern const char kEnglish[];

// The largest language file the translator reads or writes, in bytes. One
// holding every text of the product is a few kilobytes; a larger one is no
// translation, and each lookup in a file of many megabytes would hold up the
// dialog for seconds. Above the limit the forms keep their designed texts and
// nothing is written.
constexpr std::uint64_t kLanguageFileLimit = 1u << 20;

// How long a form waits for another writer's lock on the language file.
constexpr int kFormLockWaitMs = 2000;

// The host settings file's name, "kdwusr70.ini" until Finalize.
std::string SettingsFileName();
// Module shutdown: frees the translator and clears the settings file name.
void Finalize();
}
