#include "ui/unitTranslate.h"

#include <utility>
#include <vector>

#include "platform/HostPath.h"
#include "platform/IniFile.h"
#include "platform/IniText.h"

using namespace platform;

namespace {

// Both are constant-initialised: the library's start-up may run before any
// constructor of this file's objects has.
std::unique_ptr<TTranslator> g_translator;
char g_settingsFile[] = "kdwusr70.ini";

template <class T>
T* As(TComponent& c) {
    return dynamic_cast<T*>(&c);
}

std::string EscapeLineBreaks(const std::string& value) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\r' && i + 1 < value.size() && value[i + 1] == '\n') {
            out += "\\n";
            ++i;
        } else {
            out += value[i];
        }
    }
    return out;
}

}  // namespace

TTranslator::TTranslator() : TTranslator(HostDirectory()) {}

TTranslator::TTranslator(std::string hostDirectory) : hostDirectory_(std::move(hostDirectory)) {
    ReadLanguageSetting();
}

TTranslator::~TTranslator() = default;

void TTranslator::ReadLanguageSetting() {
    TIniFile settings(hostDirectory_ + unitTranslate::SettingsFileName());
    language_ = settings.ReadString("语言设置", "系统语言", "CN");
}

void TTranslator::LoadLanguageFile(const std::string& fileName) {
    if (!FileExists(fileName)) return;
    languageFile_.reset();
    languageFile_ = std::make_unique<TIniFile>(fileName);
}

void TTranslator::TranslateForm(TForm& form) {
    if (languageFile_) TranslateComponent(form, form.ClassName());
}

void TTranslator::TranslateComponent(TComponent& component, const std::string& section) {
    if (!languageFile_ || language_ != "EN" || As<TRadioButton>(component)) return;
    if (TForm* form = As<TForm>(component)) {
        ApplyKey(section, "Caption", form->Caption);
        ApplyKey(section, "Hint", form->Hint);
        TranslateOwned(component, section);
        return;
    }
    if (TControl* control = As<TControl>(component)) {
        ApplyKey(section, component.Name + ".Hint", control->Hint);
    }
    ApplyKindKeys(component, section);
    TranslateOwned(component, section + "." + component.Name);
}

void TTranslator::TranslateOwned(TComponent& owner, const std::string& section) {
    const std::vector<TComponent*> owned = owner.Components();
    for (TComponent* child : owned) TranslateComponent(*child, section);
}

// The first matching kind decides; derived kinds match their bases' rows.
void TTranslator::ApplyKindKeys(TComponent& c, const std::string& section) {
    const std::string& n = c.Name;
    if (TLabel* x = As<TLabel>(c)) {
        ApplyKey(section, n + ".Caption", x->Caption);
    } else if (As<TPageControl>(c)) {
        // Its pages carry the texts.
    } else if (TTabSheet* x = As<TTabSheet>(c)) {
        ApplyKey(section, n + ".Caption", x->Caption);
    } else if (TMemo* x = As<TMemo>(c)) {
        ApplyKey(section, n + ".Text", x->Text);
    } else if (TCustomEdit* x = As<TCustomEdit>(c)) {
        ApplyKey(section, n + ".Text", x->Text);
    } else if (TListBox* x = As<TListBox>(c)) {
        ApplyItemsKey(section, n + ".Items", x->Items);
    } else if (TGroupBox* x = As<TGroupBox>(c)) {
        ApplyKey(section, n + ".Caption", x->Caption);
    } else if (TCheckBox* x = As<TCheckBox>(c)) {
        ApplyKey(section, n + ".Caption", x->Caption);
    } else if (TRadioGroup* x = As<TRadioGroup>(c)) {
        ApplyKey(section, n + ".Caption", x->Caption);
        ApplyItemsKey(section, n + ".Items", x->Items);
    } else if (TBitBtn* x = As<TBitBtn>(c)) {
        ApplyKey(section, n + ".Caption", x->Caption);
    } else if (TButton* x = As<TButton>(c)) {
        ApplyKey(section, n + ".Caption", x->Caption);
    } else if (TOpenDialog* x = As<TOpenDialog>(c)) {
        ApplyKey(section, n + ".Filter", x->Filter);
        ApplyKey(section, n + ".Title", x->Title);
    } else if (TComboBox* x = As<TComboBox>(c)) {
        ApplyKey(section, n + ".Text", x->Text);
        ApplyItemsKey(section, n + ".Items", x->Items);
    }
}

// Presence decides, so a key with an empty value blanks the text. True when
// the text was set from the file.
bool TTranslator::ApplyKey(const std::string& section, const std::string& key, std::string& text) {
    if (languageFile_->ValueExists(section, key)) {
        text = UnescapeValue(languageFile_->ReadString(section, key, ""));
        return true;
    }
    WriteValue(section, key, text);
    return false;
}

void TTranslator::ApplyItemsKey(const std::string& section, const std::string& key,
                                std::vector<std::string>& items) {
    std::string text = ItemsToText(items);
    if (ApplyKey(section, key, text)) items = TextToItems(text);
}

void TTranslator::WriteValue(const std::string& section, const std::string& key,
                             const std::string& value) {
    if (!languageFile_) return;
    // A file that cannot be written is left alone; the texts stay as designed.
    languageFile_->WriteString(section, key, EscapeLineBreaks(value));
    languageFile_->UpdateFile();
}

// A backslash that is the second byte of a double-byte character is not one.
std::string TTranslator::UnescapeValue(const std::string& value) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (GbkCharLength(value, i) == 2) {
            out += value[i];
            out += value[++i];
        } else if (value[i] == '\\' && i + 1 < value.size() && value[i + 1] == 'n') {
            out += "\r\n";
            ++i;
        } else {
            out += value[i];
        }
    }
    return out;
}

TTranslator& GetTranslator() {
    if (!g_translator) g_translator = std::make_unique<TTranslator>();
    return *g_translator;
}

std::string HostDirectory() { return ExecutableDirectory(); }

namespace unitTranslate {

std::string SettingsFileName() { return g_settingsFile; }

void Finalize() {
    g_translator.reset();
    g_settingsFile[0] = '\0';
}

}  // namespace unitTranslate
