#include "ui/unitTranslate.h"

#include <utility>
#include <vector>

#include "platform/runtime/Paths.h"
#include "platform/ini/IniFile.h"
#include "platform/ini/IniText.h"
#include "platform/runtime/TextLines.h"

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

// The kinds whose texts are translated, in the order they are asked: each
// row's kind matches itself and the kinds derived from it, and the first row
// that matches gives a component its keys. A row of no keys (a page control,
// whose pages carry the texts) still ends the search.
using TTextOf = std::string* (*)(TComponent&);
using TItemsOf = std::vector<std::string>* (*)(TComponent&);

struct TKindKey {
    const char* suffix = nullptr;  // null: no more keys in the row
    TTextOf text = nullptr;        // a text; or else
    TItemsOf items = nullptr;      // an item list, in its text form
};

struct TKindRow {
    bool (*matches)(TComponent&);
    TKindKey keys[2];
};

template <class T>
bool Is(TComponent& c) {
    return As<T>(c) != nullptr;
}

// A text or an item list of a component of kind T.
template <class T, auto Field>
auto* Member(TComponent& c) {
    return &(As<T>(c)->*Field);
}

const TKindRow kKindRows[] = {
    {Is<TLabel>, {{".Caption", Member<TLabel, &TLabel::Caption>}}},
    {Is<TPageControl>, {}},
    {Is<TTabSheet>, {{".Caption", Member<TTabSheet, &TTabSheet::Caption>}}},
    {Is<TMemo>, {{".Text", Member<TMemo, &TMemo::Text>}}},
    {Is<TCustomEdit>, {{".Text", Member<TCustomEdit, &TCustomEdit::Text>}}},
    {Is<TListBox>, {{".Items", nullptr, Member<TListBox, &TListBox::Items>}}},
    {Is<TGroupBox>, {{".Caption", Member<TGroupBox, &TGroupBox::Caption>}}},
    {Is<TCheckBox>, {{".Caption", Member<TCheckBox, &TCheckBox::Caption>}}},
    {Is<TRadioGroup>,
     {{".Caption", Member<TRadioGroup, &TRadioGroup::Caption>},
      {".Items", nullptr, Member<TRadioGroup, &TRadioGroup::Items>}}},
    {Is<TBitBtn>, {{".Caption", Member<TBitBtn, &TBitBtn::Caption>}}},
    {Is<TButton>, {{".Caption", Member<TButton, &TButton::Caption>}}},
    {Is<TOpenDialog>,
     {{".Filter", Member<TOpenDialog, &TOpenDialog::Filter>}, {".Title", Member<TOpenDialog, &TOpenDialog::Title>}}},
    {Is<TComboBox>,
     {{".Text", Member<TComboBox, &TComboBox::Text>}, {".Items", nullptr, Member<TComboBox, &TComboBox::Items>}}},
};

// The translator's walk: `visit` is called for every key the component and
// the components it owns are given, in order, with the text (or item list)
// the key applies to.
template <class Visit>
void VisitKeys(TComponent& component, const std::string& section, const Visit& visit) {
    if (As<TRadioButton>(component)) return;
    // A copy: a key applied may not change whom the walk visits next.
    const std::vector<TComponent*> owned = component.Components();
    if (TForm* form = As<TForm>(component)) {
        visit(section, "Caption", &form->Caption, nullptr);
        visit(section, "Hint", &form->Hint, nullptr);
        for (TComponent* child : owned) VisitKeys(*child, section, visit);
        return;
    }
    if (TControl* control = As<TControl>(component)) visit(section, component.Name + ".Hint", &control->Hint, nullptr);
    for (const TKindRow& row : kKindRows) {
        if (!row.matches(component)) continue;
        for (const TKindKey& key : row.keys) {
            if (!key.suffix) break;
            visit(section, component.Name + key.suffix, key.text ? key.text(component) : nullptr,
                  key.items ? key.items(component) : nullptr);
        }
        break;
    }
    for (TComponent* child : owned) VisitKeys(*child, section + "." + component.Name, visit);
}

}  // namespace

namespace unitTranslate {
const char kLanguageSection[] = "语言设置";
const char kLanguageKey[] = "系统语言";
const char kEnglish[] = "EN";
}  // namespace unitTranslate

TTranslator::TTranslator() : TTranslator(ExecutableDirectory()) {}

TTranslator::TTranslator(std::string hostDirectory) : hostDirectory_(std::move(hostDirectory)) {
    ReadLanguageSetting();
}

TTranslator::~TTranslator() = default;

// One key is read, in blocks: a settings file of any size costs no more. A
// file that cannot be read leaves the language Chinese; running out of
// memory goes on to the guard of the start-up step or of the dialog's export.
void TTranslator::ReadLanguageSetting() {
    language_ = ReadIniValue(hostDirectory_ + unitTranslate::SettingsFileName(), unitTranslate::kLanguageSection,
                             unitTranslate::kLanguageKey, "CN");
}

void TTranslator::LoadLanguageFile(const std::string& fileName) {
    if (!FileExists(fileName)) return;
    languageFile_.reset();  // written and freed before the next is opened
    languageFile_ = std::make_unique<TIniFile>(fileName, unitTranslate::kLanguageFileLimit);
}

// A form's keys are one pass over the file: it is read once, not per key,
// and another writer holding the file's lock (a copy of the plug-in that
// hung mid-write) holds the form up once, for at most kFormLockWaitMs; the
// form then shows what the file holds and the keys it lacks are not written.
void TTranslator::TranslateForm(TForm& form) {
    if (!languageFile_) return;
    const TIniFile::TPass pass(*languageFile_, unitTranslate::kFormLockWaitMs);
    TranslateComponent(form, form.ClassName());
}

void TTranslator::TranslateComponent(TComponent& component, const std::string& section) {
    if (!languageFile_ || language_ != unitTranslate::kEnglish) return;
    VisitKeys(component, section,
              [this](const std::string& keySection, const std::string& key, std::string* text,
                     std::vector<std::string>* items) {
                  if (text) ApplyKey(keySection, key, *text);
                  if (items) ApplyItemsKey(keySection, key, *items);
              });
}

// Presence decides, so a key with an empty value blanks the text. True when
// the text was set from the file. One lookup answers both, as each scans the
// file's text. A file that could not be read may hold the key, so nothing is
// written then.
bool TTranslator::ApplyKey(const std::string& section, const std::string& key, std::string& text) {
    std::string value;
    if (languageFile_->Find(section, key, &value)) {
        text = UnescapeValue(value);
        return true;
    }
    if (!languageFile_->ReadFailed()) WriteValue(section, key, text);
    return false;
}

void TTranslator::ApplyItemsKey(const std::string& section, const std::string& key,
                                std::vector<std::string>& items) {
    std::string text = ItemsToText(items);
    if (ApplyKey(section, key, text)) items = SplitLines(text);
}

void TTranslator::WriteValue(const std::string& section, const std::string& key,
                             const std::string& value) {
    if (!languageFile_) return;
    // Only ever an addition: the key is looked for again in the file as it is
    // when written, so a translation another program (or a read that saw the
    // file empty) hid is never replaced by the designed text. The INI layer
    // stores each line break as "\n" (EscapeLineBreaks), which UnescapeValue
    // reverses. A file that cannot be written is left alone; the texts stay
    // as designed.
    languageFile_->AddString(section, key, value);
    languageFile_->UpdateFile();
}

std::string TTranslator::UnescapeValue(const std::string& value) {
    return UnescapeLineBreaks(value);
}

TTranslator& GetTranslator() {
    if (!g_translator) g_translator = std::make_unique<TTranslator>();
    return *g_translator;
}

std::vector<TTranslationKey> TranslationKeys(TForm& form) {
    std::vector<TTranslationKey> keys;
    VisitKeys(form, form.ClassName(),
              [&keys](const std::string& section, const std::string& key, std::string*, std::vector<std::string>*) {
                  keys.push_back({section, key});
              });
    return keys;
}

namespace unitTranslate {

std::string SettingsFileName() { return g_settingsFile; }

void Finalize() {
    g_translator.reset();
    g_settingsFile[0] = '\0';
}

}  // namespace unitTranslate
